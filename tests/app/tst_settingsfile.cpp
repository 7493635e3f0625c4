#include "settingsfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <unistd.h>

namespace {

// The fields a file set, in file order, as "Name=value" joined by ';'.
QString summary(const SettingsValues& v)
{
    QStringList parts;
    if (v.geometry)
        parts << "Geometry=" + QString::fromLatin1(v.geometry->toHex());
    if (v.state)
        parts << "State=" + QString::fromLatin1(v.state->toHex());
    if (v.fixedLanguage)
        parts << QString("FixedLanguage=%1").arg(int(*v.fixedLanguage));
    if (v.language)
        parts << "Language=" + *v.language;
    if (v.samplePoints)
        parts << QString("SamplePoints=%1").arg(*v.samplePoints);
    if (v.infinite)
        parts << QString("Infinite=%1").arg(int(*v.infinite));
    if (v.sampleRate)
        parts << QString("SampleRate=%1").arg(*v.sampleRate);
    if (v.skipRepeat)
        parts << QString("SkipRepeat=%1").arg(int(*v.skipRepeat));
    if (v.exportFolder)
        parts << "ExportFolder=" + *v.exportFolder;
    return parts.join(';');
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class SettingsFileTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void writesAllElementsInOrder();
    void roundTrip();
    void location_data();
    void location();
    void readOnlyProgramFolderFallsBack();
    void writeFailsWhenNoFolderCanBeMade();
};

void SettingsFileTest::parse_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");

    QTest::newRow("sample rate alone") << QByteArray("<?xml version=\"1.0\"?><options>"
                                                     "<SampleRate>500</SampleRate></options>")
                                       << "SampleRate=500";
    QTest::newRow("all eight") << QByteArray("<options><Geometry>01ff</Geometry><State>0a</State>"
                                             "<FixedLanguage>1</FixedLanguage><Language>OTHER"
                                             "</Language><SamplePoints>10</SamplePoints>"
                                             "<Infinite>0</Infinite><SampleRate>250</SampleRate>"
                                             "<SkipRepeat>1</SkipRepeat></options>")
                               << "Geometry=01ff;State=0a;FixedLanguage=1;Language=OTHER;"
                                  "SamplePoints=10;Infinite=0;SampleRate=250;SkipRepeat=1";
    QTest::newRow("abc reads 0") << QByteArray(
        "<options><SamplePoints>abc</SamplePoints></options>")
                                 << "SamplePoints=0";
    QTest::newRow("any other number is true")
        << QByteArray("<options><Infinite>7</Infinite><SkipRepeat>-1</SkipRepeat></options>")
        << "Infinite=1;SkipRepeat=1";
    QTest::newRow("root name not checked")
        << QByteArray("<settings><Infinite>0</Infinite></settings>") << "Infinite=0";
    QTest::newRow("blank text ignored")
        << QByteArray("<options><SampleRate>  \n\t </SampleRate></options>") << "";
    QTest::newRow("nesting plays no part")
        << QByteArray("<options><window><SkipRepeat>1</SkipRepeat></window></options>")
        << "SkipRepeat=1";
    QTest::newRow("names are case-sensitive")
        << QByteArray("<options><samplerate>5</samplerate><SAMPLERATE>6</SAMPLERATE></options>")
        << "";
    QTest::newRow("export folder")
        << QByteArray("<options><ExportFolder>/srv/exports</ExportFolder></options>")
        << "ExportFolder=/srv/exports";
    QTest::newRow("unknown elements ignored")
        << QByteArray("<options><Colour>red</Colour><SampleRate>7</SampleRate></options>")
        << "SampleRate=7";
    QTest::newRow("only the first text of an element counts")
        << QByteArray("<options><Language>EN<!-- note -->OTHER</Language></options>")
        << "Language=EN";
    QTest::newRow("malformed document keeps what came before") << QByteArray(
        "<options><SampleRate>300</SampleRate><Bad x=></Bad>"
        "<SamplePoints>5</SamplePoints></options>") << "SampleRate=300";
    QTest::newRow("empty language element leaves the default")
        << QByteArray("<options><Language></Language><Language/></options>") << "";
    QTest::newRow("negative counts leave the setting as it was") << QByteArray(
        "<options><SampleRate>300</SampleRate><SampleRate>-1</SampleRate>"
        "<SamplePoints>-5</SamplePoints></options>") << "SampleRate=300";
    QTest::newRow("not xml at all") << QByteArray("SampleRate=5") << "";
}

void SettingsFileTest::parse()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);
    QBuffer buffer(&xml);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    SettingsValues values;
    SettingsFile::parse(buffer, values);
    QCOMPARE(summary(values), expected);
}

