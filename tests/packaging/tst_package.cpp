// The Debian package as a user receives it: built with CPack from this build folder, then read
// back with dpkg-deb and checked with the desktop's own validators.
#include "mydmm.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 60000,
    const QString& workDir = QString())
{
    QProcess process;
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The package step may have to bring a target up to date; the machine is shared.
    env.insert(QStringLiteral("CMAKE_BUILD_PARALLEL_LEVEL"), QStringLiteral("2"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.err = process.errorString();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString docDir()
{
    return QStringLiteral("./usr/" VIBVIEW_DOCDIR);
}

} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void controlFields_data();
    void controlFields();
    void contents_data();
    void contents();
    void nothingFromTheBuildTree();
    void depends_data();
    void depends();
    void maintainerScripts();
    void aptWouldInstallIt();
    void desktopFileValidates();
    void metainfoValidates();
    void udevRuleGivesTheSeatTheMeter();
    void loggerServiceRunsThePackagedLogger();
    void icons_data();
    void icons();
    void manualCoversEveryTopic_data();
    void manualCoversEveryTopic();
    void manualShowsTheWindow();
    void installedProgramLooksWhereTheManualIs();

private:
    QString field(const QString& name) const;
    QString extracted(const QString& path) const { return root.filePath(path); }

    std::unique_ptr<QTemporaryDir> work;
    QDir root;
    QString deb;
    QStringList contentLines;
    QStringList paths;
};

void PackageTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
        QSKIP("dpkg-deb is not installed");
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());

    // Packages what this build folder has built; it must not build the tree a second time.
    const Run cpack = run(QStringLiteral(CPACK_COMMAND),
        { QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
            QStringLiteral(BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), work->path() },
        600000, QStringLiteral(BUILD_DIR));
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out + cpack.err));

    const QStringList debs = QDir(work->path()).entryList({ QStringLiteral("*.deb") }, QDir::Files);
    QCOMPARE(debs.size(), 1);
    deb = QDir(work->path()).filePath(debs.first());

    const Run contents = run(QStringLiteral("dpkg-deb"), { QStringLiteral("-c"), deb });
    QVERIFY2(contents.exitCode == 0, qPrintable(contents.err));
    contentLines = contents.out.split('\n', Qt::SkipEmptyParts);
    // "-rwxr-xr-x root/root 123 2026-01-01 00:00 ./usr/bin/vibview": the path is the sixth field
    // and may hold blanks ("Software User Manual.pdf").
    const QRegularExpression line(
        QStringLiteral("^(\\S+)\\s+\\S+\\s+\\d+\\s+\\S+\\s+\\S+\\s+(.*)$"));
    for (const QString& text : qAsConst(contentLines)) {
        const auto match = line.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        paths << match.captured(2);
    }

    root = QDir(work->filePath(QStringLiteral("root")));
    const Run extract = run(QStringLiteral("dpkg-deb"), { QStringLiteral("-x"), deb, root.path() });
    QVERIFY2(extract.exitCode == 0, qPrintable(extract.err));
}

QString PackageTest::field(const QString& name) const
{
    return run(QStringLiteral("dpkg-deb"), { QStringLiteral("-f"), deb, name }).out.trimmed();
}

void PackageTest::controlFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("package") << "Package"
                             << "^vibview$";
    QTest::newRow("version") << "Version"
                             << "^2\\.0\\.0$";
    QTest::newRow("architecture") << "Architecture"
                                  << "^[a-z0-9]+$";
    QTest::newRow("maintainer") << "Maintainer"
                                << "^.+ <.+@.+>$";
    QTest::newRow("description") << "Description"
                                 << "vibration meter";
    QTest::newRow("section") << "Section"
                             << "^science$";
    // The rule needs udev running and the manual an opener, but neither is needed to start.
    QTest::newRow("recommends") << "Recommends"
                                << "^(?=.*\\budev\\b)(?=.*\\bxdg-utils\\b)";
}

void PackageTest::controlFields()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    const QString value = field(name);
    QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(),
        qPrintable(QStringLiteral("%1: \"%2\"").arg(name, value)));
    // apt install ./vibview_*.deb relies on the Debian file name.
    if (name == QLatin1String("Version"))
        QVERIFY2(QFileInfo(deb).fileName().startsWith(QStringLiteral("vibview_2.0.0_")),
            qPrintable(deb));
}

