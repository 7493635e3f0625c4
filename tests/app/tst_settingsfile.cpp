#include "settingsfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
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

QByteArray readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// The elements the reader's problem lines name, in order.
QStringList ignoredElements(const SettingsValues& v)
{
    static const QRegularExpression element(QStringLiteral("^The settings file's (\\w+) "));
    QStringList names;
    for (const QString& problem : v.problems) {
        const QRegularExpressionMatch match = element.match(problem);
        names << (match.hasMatch() ? match.captured(1) : problem);
    }
    return names;
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
    void installedProgramKeepsSettingsPerUser_data();
    void installedProgramKeepsSettingsPerUser();
    void readOnlyProgramFolderFallsBack();
    void writeFailsWhenNoFolderCanBeMade();
    void writeGuards_data();
    void writeGuards();
};

void SettingsFileTest::parse_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("ignored"); // elements reported as ignored
    QTest::addColumn<bool>("whole"); // read to its end

    const QStringList none;
    QTest::newRow("sample rate alone") << QByteArray("<?xml version=\"1.0\"?><options>"
                                                     "<SampleRate>500</SampleRate></options>")
                                       << "SampleRate=500" << none << true;
    QTest::newRow("all eight") << QByteArray("<options><Geometry>01ff</Geometry><State>0a</State>"
                                             "<FixedLanguage>1</FixedLanguage><Language>OTHER"
                                             "</Language><SamplePoints>10</SamplePoints>"
                                             "<Infinite>0</Infinite><SampleRate>250</SampleRate>"
                                             "<SkipRepeat>1</SkipRepeat></options>")
                               << "Geometry=01ff;State=0a;FixedLanguage=1;Language=OTHER;"
                                  "SamplePoints=10;Infinite=0;SampleRate=250;SkipRepeat=1"
                               << none << true;
    // A count the options dialog cannot show would stop recording while the dialog shows 1.
    QTest::newRow("abc keeps the default")
        << QByteArray("<options><SamplePoints>abc</SamplePoints></options>") << ""
        << QStringList { "SamplePoints" } << true;
    QTest::newRow("0 points keeps the default")
        << QByteArray("<options><SamplePoints>0</SamplePoints></options>") << ""
        << QStringList { "SamplePoints" } << true;
    QTest::newRow("beyond int keeps the default")
        << QByteArray("<options><SamplePoints>2147483648</SamplePoints>"
                      "<SampleRate>99999999999</SampleRate></options>")
        << "" << QStringList { "SamplePoints", "SampleRate" } << true;
    QTest::newRow("largest int and blanks around")
        << QByteArray("<options><SamplePoints> 2147483647 </SamplePoints><SampleRate>0"
                      "</SampleRate></options>")
        << "SamplePoints=2147483647;SampleRate=0" << none << true;
    QTest::newRow("a bad value after a good one keeps the good one")
        << QByteArray("<options><SampleRate>300</SampleRate><SampleRate>fast</SampleRate>"
                      "</options>")
        << "SampleRate=300" << QStringList { "SampleRate" } << true;
    QTest::newRow("any other number is true")
        << QByteArray("<options><Infinite>7</Infinite><SkipRepeat>-1</SkipRepeat></options>")
        << "Infinite=1;SkipRepeat=1" << none << true;
    QTest::newRow("a flag that is no number is ignored")
        << QByteArray("<options><Infinite>lots</Infinite><FixedLanguage>yes</FixedLanguage>"
                      "<SkipRepeat>1</SkipRepeat></options>")
        << "SkipRepeat=1" << QStringList { "Infinite", "FixedLanguage" } << true;
    QTest::newRow("root name not checked")
        << QByteArray("<settings><Infinite>0</Infinite></settings>") << "Infinite=0" << none
        << true;
    QTest::newRow("blank text ignored")
        << QByteArray("<options><SampleRate>  \n\t </SampleRate></options>") << "" << none << true;
    QTest::newRow("nesting plays no part")
        << QByteArray("<options><window><SkipRepeat>1</SkipRepeat></window></options>")
        << "SkipRepeat=1" << none << true;
    QTest::newRow("names are case-sensitive")
        << QByteArray("<options><samplerate>5</samplerate><SAMPLERATE>6</SAMPLERATE></options>")
        << "" << none << true;
    QTest::newRow("export folder")
        << QByteArray("<options><ExportFolder>/srv/exports</ExportFolder></options>")
        << "ExportFolder=/srv/exports" << none << true;
    QTest::newRow("unknown elements ignored")
        << QByteArray("<options><Colour>red</Colour><SampleRate>7</SampleRate></options>")
        << "SampleRate=7" << none << true;
    QTest::newRow("only the first text of an element counts")
        << QByteArray("<options><Language>EN<!-- note -->OTHER</Language></options>")
        << "Language=EN" << none << true;
    QTest::newRow("malformed document keeps what came before")
        << QByteArray("<options><SampleRate>300</SampleRate><Bad x=></Bad>"
                      "<SamplePoints>5</SamplePoints></options>")
        << "SampleRate=300" << none << false;
    QTest::newRow("a byte that is no UTF-8 keeps what came before")
        << QByteArray("<options><SampleRate>300</SampleRate><Language>\xff</Language>"
                      "<SkipRepeat>1</SkipRepeat></options>")
        << "SampleRate=300" << none << false;
    QTest::newRow("a byte that is no UTF-8 inside a number") << QByteArray(
        "<options><Infinite>0</Infinite><SampleRate>5\xc0\xaf"
        "0</SampleRate>"
        "</options>") << "Infinite=0" << none << false;
    QTest::newRow("UTF-8 with a byte order mark")
        << QByteArray("\xef\xbb\xbf<options><Language>\xc3\xa9</Language></options>")
        << QStringLiteral("Language=\u00e9") << none << true;
    QTest::newRow("a declared Latin-1 document is read as such")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                      "<options><Language>\xe9</Language></options>")
        << QStringLiteral("Language=\u00e9") << none << true;
    QTest::newRow("cut off in an element") << QByteArray("<options><SampleRate>300</SampleRate><Sk")
                                           << "SampleRate=300" << none << false;
    QTest::newRow("empty language element leaves the default")
        << QByteArray("<options><Language></Language><Language/></options>") << "" << none << true;
    QTest::newRow("negative counts leave the setting as it was")
        << QByteArray("<options><SampleRate>300</SampleRate><SampleRate>-1</SampleRate>"
                      "<SamplePoints>-5</SamplePoints></options>")
        << "SampleRate=300" << QStringList { "SampleRate", "SamplePoints" } << true;
    QTest::newRow("not xml at all") << QByteArray("SampleRate=5") << "" << none << false;
    QTest::newRow("empty") << QByteArray() << "" << none << true;
    QTest::newRow("blanks only") << QByteArray(" \n\t\n") << "" << none << true;
}

