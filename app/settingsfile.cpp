#include "settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

int toInt(const QString& text)
{
    return text.toInt(nullptr, 10); // 0 when it is not a number
}

// A negative count or interval is no setting the options dialog can make; a negative interval
// would let one live reading through and then none. Such a value leaves the setting as it was.
std::optional<int> nonNegative(int value, std::optional<int> previous)
{
    return value >= 0 ? std::optional<int>(value) : previous;
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
    QFile file(readPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    parse(file, values);
    return true;
}

bool SettingsFile::write(const SettingsValues& values) const
{
    const QString path = writePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!serialize(file, values)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void SettingsFile::parse(QIODevice& device, SettingsValues& values)
{
    // Elements are matched by name wherever they stand, and only the first non-blank text of an
    // element counts; a malformed document stops reading where the error is.
    QXmlStreamReader xml(&device);
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
            if (current == QLatin1String("Geometry"))
                values.geometry = QByteArray::fromHex(text.toLatin1());
            else if (current == QLatin1String("State"))
                values.state = QByteArray::fromHex(text.toLatin1());
            else if (current == QLatin1String("FixedLanguage"))
                values.fixedLanguage = toInt(text) != 0;
            else if (current == QLatin1String("Language"))
                values.language = text;
            else if (current == QLatin1String("SamplePoints"))
                values.samplePoints = nonNegative(toInt(text), values.samplePoints);
            else if (current == QLatin1String("Infinite"))
                values.infinite = toInt(text) != 0;
            else if (current == QLatin1String("SampleRate"))
                values.sampleRate = nonNegative(toInt(text), values.sampleRate);
            else if (current == QLatin1String("SkipRepeat"))
                values.skipRepeat = toInt(text) != 0;
            else if (current == QLatin1String("ExportFolder"))
                values.exportFolder = text;
            current.clear();
        }
    }
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