void PackageTest::contents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << "./usr/bin/vibview" << true;
    QTest::newRow("plug-in") << "./usr/" VIBVIEW_PLUGIN_DIR "/libuartix.so" << false;
    QTest::newRow("manual") << docDir() + "/Software User Manual.pdf" << false;
    QTest::newRow("copyright") << docDir() + "/copyright" << false;
    QTest::newRow("desktop file") << "./usr/share/applications/io.github.vibview.desktop" << false;
    QTest::newRow("metainfo") << "./usr/share/metainfo/io.github.vibview.metainfo.xml" << false;
    QTest::newRow("udev rule") << "./usr/lib/udev/rules.d/60-vibview-meter.rules" << false;
    QTest::newRow("logger") << "./usr/bin/vibview-logger" << true;
    QTest::newRow("logger service") << "./usr/lib/systemd/system/vibview-logger@.service" << false;
}

void PackageTest::contents()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const int index = paths.indexOf(path);
    QVERIFY2(index >= 0, qPrintable(path + " is not in the package:\n" + paths.join('\n')));
    const QString mode = contentLines.at(index).section(' ', 0, 0);
    QVERIFY2(mode.startsWith('-'), qPrintable(mode)); // a plain file
    QCOMPARE(mode.at(3) == QLatin1Char('x'), executable);
    QVERIFY2(QFileInfo(extracted(path)).size() > 0, qPrintable(path));
}

void PackageTest::nothingFromTheBuildTree()
{
    // Test programs, the simulator and staging paths have no place on a user's system.
    const QRegularExpression foreign(
        QStringLiteral("(/usr/local/|/tst_|metersim|iconpainter|appicon|makemanual|/build|"
                       "CMakeFiles|\\.a$)"));
    for (const QString& path : qAsConst(paths)) {
        QVERIFY2(path.startsWith(QStringLiteral("./usr/")) || path == QLatin1String("./")
                || path == QLatin1String("./usr/"),
            qPrintable(path));
        QVERIFY2(!foreign.match(path).hasMatch(), qPrintable(path));
    }
}

void PackageTest::depends_data()
{
    QTest::addColumn<QString>("package");
    QTest::newRow("C library") << "libc6";
    QTest::newRow("Qt core") << "libqt5core5a";
    QTest::newRow("Qt gui") << "libqt5gui5";
    QTest::newRow("Qt widgets") << "libqt5widgets5";
    QTest::newRow("Qt serial port") << "libqt5serialport5";
    QTest::newRow("udev library") << "libudev1";
    QTest::newRow("structured files") << "libgsf-1-114";
    QTest::newRow("SQLite driver of Qt") << "libqt5sql5-sqlite";
    QTest::newRow("MQTT client library") << "libmosquitto1";
}

void PackageTest::depends()
{
    QFETCH(QString, package);
    const QString depends = field(QStringLiteral("Depends"));
    QStringList names;
    for (const QString& alternative : depends.split(QRegularExpression(QStringLiteral("[,|]"))))
        names << alternative.trimmed().section(' ', 0, 0).section(':', 0, 0);
    QVERIFY2(names.contains(package), qPrintable(depends));
}

void PackageTest::maintainerScripts()
{
    const QString control = work->filePath(QStringLiteral("control"));
    const Run extract = run(QStringLiteral("dpkg-deb"), { QStringLiteral("-e"), deb, control });
    QVERIFY2(extract.exitCode == 0, qPrintable(extract.err));
    for (const char* name : { "postinst", "postrm" }) {
        const QFileInfo script(QDir(control).filePath(QLatin1String(name)));
        QVERIFY2(script.isFile(), name);
        QVERIFY2(script.isExecutable(), name);
        const Run syntax = run(QStringLiteral("sh"), { QStringLiteral("-n"), script.filePath() });
        QVERIFY2(syntax.exitCode == 0, qPrintable(syntax.err));
    }
}

