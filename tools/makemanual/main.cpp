// makemanual <manual.md> <output.pdf> [<picture folder>]
// Builds the user manual: the Markdown source rendered by Qt's text document into an A4 PDF, with
// screenshots of the real window and dialogs taken offscreen. Images in the source are named
// after the screenshots (window.png, chart.png, ...); the optional folder receives them as PNGs
// for review.
#include "columnheader.h"
#include "csvexport.h"
#include "datamodel.h"
#include "dlgexport.h"
#include "dlgsynctime.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "journal.h"
#include "measurementreport.h"
#include "optiondialog.h"
#include "widget.h"
#include "workbookexport.h"
#include "xlsexport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>
#include <QTreeView>
#include <QUrl>
#include <QtMath>

#include <cmath>
#include <memory>

namespace {

// Fixed times, so that the manual is the same from build to build.
const QDateTime firstReading(QDate(2026, 3, 14), QTime(9, 30, 0));

DmmData* velocityReading(const QDateTime& time, double value)
{
    auto* d = new DmmData;
    d->setDateTime(time);
    d->addText(QString::number(value, 'f', 2).rightJustified(5));
    d->addValue(value);
    d->setUnit(2, QStringLiteral("cm/s"));
    d->setDetection(QStringLiteral("Vrms"));
    d->setBand(QStringLiteral("10-1kHz"));
    d->setBattery(3);
    return d;
}

DmmData* reading(int i)
{
    // A machine settling after a start: 1 to 4.5 mm/s RMS, zones A to C of a class II machine.
    return velocityReading(firstReading.addSecs(i),
        std::round((0.25 + 0.18 * qSin(i / 6.0) * qExp(-i / 60.0) + 0.005 * (i % 3)) * 100.0)
            / 100.0);
}

// A fan motor's bearing in the velocity range of a class II machine, in cm/s: mostly zone B and
// C, rising into the alert level now and then.
DmmData* fanReading(int i)
{
    const double value
        = std::round(
              (0.40 + 0.18 * qSin(i / 4.0) + 0.06 * qSin(i * 1.3) + 0.04 * qSin(i / 23.0)) * 100.0)
        / 100.0;
    return velocityReading(firstReading.addSecs(600 + i), value);
}

// Lets layouts settle and paint before a picture is taken.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QImage picture(QWidget& widget)
{
    settle();
    return widget.grab().toImage();
}

QMap<QString, QImage> takeScreenshots(const QString& pictureFolder)
{
    QMap<QString, QImage> shots;
    // A journal of its own: nothing of an earlier build is offered in the pictures, and nothing
    // is left in the builder's data folder.
    QTemporaryDir journalFolder;
    Journal::setFolderOverride(journalFolder.path());

    Widget w;
    w.resize(1000, 600);
    w.show();
    // A recording of 40 readings into Measure1, delivered the way the meter link delivers them.
    QMetaObject::invokeMethod(&w, "on_actionStart_triggered", Qt::DirectConnection);
    for (int i = 0; i < 40; ++i) {
        const DmmData* d = reading(i);
        QMetaObject::invokeMethod(
            &w, "slotDmmDisplay", Qt::DirectConnection, Q_ARG(const DmmData*, d));
    }
    QMetaObject::invokeMethod(&w, "on_actionStop_triggered", Qt::DirectConnection);
    shots.insert(QStringLiteral("window.png"), picture(w));

    auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    if (tabs)
        tabs->setCurrentIndex(tabs->count() - 1);
    shots.insert(QStringLiteral("chart.png"), picture(w));

    OptionDialog options(true, &w);
    options.sbSampleRate->setValue(1000);
    options.sbSamplePoints->setValue(1000);
    options.infinite->setChecked(true);
    options.sbSamplePoints->setEnabled(false);
    options.show();
    shots.insert(QStringLiteral("options.png"), picture(options));
    options.hide();

    dlgExport exportDialog(&w);
    exportDialog.show();
    shots.insert(QStringLiteral("export.png"), picture(exportDialog));
    exportDialog.hide();

    // The results of the exports, from the recording above: the chart picture as saved, the
    // first lines of the CSV file and the pages of the measurement report, drawn as printed.
    auto* table = qobject_cast<DataModel*>(w.findChild<QTableView*>()->model());
    ItemData* item = table ? table->shownItem() : nullptr;
    if (item) {
        ItemProperties properties = item->properties();
        properties.machineClass = SeverityZones::Part1ClassII;
        properties.alertLevel = 0.35;
        properties.dangerLevel = 0.40;
        properties.note = QStringLiteral("Fan motor, drive end, horizontal");
        item->setProperties(properties);
        QList<ColumnHeader*> headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers << new ColumnHeader { table->headerData(c, Qt::Horizontal).toString(), 2 };
        if (auto* chart = w.findChild<DMMChart*>())
            shots.insert(QStringLiteral("export-jpg.png"), chart->picture());

        const QStringList lines = QString::fromUtf8(CsvExport::toCsv(table, headers))
                                      .split(QStringLiteral("\r\n"))
                                      .mid(0, 8);
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(13);
        const QFontMetrics metrics(mono);
        QImage csv(metrics.horizontalAdvance(lines.value(1)) + 40,
            lines.size() * metrics.lineSpacing() + 20, QImage::Format_RGB32);
        csv.fill(QColor(0xf8, 0xf8, 0xf8));
        {
            QPainter painter(&csv);
            painter.setFont(mono);
            for (int i = 0; i < lines.size(); ++i)
                painter.drawText(
                    QPointF(12, 10 + metrics.ascent() + i * metrics.lineSpacing()), lines.at(i));
        }
        shots.insert(QStringLiteral("export-csv.png"), csv);

        const MeasurementReport report(item, headers);
        shots.insert(QStringLiteral("report-page1.png"), report.pagePicture(0, 1.4));
        shots.insert(QStringLiteral("report-page2.png"), report.pagePicture(1, 1.4));

        // Files for review beside the pictures (the spreadsheet pictures in docs/ are made
        // from them with gnumeric, which the build does not need).
        if (!pictureFolder.isEmpty()) {
            WorkbookExport().write(item, headers, QDir(pictureFolder).filePath("sample.xlsx"));
            XlsExport().write(table, headers, QDir(pictureFolder).filePath("sample.xls"));
        }
        qDeleteAll(headers);
    }

    // A graded item: the zone bands and level lines in the chart, the badge beside the readout
    // and the statistics panel.
    QMetaObject::invokeMethod(&w, "newItem", Qt::DirectConnection,
        Q_ARG(QString, QStringLiteral("Fan DE")), Q_ARG(ItemData::DataType, ItemData::LiveMeasure));
    if (ItemData* fan = table ? table->shownItem() : nullptr) {
        ItemProperties properties;
        properties.machineClass = SeverityZones::Part1ClassII;
        properties.alertLevel = 0.55;
        properties.dangerLevel = 0.65;
        properties.note = QStringLiteral("Fan motor, drive end, horizontal");
        fan->setProperties(properties);
    }
    if (auto* dock = w.findChild<QDockWidget*>(QStringLiteral("statisticsDock")))
        dock->show();
    w.resize(1320, 660);
    QMetaObject::invokeMethod(&w, "on_actionStart_triggered", Qt::DirectConnection);
    for (int i = 0; i < 90; ++i) {
        const DmmData* d = fanReading(i);
        QMetaObject::invokeMethod(
            &w, "slotDmmDisplay", Qt::DirectConnection, Q_ARG(const DmmData*, d));
    }
    QMetaObject::invokeMethod(&w, "on_actionStop_triggered", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "refreshStatistics", Qt::DirectConnection);
    QMetaObject::invokeMethod(&w, "updateStatus", Qt::DirectConnection);
    shots.insert(QStringLiteral("zones.png"), picture(w));

    dlgSyncTime clock(QDateTime(QDate(2026, 3, 14), QTime(9, 45, 0)), &w);
    clock.show();
    shots.insert(QStringLiteral("synctime.png"), picture(clock));
    clock.hide();

    return shots;
}

// Screenshots are wider than a page: each is drawn at the text width, at full resolution.
void fitImages(QTextDocument& doc, qreal textWidth, const QMap<QString, QImage>& shots)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QImage image = shots.value(format.name());
            if (image.isNull())
                continue;
            const qreal width = qMin(textWidth, qreal(image.width()));
            format.setWidth(width);
            format.setHeight(width * image.height() / image.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

// Commands and paths in code blocks are set in a fixed-pitch font on a light panel, so that they
// stand apart from the text around them.
void styleCodeBlocks(QTextDocument& doc)
{
    QTextCharFormat code;
    code.setFontFamily(QStringLiteral("DejaVu Sans Mono"));
    code.setFontFixedPitch(true);
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!block.blockFormat().hasProperty(QTextFormat::BlockCodeFence))
            continue;
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        format.setBackground(QColor(0xf0, 0xf0, 0xf0));
        cursor.setBlockFormat(format);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(code);
    }
}

} // namespace

