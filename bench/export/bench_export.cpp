// Time to write the PDF report of 10,000 readings and the .xls of a full sheet (65,535 readings).
#include "columnheader.h"
#include "pdfreport.h"
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

    qDeleteAll(headers);
    return status;
}
