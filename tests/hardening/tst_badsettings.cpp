// The settings file at its worst: empty, binary, truncated, deeply nested, enormous, numbers out
// of range, unreadable, in a read-only folder. The window always starts with sound values, and
// what it writes back at close holds what was in effect.

#include "filesizelimit.h"
#include "privdrop.h"

#include "settingsfile.h"
#include "widget.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

struct Sampling
{
    int samplePoints;
    bool infinite;
    int sampleRate;
    bool skipRepeat;
};

QByteArray document(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<options>" + body + "</options>\n";
}

QByteArray binary()
{
    QByteArray bytes(64 * 1024, '\0');
    QRandomGenerator random(7);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray deeplyNested(int depth)
{
    return "<options>" + QByteArray("<a>").repeated(depth) + "<SampleRate>250</SampleRate>"
        + QByteArray("</a>").repeated(depth) + "</options>";
}

QByteArray enormous()
{
    // About 40 MB: a huge unknown element body, a huge Geometry text, then one real setting.
    return document("<Notes>" + QByteArray("lorem ipsum ").repeated(2 * 1024 * 1024) + "</Notes>"
        + "<Geometry>" + QByteArray("0a").repeated(8 * 1024 * 1024) + "</Geometry>"
        + "<SampleRate>125</SampleRate>");
}

Sampling parsed(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    SettingsValues values;
    SettingsFile::parse(buffer, values);
    return { values.samplePoints.value_or(-1), values.infinite.value_or(false),
        values.sampleRate.value_or(-1), values.skipRepeat.value_or(false) };
}

} // namespace

Q_DECLARE_METATYPE(Sampling)

class BadSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowStartsWithSoundValues_data();
    void windowStartsWithSoundValues();
    void unusableFile_data();
    void unusableFile();

private:
    QString besideProgram() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
    }
};

void BadSettingsTest::init()
{
    QFile::remove(besideProgram());
    QFile::remove(besideProgram() + QStringLiteral(".bad"));
}

void BadSettingsTest::cleanup()
{
    init();
}

void BadSettingsTest::windowStartsWithSoundValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Sampling>("expected");
    QTest::addColumn<int>("messages"); // lines about the file in the message list
    QTest::addColumn<bool>("keptAsBad"); // the file was kept as options.xml.bad at close

    const Sampling defaults { 1000, true, 1000, false };
    QTest::newRow("empty") << QByteArray() << defaults << 0 << false;
    QTest::newRow("blanks only") << QByteArray(" \n\t \n") << defaults << 0 << false;
    QTest::newRow("binary") << binary() << defaults << 1 << true;
    // Bytes that are no UTF-8 end the reading where they stand; what came before is applied.
    QTest::newRow("binary after a valid setting")
        << "<options><SampleRate>500</SampleRate>" + binary() << Sampling { 1000, true, 500, false }
        << 1 << true;
    QTest::newRow("malformed after a valid setting")
        << QByteArray(
               "<options><SampleRate>500</SampleRate><<&&\x01</oops><SkipRepeat>1</SkipRepeat>")
        << Sampling { 1000, true, 500, false } << 1 << true;
    QTest::newRow("truncated in an element name")
        << document("<SampleRate>500</SampleRate><SkipRepeat>1</SkipRepeat><Sample").left(100)
        << Sampling { 1000, true, 500, true } << 1 << true;
    QTest::newRow("deeply nested")
        << deeplyNested(100000) << Sampling { 1000, true, 250, false } << 0 << false;
    QTest::newRow("enormous") << enormous() << Sampling { 1000, true, 125, false } << 0 << false;
    // A negative interval would let one live reading through and then none: it is ignored, as
    // is a negative number of points, and so is any number the options dialog cannot show.
    QTest::newRow("negative numbers")
        << document("<SampleRate>-40</SampleRate><SamplePoints>-3</SamplePoints>") << defaults << 2
        << false;
    QTest::newRow("beyond int") << document(
        "<SampleRate>99999999999</SampleRate><SamplePoints>2147483648</SamplePoints>")
                                << defaults << 2 << false;
    QTest::newRow("no points, words for numbers") << document(
        "<SamplePoints>0</SamplePoints><Infinite>lots</Infinite><SampleRate>fast"
        "</SampleRate>") << defaults << 3 << false;
    QTest::newRow("largest int") << document(
        "<SampleRate>2147483647</SampleRate><SamplePoints>2147483647</SamplePoints>")
                                 << Sampling { 2147483647, true, 2147483647, false } << 0 << false;
    QTest::newRow("flags other than 0 and 1")
        << document("<Infinite>7</Infinite><SkipRepeat>-1</SkipRepeat>")
        << Sampling { 1000, true, 1000, true } << 0 << false;
    QTest::newRow("hex geometry of garbage") << document(
        "<Geometry>zz9q</Geometry><State>ffffffffffff</State><SampleRate>60</SampleRate>")
                                             << Sampling { 1000, true, 60, false } << 0 << false;
}