void PackageTest::aptWouldInstallIt()
{
    // What "apt install ./vibview_*.deb" decides, simulated: every dependency can be met here.
    const QString apt = QStandardPaths::findExecutable(QStringLiteral("apt-get"));
    if (apt.isEmpty())
        QSKIP("apt-get is not available");
    const Run simulate = run(apt,
        { QStringLiteral("install"), QStringLiteral("--simulate"), QStringLiteral("--no-download"),
            QStringLiteral("--no-install-recommends"), QStringLiteral("-o"),
            QStringLiteral("Debug::NoLocking=1"), deb },
        120000);
    QVERIFY2(simulate.exitCode == 0, qPrintable(simulate.out + simulate.err));
    QVERIFY2(simulate.out.contains(QRegularExpression(QStringLiteral("(?m)^Inst vibview "))),
        qPrintable(simulate.out));
}

void PackageTest::desktopFileValidates()
{
    const QString validator
        = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
    const QString file
        = extracted(QStringLiteral("usr/share/applications/io.github.vibview.desktop"));
    const Run check = run(validator, { file });
    QVERIFY2(
        check.exitCode == 0 && check.out.trimmed().isEmpty(), qPrintable(check.out + check.err));

    // The launcher must start the packaged program and find the packaged icon.
    QFile desktop(file);
    QVERIFY(desktop.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(desktop.readAll());
    const auto exec = QRegularExpression(QStringLiteral("(?m)^Exec=(\\S+)")).match(text);
    QVERIFY(exec.hasMatch());
    QVERIFY2(paths.contains("./usr/bin/" + exec.captured(1)), qPrintable(exec.captured(1)));
    const auto icon = QRegularExpression(QStringLiteral("(?m)^Icon=(\\S+)$")).match(text);
    QVERIFY(icon.hasMatch());
    QVERIFY(paths.contains(
        "./usr/share/icons/hicolor/48x48/apps/" + icon.captured(1) + QStringLiteral(".png")));
}

void PackageTest::metainfoValidates()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        QSKIP("appstreamcli is not installed (appstream)");
    const Run check = run(validator,
        { QStringLiteral("validate"), QStringLiteral("--no-net"),
            extracted(QStringLiteral("usr/share/metainfo/io.github.vibview.metainfo.xml")) });
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
}

void PackageTest::udevRuleGivesTheSeatTheMeter()
{
    QFile rule(extracted(QStringLiteral("usr/lib/udev/rules.d/60-vibview-meter.rules")));
    QVERIFY(rule.open(QIODevice::ReadOnly));
    bool matched = false;
    for (const QString& line : QString::fromUtf8(rule.readAll()).split('\n')) {
        if (line.trimmed().startsWith('#') || line.trimmed().isEmpty())
            continue;
        const auto vendor
            = QRegularExpression(QStringLiteral("ATTRS\\{idVendor\\}==\"([0-9a-f]{4})\""))
                  .match(line);
        const auto product
            = QRegularExpression(QStringLiteral("ATTRS\\{idProduct\\}==\"([0-9a-f]{4})\""))
                  .match(line);
        if (!vendor.hasMatch() || !product.hasMatch())
            continue;
        // udev spells the identifiers in lower-case hexadecimal; the link searches for them in
        // decimal.
        QCOMPARE(vendor.captured(1).toUShort(nullptr, 16), MyDmm::VendorId);
        QCOMPARE(product.captured(1).toUShort(nullptr, 16), MyDmm::ProductId);
        QVERIFY2(line.contains(QStringLiteral("SUBSYSTEM==\"tty\"")), qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral("TAG+=\"uaccess\"")), qPrintable(line));
        matched = true;
    }
    QVERIFY2(matched, "no rule names the meter's adapter");
}

void PackageTest::loggerServiceRunsThePackagedLogger()
{
    // The packaged program starts (stripped, against the system's libraries) and knows its options.
    const Run help = run(extracted(QStringLiteral("usr/bin/vibview-logger")), { "--help" });
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.contains(QStringLiteral("--mqtt <HOST[:PORT]>")), qPrintable(help.out));

    // One instance per configuration, its options from that configuration's file.
    QFile unit(extracted(QStringLiteral("usr/lib/systemd/system/vibview-logger@.service")));
    QVERIFY(unit.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(unit.readAll());
    for (const char* line : { "EnvironmentFile=/etc/vibview/logger-%i.conf",
             "ExecStart=vibview-logger $VIBVIEW_LOGGER_OPTIONS", "RestartPreventExitStatus=2" })
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("(?m)^")
                     + QRegularExpression::escape(QLatin1String(line)) + '$')),
            line);

    // systemd's own check of an instance, against the package's files: the program it starts is
    // the packaged one. The system's standard units stand in for those a real system has.
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()
        || !QFileInfo::exists(QStringLiteral("/lib/systemd/system/sysinit.target")))
        QSKIP("systemd is not installed");
    const Run copy = run(QStringLiteral("cp"),
        { "-rn", "/lib/systemd/system/.", extracted(QStringLiteral("usr/lib/systemd/system")) });
    QCOMPARE(copy.exitCode, 0);
    const Run verify = run(analyze,
        { "verify", "--man=no", "--root=" + root.absolutePath(), "vibview-logger@line3.service" });
    QVERIFY2(verify.exitCode == 0 && verify.err.trimmed().isEmpty(),
        qPrintable(verify.out + verify.err));
}