void SettingsFileTest::parse()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);
    QFETCH(QStringList, ignored);
    QBuffer buffer(&xml);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    SettingsValues values;
    QTEST(SettingsFile::parse(buffer, values), "whole");
    QCOMPARE(summary(values), expected);
    QCOMPARE(ignoredElements(values), ignored);
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

void SettingsFileTest::installedProgramKeepsSettingsPerUser_data()
{
    QTest::addColumn<QString>("programDir");
    QTest::newRow("/usr/bin") << "/usr/bin";
    QTest::newRow("/usr/local/bin") << "/usr/local/bin";
    QTest::newRow("below /usr, not clean") << "/usr/lib/../bin/";
}

void SettingsFileTest::installedProgramKeepsSettingsPerUser()
{
    // Never beside an installed program, even where the user may write there (root).
    QFETCH(QString, programDir);
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const SettingsFile file(programDir, config.path());
    QCOMPARE(file.writePath(), config.filePath("options.xml"));
    // Until the user's own file exists, one shipped beside the program is read.
    QCOMPARE(QDir::cleanPath(file.readPath()), QDir::cleanPath(programDir + "/options.xml"));
    QVERIFY(writeText(config.filePath("options.xml"), "<options/>"));
    QCOMPARE(file.readPath(), config.filePath("options.xml"));
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

void SettingsFileTest::writeGuards_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("problem"); // what reading the file beforehand reported
    QTest::addColumn<QByteArray>("keptAsBad"); // "<none>" when no copy is kept

    const QByteArray none("<none>");
    QTest::newRow("link to a file") << "link" << QString() << none;
    QTest::newRow("link to nothing") << "dangling" << QString() << none;
    QTest::newRow("leftovers of an interrupted save") << "leftovers" << QString() << none;
    QTest::newRow("damaged file")
        << "damaged"
        << "could not be read to its end; the settings before the fault were applied. The file "
           "is kept as options.xml.bad when the settings are saved."
        << QByteArray("<options><SampleRate>300</SampleRate>\xff");
    QTest::newRow("blank file") << "blank" << QString() << none;
}

