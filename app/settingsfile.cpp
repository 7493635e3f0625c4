#include "settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <limits>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SettingsFile", text);
}

// The values the options dialog's controls take.
struct Range
{
    int low;
    int high;
};
constexpr Range SamplePointsRange { 1, std::numeric_limits<int>::max() };
constexpr Range SampleRateRange { 0, std::numeric_limits<int>::max() };

// An element's text as a message shows it: a file may hold megabytes in one element.
QString quoted(const QString& text)
{
    const int shown = 40;
    return text.size() > shown ? text.left(shown) + QStringLiteral("...") : text;
}

// A number in the control's range; anything else leaves the setting as it was (its default, or
// what the file set before) and is reported. A count of 0 points, or a number too large for the
// control, would otherwise stop recording while the dialog shows something else.
std::optional<int> number(const QString& element, const QString& text, Range range,
    std::optional<int> previous, QStringList& problems)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok && value >= range.low && value <= range.high)
        return value;
    problems << tr("The settings file's %1 \"%2\" was ignored: it is no number from %3 to %4.")
                    .arg(element, quoted(text.trimmed()))
                    .arg(range.low)
                    .arg(range.high);
    return previous;
}

// Any number other than 0 is on; what is no number leaves the setting as it was.
std::optional<bool> flag(const QString& element, const QString& text, std::optional<bool> previous,
    QStringList& problems)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok)
        return value != 0;
    problems << tr("The settings file's %1 \"%2\" was ignored: it is no number.")
                    .arg(element, quoted(text.trimmed()));
    return previous;
}

// Length of the longest start of bytes that is well-formed UTF-8.
int utf8Prefix(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const int size = bytes.size();
    int i = 0;
    while (i < size) {
        const uchar lead = data[i];
        int length = 0;
        uint low = 0x80; // the least value of the second byte, against overlong forms
        uint high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + length > size)
            return i;
        for (int k = 1; k < length; ++k) {
            const uchar c = data[i + k];
            if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF))
                return i;
        }
        i += length;
    }
    return size;
}

// Whether the document says it is in UTF-8 (or says nothing, which means the same); a document
// in UTF-16 or in a declared 8-bit encoding is left to the reader as it is.
bool declaredUtf8(const QByteArray& bytes)
{
    if (bytes.size() >= 2 && (bytes.at(0) == '\0' || bytes.at(1) == '\0'))
        return false;
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE"))
        return false;
    static const QRegularExpression declaration(QStringLiteral(
        "^(?:\\xEF\\xBB\\xBF)?\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch match
        = declaration.match(QString::fromLatin1(bytes.left(200)), 0);
    return !match.hasMatch()
        || match.captured(1).compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
}

bool readsWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // nothing that could be kept
    SettingsValues scratch;
    return SettingsFile::parse(file, scratch);
}

// Temporary files of a save that was interrupted (QSaveFile names them after the file, with six
// letters or digits added).
void removeLeftovers(const QDir& folder)
{
    static const QRegularExpression leftover(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$")
            .arg(QRegularExpression::escape(SettingsFile::fileName())));
    const QFileInfoList entries
        = folder.entryInfoList({ SettingsFile::fileName() + QStringLiteral(".*") },
            QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink() && entry.isFile() && leftover.match(entry.fileName()).hasMatch())
            QFile::remove(entry.filePath());
    }
}

} // namespace

SettingsFile::SettingsFile(const QString& appDir, const QString& configDir)
    : appDir(appDir.isEmpty() ? QCoreApplication::applicationDirPath() : appDir)
    , configDir(configDir.isEmpty()
              ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
              : configDir)
{ }

bool SettingsFile::appDirWritable() const
{
    // Root may write anywhere: an installed program must still not put its settings beside
    // itself, among the system's files.
    const QString folder = QDir::cleanPath(QFileInfo(appDir).absoluteFilePath());
    if (folder == QLatin1String("/usr") || folder.startsWith(QLatin1String("/usr/")))
        return false;
    const QFileInfo info(appDir);
    return info.isDir() && info.isWritable();
}

QString SettingsFile::readPath() const
{
    const QString besideProgram = QDir(appDir).filePath(fileName());
    if (appDirWritable())
        return besideProgram;
    const QString perUser = QDir(configDir).filePath(fileName());
    return QFileInfo::exists(perUser) ? perUser : besideProgram;
}