void BadSettingsTest::windowStartsWithSoundValues()
{
    QFETCH(QByteArray, content);
    QFETCH(Sampling, expected);
    QFETCH(int, messages);
    QFETCH(bool, keptAsBad);

    QFile file(besideProgram());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
    file.close();

    QElapsedTimer clock;
    clock.start();
    {
        Widget w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Reading must not freeze the window, whatever the file holds.
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(w.isVisible());
        auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
        QStringList lines;
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().contains(QStringLiteral("settings file")))
                lines << list->item(i)->text();
        }
        QVERIFY2(lines.size() == messages, qPrintable(lines.join('\n')));
        for (const QString& line : qAsConst(lines))
            QVERIFY2(line.size() < 300, qPrintable(line)); // a huge value is not shown whole
        w.close();
    }

    // What the window wrote back is what it ran with.
    QFile written(besideProgram());
    QVERIFY(written.open(QIODevice::ReadOnly));
    const Sampling got = parsed(written.readAll());
    QCOMPARE(got.samplePoints, expected.samplePoints);
    QCOMPARE(got.infinite, expected.infinite);
    QCOMPARE(got.sampleRate, expected.sampleRate);
    QCOMPARE(got.skipRepeat, expected.skipRepeat);
    // A file that could not be read whole is kept as it was.
    QFile bad(besideProgram() + QStringLiteral(".bad"));
    QCOMPARE(bad.exists(), keptAsBad);
    if (keptAsBad) {
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QVERIFY(bad.readAll() == content);
    }
}

void BadSettingsTest::unusableFile_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("unreadable file") << "unreadable";
    QTest::newRow("a folder in its place") << "folder";
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("full disk") << "full";
}

void BadSettingsTest::unusableFile()
{
    QFETCH(QString, situation);
    if (situation == QLatin1String("unreadable") || situation == QLatin1String("read-only"))
        RUN_UNPRIVILEGED_AS_ROOT();

    QTemporaryDir appDir;
    QTemporaryDir configDir;
    QVERIFY(appDir.isValid() && configDir.isValid());
    const QString path = appDir.filePath(SettingsFile::fileName());
    const QByteArray shipped = document("<SampleRate>300</SampleRate>");
    SettingsValues values;
    values.sampleRate = 42;

    if (situation == QLatin1String("unreadable")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(shipped);
        file.close();
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        SettingsValues read;
        // Nothing to read: the defaults stay, and nothing is reported as read.
        QVERIFY(!SettingsFile(appDir.path(), configDir.path()).read(read));
        QVERIFY(!read.sampleRate);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    } else if (situation == QLatin1String("folder")) {
        QVERIFY(QDir(appDir.path()).mkdir(SettingsFile::fileName()));
        SettingsValues read;
        QVERIFY(!SettingsFile(appDir.path(), configDir.path()).read(read));
        // Writing cannot replace a folder; the failure is reported and the folder stays.
        QVERIFY(!SettingsFile(appDir.path(), configDir.path()).write(values));
        QVERIFY(QFileInfo(path).isDir());
    } else if (situation == QLatin1String("full")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(shipped);
        file.close();
        // The new file cannot be written out: the save fails and the old file stays whole.
        bool written = true;
        {
            FileSizeLimit limit;
            written = SettingsFile(appDir.path(), configDir.path()).write(values);
        }
        QVERIFY(!written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), shipped);
        QCOMPARE(QDir(appDir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList { SettingsFile::fileName() });
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(shipped);
        file.close();
        QVERIFY(
            QFile::setPermissions(appDir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const SettingsFile settings(appDir.path(), configDir.path());
        // The copy beside the program is read as shipped; the user's settings go elsewhere,
        // and are what is read from then on.
        SettingsValues read;
        QVERIFY(settings.read(read));
        QCOMPARE(read.sampleRate.value_or(-1), 300);
        QVERIFY(settings.write(values));
        SettingsValues again;
        QVERIFY(settings.read(again));
        QCOMPARE(again.sampleRate.value_or(-1), 42);
        QFile shippedFile(path);
        QVERIFY(shippedFile.open(QIODevice::ReadOnly));
        QCOMPARE(shippedFile.readAll(), shipped);
        QFile::setPermissions(appDir.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

QTEST_MAIN(BadSettingsTest)
#include "tst_badsettings.moc"
