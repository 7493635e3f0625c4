// Exports where they cannot succeed: a folder that does not exist, a read-only folder, a full
// disk (a full device, and a file that may grow no further). Each reports the failure, leaves no
// half-written file, and never replaces what is there.

#include "filesizelimit.h"
#include "privdrop.h"

#include "columnheader.h"
#include "csvexport.h"
#include "dmmchart.h"
#include "pdfreport.h"
#include "pictureexport.h"
#include "tablemodel.h"
#include "xlsexport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QList<ColumnHeader*> makeHeaders()
{
    QList<ColumnHeader*> headers;
    for (const char* title : { "No.", "Date", "Detection", "Value", "Unit", "Band" })
        headers << new ColumnHeader { QString::fromLatin1(title), 2 };
    return headers;
}

// Writes one kind of export; true when the exporter reported success. The writers that say why
// they failed put it in reason.
bool exportTo(const QString& kind, const QString& path, QString* reason)
{
    const TableModel model(200);
    const QList<ColumnHeader*> headers = makeHeaders();
    bool ok = false;
    if (kind == QLatin1String("xls")) {
        ok = XlsExport().write(&model, headers, path) == XlsExport::Succeeded;
    } else if (kind == QLatin1String("pdf")) {
        ok = PdfReport::write(&model, headers, path);
    } else if (kind == QLatin1String("csv")) {
        ok = CsvExport::write(&model, headers, path, reason);
    } else {
        DMMChart chart;
        chart.resize(640, 400);
        for (int i = 0; kind == QLatin1String("jpg") && i < 50; ++i) {
            auto* point = new ChartPoint;
            point->time = TableModel::generatedTime(i);
            point->value = i % 7;
            point->valueText = QString::number(i % 7);
            chart.appendPoint(point);
        }
        const ExportResult result = PictureExport::write(chart.picture(), path);
        ok = result.ok;
        if (reason)
            *reason = result.reason;
    }
    qDeleteAll(headers);
    return ok;
}

} // namespace

class BadExportTest : public QObject
{
    Q_OBJECT

private slots:
    void failureIsReported_data();
    void failureIsReported();
};

void BadExportTest::failureIsReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("reason"); // the writers that give one
    for (const char* kind : { "xls", "pdf", "jpg", "empty-jpg", "csv" }) {
        const QString k = QString::fromLatin1(kind);
        const bool says = k.endsWith(QLatin1String("jpg")) || k == QLatin1String("csv");
        const auto reason
            = [says](const char* text) { return says ? QString::fromLatin1(text) : QString(); };
        QTest::addRow("%s to a writable folder", kind) << k << "writable" << true << QString();
        QTest::addRow("%s to a folder that does not exist", kind)
            << k << "missing" << false << reason("No such file or directory");
        QTest::addRow("%s to a read-only folder", kind)
            << k << "read-only" << false << reason("Permission denied");
        QTest::addRow("%s to a full disk", kind)
            << k << "full" << false << reason("No space left on device");
        QTest::addRow("%s to a file that may not grow", kind)
            << k << "file-size-limit" << false << reason("File too large");
        QTest::addRow("%s over a folder", kind)
            << k << "folder" << false << reason("Is a directory");
    }
}

void BadExportTest::failureIsReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(bool, succeeds);
    QFETCH(QString, reason);
    if (target == QLatin1String("read-only"))
        RUN_UNPRIVILEGED_AS_ROOT();

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = QStringLiteral("export.") + kind.section(QLatin1Char('-'), -1);
    QString path = dir.filePath(name);
    if (target == QLatin1String("missing")) {
        path = dir.filePath(QStringLiteral("no/such/folder/") + name);
    } else if (target == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (target == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    } else if (target == QLatin1String("full")) {
        // The full disk is /dev/full; as root a node of our own stands in for it, so a faulty
        // exporter could never replace the system's.
        if (PrivDrop::isRoot()) {
            path = dir.filePath(QStringLiteral("full"));
            QVERIFY(
                ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0);
        } else {
            path = QStringLiteral("/dev/full");
        }
    }

    QString why;
    bool ok = false;
    if (target == QLatin1String("file-size-limit")) {
        FileSizeLimit limit;
        ok = exportTo(kind, path, &why);
    } else {
        ok = exportTo(kind, path, &why);
    }
    if (target == QLatin1String("read-only"))
        QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(ok, succeeds);
    QCOMPARE(why, reason);

    const QFileInfo info(path);
    if (succeeds) {
        QVERIFY(info.isFile());
        QVERIFY(info.size() > 0);
    } else if (target == QLatin1String("full")) {
        // Still the device, not a file put in its place.
        QVERIFY(info.exists() && !info.isFile() && !info.isDir());
    } else if (target == QLatin1String("folder")) {
        QVERIFY(info.isDir());
    } else {
        QVERIFY(!info.exists());
    }
    // No temporary or partial file is left beside it.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    QVERIFY2(left.size() <= (succeeds || target == QLatin1String("full") ? 1 : 0),
        qPrintable(left.join(", ")));
}

QTEST_MAIN(BadExportTest)
#include "tst_badexport.moc"