// The offscreen platform warns about window features it lacks; only real failures are of interest.
static void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        QTextStream(stderr) << message << '\n';
}

int main(int argc, char* argv[])
{
    qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() < 3 || args.size() > 4) {
        err << "usage: makemanual <manual.md> <output.pdf> [<picture folder>]\n";
        return 2;
    }

    QFile source(args.at(1));
    if (!source.open(QIODevice::ReadOnly)) {
        err << "makemanual: cannot read " << args.at(1) << '\n';
        return 1;
    }
    const QString markdown = QString::fromUtf8(source.readAll());

    if (args.size() == 4)
        QDir().mkpath(args.at(3));
    QMap<QString, QImage> shots = takeScreenshots(args.size() == 4 ? args.at(3) : QString());
    if (args.size() == 4) {
        const QDir folder(args.at(3));
        folder.mkpath(QStringLiteral("."));
        for (auto it = shots.cbegin(); it != shots.cend(); ++it)
            it.value().save(folder.filePath(it.key()));
    }

    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setMarkdown(markdown);
    styleCodeBlocks(doc);
    // After the text: setting it clears the document's resources.
    for (auto it = shots.cbegin(); it != shots.cend(); ++it)
        doc.addResource(QTextDocument::ImageResource, QUrl(it.key()), it.value());

    // Pictures that cannot be taken at build time (a spreadsheet program showing an export) are
    // kept beside the source.
    const QDir sourceFolder = QFileInfo(args.at(1)).absoluteDir();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QString name = format.isImageFormat() ? format.toImageFormat().name() : QString();
            if (!name.isEmpty() && !shots.contains(name)) {
                const QImage kept(sourceFolder.filePath(name));
                if (!kept.isNull()) {
                    shots.insert(name, kept);
                    doc.addResource(QTextDocument::ImageResource, QUrl(name), kept);
                }
            }
        }
    }
    // A picture named in the source but never taken would leave a hole in the manual.
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat() && !shots.contains(format.toImageFormat().name())) {
                err << "makemanual: no picture " << format.toImageFormat().name() << '\n';
                return 1;
            }
        }
    }

    // Write to a temporary name first, so a failed run never leaves a half-written manual.
    const QString target = args.at(2);
    const QString partial = target + QStringLiteral(".part");
    {
        QPdfWriter writer(partial);
        writer.setTitle(QStringLiteral("vibview Software User Manual"));
        writer.setCreator(QStringLiteral("vibview"));
        // print() puts a 2 cm margin around the text on its own.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
            QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        const qreal marginInches = 2 * 2 / 2.54;
        // The document lays out in 96-dpi units across the page's text width.
        const qreal textWidth
            = (writer.pageLayout().paintRect(QPageLayout::Inch).width() - marginInches) * 96;
        fitImages(doc, textWidth - 8, shots);
        doc.print(&writer);
    }
    QFile::remove(target);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        err << "makemanual: cannot write " << target << '\n';
        return 1;
    }
    return 0;
}