QString SettingsFile::writePath() const
{
    return QDir(appDirWritable() ? appDir : configDir).filePath(fileName());
}

bool SettingsFile::read(SettingsValues& values) const
{
    const QString path = readPath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (!parse(file, values)) {
        QString problem = tr("The settings file %1 could not be read to its end; the settings "
                             "before the fault were applied.")
                              .arg(QDir::toNativeSeparators(path));
        if (path == writePath())
            problem += QLatin1Char(' ')
                + tr("The file is kept as %1 when the settings are saved.")
                      .arg(fileName() + damagedSuffix());
        values.problems << problem;
    }
    return true;
}

bool SettingsFile::write(const SettingsValues& values) const
{
    const QString path = writePath();
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return false;
    removeLeftovers(target.absoluteDir());
    if (target.isSymLink()) {
        // Saving through a link would replace (or create) whatever it points to.
        if (!QFile::remove(path))
            return false;
    } else if (target.isFile() && !readsWhole(path)) {
        // The user may want back what could not be read.
        const QString damaged = path + damagedSuffix();
        QFile::remove(damaged);
        QFile::rename(path, damaged);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() does not look at the outcome of writing out its buffer: flush first.
    if (!serialize(file, values) || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool SettingsFile::parse(QIODevice& device, SettingsValues& values)
{
    const QByteArray bytes = device.readAll();
    // The reader drops the whole block of input in which it meets a byte that is no UTF-8, the
    // good part before that byte included: it is given only the good part, so that what stands
    // before the fault is applied, as after any other error.
    const int good = declaredUtf8(bytes) ? utf8Prefix(bytes) : bytes.size();
    QXmlStreamReader xml(good < bytes.size() ? bytes.left(good) : bytes);

    // Elements are matched by name wherever they stand, and only the first non-blank text of an
    // element counts; a malformed document stops reading where the error is.
    QString current;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() != QLatin1String("options"))
                current = xml.name().toString();
        } else if (token == QXmlStreamReader::Characters) {
            if (current.isEmpty() || xml.isWhitespace())
                continue;
            const QString text = xml.text().toString();
            QStringList& problems = values.problems;
            if (current == QLatin1String("Geometry"))
                values.geometry = QByteArray::fromHex(text.toLatin1());
            else if (current == QLatin1String("State"))
                values.state = QByteArray::fromHex(text.toLatin1());
            else if (current == QLatin1String("FixedLanguage"))
                values.fixedLanguage = flag(current, text, values.fixedLanguage, problems);
            else if (current == QLatin1String("Language"))
                values.language = text;
            else if (current == QLatin1String("SamplePoints"))
                values.samplePoints
                    = number(current, text, SamplePointsRange, values.samplePoints, problems);
            else if (current == QLatin1String("Infinite"))
                values.infinite = flag(current, text, values.infinite, problems);
            else if (current == QLatin1String("SampleRate"))
                values.sampleRate
                    = number(current, text, SampleRateRange, values.sampleRate, problems);
            else if (current == QLatin1String("SkipRepeat"))
                values.skipRepeat = flag(current, text, values.skipRepeat, problems);
            else if (current == QLatin1String("ExportFolder"))
                values.exportFolder = text;
            current.clear();
        }
    }
    // A file of blanks holds nothing that could be lost.
    return (!xml.hasError() && good == bytes.size()) || bytes.trimmed().isEmpty();
}

bool SettingsFile::serialize(QIODevice& device, const SettingsValues& values)
{
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(4);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("options"));
    auto element = [&xml](const char* name, const QString& text) {
        xml.writeTextElement(QLatin1String(name), text);
    };
    element("Geometry", QString::fromLatin1(values.geometry.value_or(QByteArray()).toHex()));
    element("State", QString::fromLatin1(values.state.value_or(QByteArray()).toHex()));
    element("FixedLanguage", QString::number(values.fixedLanguage.value_or(false) ? 1 : 0));
    element("Language", values.language.value_or(QString()));
    element("SamplePoints", QString::number(values.samplePoints.value_or(1000)));
    element("Infinite", QString::number(values.infinite.value_or(true) ? 1 : 0));
    element("SampleRate", QString::number(values.sampleRate.value_or(1000)));
    element("SkipRepeat", QString::number(values.skipRepeat.value_or(false) ? 1 : 0));
    element("ExportFolder", values.exportFolder.value_or(QString()));
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}