void SettingsFileTest::writesAllElementsInOrder()
{
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    SettingsValues values; // nothing chosen yet: defaults, and an empty language
    values.geometry = QByteArray("\x01\xab", 2);
    QVERIFY(SettingsFile::serialize(buffer, values));
    const QByteArray text = buffer.data();

    QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY2(text.contains("\n    <Geometry>01ab</Geometry>\n"), text.constData());

    QXmlStreamReader xml(text);
    QStringList names;
    QStringList texts;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("options"))
            continue;
        names << xml.name().toString();
        texts << xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(names,
        QStringList({ "Geometry", "State", "FixedLanguage", "Language", "SamplePoints", "Infinite",
            "SampleRate", "SkipRepeat", "ExportFolder" }));
    QCOMPARE(texts, QStringList({ "01ab", "", "0", "", "1000", "1", "1000", "0", "" }));
}

void SettingsFileTest::roundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SettingsValues written;
    written.geometry = QByteArray::fromHex("01d9d0cb000300000000");
    written.state = QByteArray::fromHex("000000ff00000000fd");
    written.fixedLanguage = true;
    written.language = QStringLiteral("OTHER");
    written.samplePoints = 42;
    written.infinite = false;
    written.sampleRate = 0;
    written.skipRepeat = true;
    written.exportFolder = QStringLiteral("/home/user/Reports & Exports");
    const SettingsFile file(dir.path(), dir.filePath("config"));
    QVERIFY(file.write(written));

    SettingsValues read;
    QVERIFY(file.read(read));
    QCOMPARE(summary(read), summary(written));
}

void SettingsFileTest::location_data()
{
    QTest::addColumn<bool>("programDirExists");
    QTest::addColumn<bool>("perUserFileExists");
    QTest::addColumn<QString>("readFrom");
    QTest::addColumn<QString>("writeTo");

    QTest::newRow("writable program folder") << true << false << "program"
                                             << "program";
    QTest::newRow("writable program folder wins over per-user file") << true << true << "program"
                                                                     << "program";
    QTest::newRow("no program folder, no per-user file yet") << false << false << "program"
                                                             << "config";
    QTest::newRow("no program folder, per-user file") << false << true << "config"
                                                      << "config";
}

void SettingsFileTest::location()
{
    QFETCH(bool, programDirExists);
    QFETCH(bool, perUserFileExists);
    QFETCH(QString, readFrom);
    QFETCH(QString, writeTo);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath("program");
    const QString config = dir.filePath("config");
    if (programDirExists)
        QVERIFY(QDir().mkpath(program));
    if (perUserFileExists) {
        QVERIFY(QDir().mkpath(config));
        QVERIFY(writeText(config + "/options.xml", "<options/>"));
    }
    const SettingsFile file(program, config);
    QCOMPARE(file.readPath(), dir.filePath(readFrom) + "/options.xml");
    QCOMPARE(file.writePath(), dir.filePath(writeTo) + "/options.xml");

    // Writing creates the per-user folder when it is needed, and reading then finds it.
    SettingsValues values;
    values.sampleRate = 321;
    QVERIFY(file.write(values));
    SettingsValues back;
    QVERIFY(file.read(back));
    QCOMPARE(back.sampleRate.value_or(-1), 321);
}

void SettingsFileTest::readOnlyProgramFolderFallsBack()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath("program");
    const QString config = dir.filePath("config");
    QVERIFY(QDir().mkpath(program));
    QVERIFY(writeText(program + "/options.xml", "<options><SampleRate>700</SampleRate></options>"));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    const bool stillWritable = ::access(QFile::encodeName(program).constData(), W_OK) == 0;
    if (stillWritable) {
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("running with rights that write into read-only folders (root)");
    }

    const SettingsFile file(program, config);
    SettingsValues shipped;
    QVERIFY(file.read(shipped));
    QCOMPARE(shipped.sampleRate.value_or(-1), 700);

    SettingsValues mine;
    mine.sampleRate = 150;
    QVERIFY(file.write(mine));
    QVERIFY(QFile::exists(config + "/options.xml"));
    SettingsValues back;
    QVERIFY(file.read(back));
    QCOMPARE(back.sampleRate.value_or(-1), 150);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void SettingsFileTest::writeFailsWhenNoFolderCanBeMade()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A plain file stands where both folders would have to be.
    const QString blocker = dir.filePath("blocker");
    QVERIFY(writeText(blocker, "x"));
    const SettingsFile file(blocker + "/program", blocker + "/config");
    QCOMPARE(file.writePath(), blocker + "/config/options.xml");
    SettingsValues values;
    values.sampleRate = 5;
    QVERIFY(!file.write(values));
    SettingsValues none;
    QVERIFY(!file.read(none));
    QCOMPARE(summary(none), QString());
}

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