void SettingsFileTest::writeGuards()
{
    QFETCH(QString, situation);
    QFETCH(QString, problem);
    QFETCH(QByteArray, keptAsBad);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath("program");
    QVERIFY(QDir().mkpath(program));
    const QString path = program + "/options.xml";
    const QString elsewhere = dir.filePath("precious.txt");
    QStringList leftovers;
    QStringList others;
    const QByteArray precious("<options><SampleRate>7</SampleRate></options>");
    if (situation == "link") {
        QVERIFY(writeText(elsewhere, precious));
        QVERIFY(QFile::link(elsewhere, path));
    } else if (situation == "dangling") {
        QVERIFY(QFile::link(elsewhere, path));
    } else if (situation == "leftovers") {
        // A save that never finished leaves its temporary file, named after the file with six
        // letters or digits added, where the file system offers no unnamed temporary files.
        leftovers << "options.xml.Ab12Cd"
                  << "options.xml.QWErty";
        for (const QString& name : leftovers)
            QVERIFY(writeText(program + "/" + name, "<opt"));
        others << "options.xml.bad"
               << "options.xml.notes"
               << "options.xml.Ab12Cd7";
        for (const QString& name : others)
            QVERIFY(writeText(program + "/" + name, "keep"));
        QVERIFY(QDir(program).mkdir("options.xml.Zz9Zz9"));
        others << "options.xml.Zz9Zz9";
    } else if (situation == "damaged") {
        QVERIFY(writeText(path, keptAsBad));
    } else if (situation == "blank") {
        QVERIFY(writeText(path, "\n"));
    }

    const SettingsFile file(program, dir.filePath("config"));
    SettingsValues before;
    file.read(before);
    if (problem.isEmpty())
        QCOMPARE(before.problems, QStringList());
    else
        QVERIFY2(before.problems.size() == 1 && before.problems.first().endsWith(problem),
            qPrintable(before.problems.join('|')));

    SettingsValues values;
    values.sampleRate = 42;
    QVERIFY(file.write(values));
    // A regular file of our own, read back whole.
    QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
    SettingsValues back;
    QVERIFY(file.read(back));
    QCOMPARE(back.sampleRate.value_or(-1), 42);
    QCOMPARE(back.problems, QStringList());
    // Nothing outside the folder changed or appeared.
    QCOMPARE(readText(elsewhere), situation == "link" ? precious : QByteArray("<none>"));
    QCOMPARE(readText(path + ".bad"), situation == "leftovers" ? QByteArray("keep") : keptAsBad);
    for (const QString& name : leftovers)
        QVERIFY2(!QFileInfo::exists(program + "/" + name), qPrintable(name));
    for (const QString& name : others)
        QVERIFY2(QFileInfo::exists(program + "/" + name), qPrintable(name));
}

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
