// Time to write the PDF table of 10,000 readings, the .xls of a full sheet (65,535 readings), the
// measurement report of an item of 10,000 readings and the .xlsx workbook of 100,000 readings.
#include "columnheader.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "measurementreport.h"
#include "pdfreport.h"
#include "workbookexport.h"
#include "xlsexport.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Readings as the window's table delivers them: the number as an integer, the rest as text.
class Readings : public QAbstractTableModel
{
public:
    explicit Readings(int rows)
        : rows(rows)
    { }
    int rowCount(const QModelIndex& = QModelIndex()) const override { return rows; }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 6; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return QVariant();
        const int r = index.row();
        switch (index.column()) {
        case 0:
            return r + 1;
        case 1:
            return start.addSecs(r).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        case 2:
            return QStringLiteral("Vrms");
        case 3:
            return QString::number((r * 37 % 10000) / 100.0, 'f', 2);
        case 4:
            return QStringLiteral("mm");
        default:
            return QStringLiteral("10-1kHz");
        }
    }

private:
    int rows;
    const QDateTime start { QDate(2026, 12, 7), QTime(8, 0), Qt::UTC };
};

// A graded item of readings as the meter link makes them, a quarter second apart, with an
// over-range reading now and then.
std::unique_ptr<ItemData> item(int count)
{
    auto item = std::make_unique<ItemData>(QStringLiteral("Measure1"), ItemData::LiveMeasure);
    item->setUnitText(QStringLiteral("cm/s"));
    ItemProperties properties;
    properties.machineClass = SeverityZones::Part1ClassII;
    properties.alertLevel = 0.45;
    item->setProperties(properties);
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    for (int i = 0; i < count; ++i) {
        auto* d = new DmmData;
        d->setDateTime(start.addMSecs(250 * i));
        if (i % 997 == 500) {
            d->addText(QStringLiteral("    OL"));
            d->addValue(0.0);
            d->setState(DmmData::OverRange);
        } else {
            const double v = (i * 37 % 1000) / 1000.0;
            d->addText(QString::number(v, 'f', 2).rightJustified(5));
            d->addValue(v);
        }
        d->setUnit(2, QStringLiteral("cm/s"));
        d->setDetection(QStringLiteral("Vrms"));
        d->setBand(QStringLiteral("10-1kHz"));
        item->appendReading(d);
    }
    return item;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QList<ColumnHeader*> headers { new ColumnHeader { QStringLiteral("No."), 2 },
        new ColumnHeader { QStringLiteral("Date/Time"), 3 },
        new ColumnHeader { QStringLiteral("Function"), 3 },
        new ColumnHeader { QStringLiteral("Value"), 3 },
        new ColumnHeader { QStringLiteral("Unit"), 2 },
        new ColumnHeader { QStringLiteral("Frequency(Hz)"), 3 } };
    int status = 0;

    Readings pdfRows(10000);
    QElapsedTimer timer;
    timer.start();
    if (!PdfReport::write(&pdfRows, headers, dir.filePath(QStringLiteral("bench.pdf")))) {
        std::fprintf(stderr, "PDF report failed\n");
        status = 1;
    }
    std::printf("pdf_10000_rows_s: %.3f s\n", timer.nsecsElapsed() / 1e9);

    Readings xlsRows(XlsExport::maxRows);
    timer.restart();
    if (XlsExport().write(&xlsRows, headers, dir.filePath(QStringLiteral("bench.xls")))
        != XlsExport::Succeeded) {
        std::fprintf(stderr, "spreadsheet export failed\n");
        status = 1;
    }
    std::printf("xls_65535_rows_s: %.3f s\n", timer.nsecsElapsed() / 1e9);

    const auto reportItem = item(10000);
    timer.restart();
    const ExportResult report = MeasurementReport(reportItem.get(), headers)
                                    .write(dir.filePath(QStringLiteral("report.pdf")));
    if (!report.ok) {
        std::fprintf(stderr, "measurement report failed: %s\n", qPrintable(report.reason));
        status = 1;
    }
    std::printf("report_pdf_10000_rows_s: %.3f s\n", timer.nsecsElapsed() / 1e9);

    const auto workbookItem = item(100000);
    timer.restart();
    const ExportResult workbook = WorkbookExport().write(
        workbookItem.get(), headers, dir.filePath(QStringLiteral("bench.xlsx")));
    if (!workbook.ok) {
        std::fprintf(stderr, "workbook failed: %s\n", qPrintable(workbook.reason));
        status = 1;
    }
    std::printf("xlsx_100000_rows_s: %.3f s\n", timer.nsecsElapsed() / 1e9);

    qDeleteAll(headers);
    return status;
}
