#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <optional>

// What "options.xml" holds. An element missing from the file leaves its field empty, so the
// reader keeps its own default for it.
struct SettingsValues
{
    std::optional<QByteArray> geometry;
    std::optional<QByteArray> state;
    std::optional<bool> fixedLanguage;
    std::optional<QString> language;
    std::optional<int> samplePoints;
    std::optional<bool> infinite;
    std::optional<int> sampleRate;
    std::optional<bool> skipRepeat;
    std::optional<QString> exportFolder; // where the last export was saved
    // What the reader ignored or could not read, one line each for the user.
    QStringList problems;
};

// Reads and writes the settings file. It lives beside the executable when that folder is
// writable and not below /usr; an installed program keeps it in the per-user configuration folder
// instead and, until that copy exists, reads the one beside the executable as a shipped default.
class SettingsFile
{
public:
    // Empty folders mean the executable's folder and the per-user configuration folder.
    explicit SettingsFile(const QString& appDir = QString(), const QString& configDir = QString());

    static QString fileName() { return QStringLiteral("options.xml"); }

    QString readPath() const;
    QString writePath() const;

    static QString damagedSuffix() { return QStringLiteral(".bad"); }

    // False when there is no file to read; whatever was parsed before an error is kept.
    bool read(SettingsValues& values) const;
    // Replaces the file as a whole or not at all, never through a symbolic link. A file there that
    // cannot be read whole is first kept beside it (damagedSuffix()); temporary files left by an
    // interrupted save are removed. Absent values are written as their defaults.
    bool write(const SettingsValues& values) const;

    // False when the document could not be read to its end (it is then damaged, unless it held
    // nothing but blanks); what came before the fault is applied all the same.
    static bool parse(QIODevice& device, SettingsValues& values);
    static bool serialize(QIODevice& device, const SettingsValues& values);

private:
    bool appDirWritable() const;

    QString appDir;
    QString configDir;
};