void PackageTest::icons_data()
{
    QTest::addColumn<int>("size");
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        QTest::newRow(qPrintable(QStringLiteral("%1 px").arg(size))) << size;
}

void PackageTest::icons()
{
    QFETCH(int, size);
    const QString path
        = QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/io.github.vibview.png").arg(size);
    QVERIFY2(paths.contains(path), qPrintable(path));
    const QImage image(extracted(path));
    QCOMPARE(image.size(), QSize(size, size));
    // Drawn, with a transparent corner around the rounded body.
    QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) == 255);
    QVERIFY(qAlpha(image.pixel(0, 0)) < 64);
}

void PackageTest::manualCoversEveryTopic_data()
{
    QTest::addColumn<QString>("heading");
    for (const char* heading :
        { "Installation", "Connecting the meter", "Recording readings", "Measurement items",
            "Downloading the meter's memory", "Setting the meter's clock", "Exports", "Options",
            "The settings file", "Machine condition: zones, alarm levels and statistics",
            "Item properties", "Severity zones and machine classes", "Alarm levels" })
        QTest::newRow(heading) << QString::fromLatin1(heading);
}

void PackageTest::manualCoversEveryTopic()
{
    QFETCH(QString, heading);
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed (poppler-utils)");
    const QString manual = extracted(docDir() + QStringLiteral("/Software User Manual.pdf"));
    static QString text;
    if (text.isEmpty())
        // Compatibility form: the typesetter's "fi" and "fl" ligatures read as two letters.
        text = run(pdftotext, { manual, QStringLiteral("-") })
                   .out.normalized(QString::NormalizationForm_KC);
    QVERIFY2(text.contains(heading), qPrintable(heading));
}

void PackageTest::manualShowsTheWindow()
{
    const QString pdfimages = QStandardPaths::findExecutable(QStringLiteral("pdfimages"));
    if (pdfimages.isEmpty())
        QSKIP("pdfimages is not installed (poppler-utils)");
    const QString manual = extracted(docDir() + QStringLiteral("/Software User Manual.pdf"));
    const Run list = run(pdfimages, { QStringLiteral("-list"), manual });
    QCOMPARE(list.exitCode, 0);
    // Two header lines, then one line per picture: page, number, type, width, height, ...
    const QStringList lines = list.out.split('\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY2(lines.size() >= 5, qPrintable(list.out));
    // The first picture is the whole window, kept at its full resolution.
    const QStringList first = lines.first().simplified().split(' ');
    QVERIFY2(first.size() > 4 && first.at(3).toInt() >= 900, qPrintable(lines.first()));
}

void PackageTest::installedProgramLooksWhereTheManualIs()
{
    // The program looks for the manual relative to itself (the package's prefix need not be the
    // one the build was configured for): that relative folder must be where the package put it.
    const QString relative
        = QDir(extracted(QStringLiteral("usr/bin"))).relativeFilePath(extracted(docDir()))
        + QLatin1Char('/');
    QFile program(extracted(QStringLiteral("usr/bin/vibview")));
    QVERIFY(program.open(QIODevice::ReadOnly));
    const QByteArray binary = program.readAll();
    // Held as a QStringLiteral: UTF-16 in the program's read-only data.
    const QByteArray needle(
        reinterpret_cast<const char*>(relative.utf16()), relative.size() * int(sizeof(char16_t)));
    QVERIFY2(binary.contains(needle), qPrintable(relative));
}

QTEST_MAIN(PackageTest)
#include "tst_package.moc"
