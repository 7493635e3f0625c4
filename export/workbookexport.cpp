#include "workbookexport.h"

#include "columnheader.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "itemsummary.h"
#include "targetfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QVector>

#include <xlsxwriter.h>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("WorkbookExport", text);
}

lxw_datetime cellTime(const QDateTime& time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return { d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0 };
}

lxw_datetime cellTime(qint64 msSinceEpoch)
{
    return cellTime(QDateTime::fromMSecsSinceEpoch(msSinceEpoch));
}

// Columns of a readings sheet.
enum Column { Number, Time, Function, Value, Unit, Band };

// The workbook being written, with the first error any call met: the rest of the calls are
// harmless after it, and the file is not kept.
class Book
{
public:
    Book(const QString& path, const QString& tempFolder)
        : folder(tempFolder.toLocal8Bit())
    {
        lxw_workbook_options options {};
        // Rows go to temporary files sheet by sheet instead of staying in memory.
        options.constant_memory = LXW_TRUE;
        options.tmpdir = folder.data();
        book = workbook_new_opt(path.toLocal8Bit().constData(), &options);
        if (!book)
            error = tr("The workbook could not be created.");
    }
    ~Book()
    {
        // A workbook given up half-way is freed without writing it.
        if (book)
            lxw_workbook_free(book);
    }

    bool failed() const { return !error.isEmpty(); }
    void check(lxw_error result)
    {
        if (result != LXW_NO_ERROR && error.isEmpty())
            error = QString::fromUtf8(lxw_strerror(result));
    }
    ExportResult close()
    {
        lxw_workbook* closing = book;
        book = nullptr;
        if (closing)
            check(workbook_close(closing));
        return failed() ? ExportResult::failure(error) : ExportResult::success();
    }

    lxw_workbook* book = nullptr;
    QString error;

private:
    QByteArray folder;
};

struct Formats
{
    explicit Formats(lxw_workbook* book)
    {
        header = workbook_add_format(book);
        format_set_bold(header);
        label = workbook_add_format(book);
        format_set_bold(label);
        format_set_align(label, LXW_ALIGN_VERTICAL_TOP);
        time = workbook_add_format(book);
        format_set_num_format(time, "yyyy-mm-dd hh:mm:ss.000");
        format_set_align(time, LXW_ALIGN_LEFT);
        duration = workbook_add_format(book);
        format_set_num_format(duration, "[h]:mm:ss.000");
        format_set_align(duration, LXW_ALIGN_LEFT);
        wrapped = workbook_add_format(book);
        format_set_text_wrap(wrapped);
        format_set_align(wrapped, LXW_ALIGN_VERTICAL_TOP);
        format_set_align(wrapped, LXW_ALIGN_LEFT);
        for (int d = 0; d <= 7; ++d) {
            lxw_format* f = workbook_add_format(book);
            const QByteArray pattern = d == 0 ? QByteArray("0") : "0." + QByteArray(d, '0');
            format_set_num_format(f, pattern.constData());
            format_set_align(f, LXW_ALIGN_LEFT);
            decimals << f;
        }
    }

    lxw_format* value(int places) const { return decimals.at(qBound(0, places, 7)); }

    lxw_format* header;
    lxw_format* label;
    lxw_format* time;
    lxw_format* duration;
    lxw_format* wrapped;
    QVector<lxw_format*> decimals;
};

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

void writeText(Book& book, lxw_worksheet* sheet, int row, int column, const QString& text,
    lxw_format* format = nullptr)
{
    if (!text.isEmpty())
        book.check(worksheet_write_string(sheet, row, column, utf8(text).constData(), format));
}

void writeLine(Book& book, const Formats& formats, lxw_worksheet* sheet, int row, int column,
    const SummaryLine& line, int decimals)
{
    switch (line.kind) {
    case SummaryLine::Empty:
        break;
    case SummaryLine::Text:
        writeText(book, sheet, row, column, line.text, formats.wrapped);
        break;
    case SummaryLine::Value:
        book.check(
            worksheet_write_number(sheet, row, column, line.number, formats.value(decimals)));
        break;
    case SummaryLine::Count:
        book.check(worksheet_write_number(sheet, row, column, line.number, formats.value(0)));
        break;
    case SummaryLine::Time: {
        lxw_datetime t = cellTime(line.ms);
        book.check(worksheet_write_datetime(sheet, row, column, &t, formats.time));
        break;
    }
    case SummaryLine::Duration:
        book.check(
            worksheet_write_number(sheet, row, column, line.ms / 86400000.0, formats.duration));
        break;
    }
}

// Labels in the first column, each item's figures in a column of its own.
void writeSummary(
    Book& book, const Formats& formats, lxw_worksheet* sheet, const QVector<ItemSummary>& summaries)
{
    worksheet_set_column(sheet, 0, 0, 24, formats.label);
    worksheet_set_column(sheet, 1, lxw_col_t(summaries.size()), 36, nullptr);
    QVector<QVector<SummaryLine>> columns;
    for (const ItemSummary& s : summaries) {
        QVector<SummaryLine> lines = s.propertyLines();
        lines << SummaryLine { tr("Statistics"), SummaryLine::Empty, QString(), 0.0, 0 };
        lines += s.statisticLines();
        columns << lines;
    }
    // Constant memory writes row by row: the label and every item's cell of a row together.
    const QVector<SummaryLine>& labels = columns.first();
    for (int row = 0; row < labels.size(); ++row) {
        writeText(book, sheet, row, 0, labels.at(row).label, formats.label);
        for (int item = 0; item < columns.size(); ++item)
            writeLine(book, formats, sheet, row, item + 1, columns.at(item).value(row),
                summaries.at(item).decimals);
    }
}

QString valueText(const DmmData* reading)
{
    return reading->text(0).trimmed();
}

} // namespace

WorkbookExport::WorkbookExport(int rowsPerSheet)
    : rowsPerSheet(qMax(1, qMin(rowsPerSheet, MaxRowsPerSheet)))
{ }

QString WorkbookExport::sheetName(const QString& wanted, QStringList& used)
{
    // Sheet names hold at most 31 characters, none of []:*?/\ and no apostrophe at either end.
    QString base = wanted;
    for (QChar& c : base) {
        if (QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    }
    while (base.startsWith(QLatin1Char('\'')))
        base.remove(0, 1);
    while (base.endsWith(QLatin1Char('\'')))
        base.chop(1);
    base = base.trimmed();
    if (base.isEmpty())
        base = tr("Sheet");
    const auto taken = [&used](const QString& name) {
        return used.contains(name, Qt::CaseInsensitive)
            || name.compare(QLatin1String("History"), Qt::CaseInsensitive) == 0;
    };
    QString name = base.left(31);
    for (int n = 2; taken(name); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        name = base.left(31 - suffix.size()) + suffix;
    }
    used << name;
    return name;
}

ExportResult WorkbookExport::write(
    const ItemData* item, const QList<ColumnHeader*>& headers, const QString& fileName) const
{
    return writeItems({ item }, headers, fileName, true);
}

ExportResult WorkbookExport::writeAll(const QList<const ItemData*>& items,
    const QList<ColumnHeader*>& headers, const QString& fileName) const
{
    return writeItems(items, headers, fileName, false);
}

ExportResult WorkbookExport::writeItems(const QList<const ItemData*>& items,
    const QList<ColumnHeader*>& headers, const QString& fileName, bool single) const
{
    if (items.isEmpty() || items.contains(nullptr))
        return ExportResult::failure(tr("There is no item to export."));

    // The workbook is built in a temporary folder and copied into place only when complete.
    QTemporaryDir temp;
    if (!temp.isValid())
        return ExportResult::failure(temp.errorString());
    const QString built = temp.filePath(QStringLiteral("workbook.xlsx"));
    {
        Book book(built, temp.path());
        if (book.failed())
            return ExportResult::failure(book.error);
        const Formats formats(book.book);

        QVector<ItemSummary> summaries;
        for (const ItemData* item : items)
            summaries << ItemSummary::of(item);

        QStringList used;
        lxw_worksheet* summary
            = workbook_add_worksheet(book.book, utf8(sheetName(tr("Summary"), used)).constData());
        writeSummary(book, formats, summary, summaries);

        QStringList titles;
        for (int c = 0; c <= Band; ++c) {
            const ColumnHeader* h = headers.value(c);
            titles << (h ? h->title : QString());
        }

        for (int i = 0; i < items.size(); ++i) {
            const ItemData* item = items.at(i);
            const ItemSummary& s = summaries.at(i);
            const QList<DmmData*> readings = item->readings();
            const bool graded = s.graded();
            const int zoneColumn = graded ? Band + 1 : -1;
            // Text in a value range is drawn as zero by spreadsheet charts; the chart reads a
            // hidden copy of the values with over-range and no-reading cells left empty (a gap).
            const int chartColumn = Band + (graded ? 2 : 1);
            const QString base = single ? tr("Readings") : s.name;
            const int sheets
                = qMax(1, int((qint64(readings.size()) + rowsPerSheet - 1) / rowsPerSheet));

            lxw_chart* chart = nullptr;
            if (!readings.isEmpty()) {
                chart = workbook_add_chart(book.book, LXW_CHART_SCATTER_STRAIGHT);
                chart_title_set_name(chart, utf8(s.name).constData());
                chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
                chart_show_hidden_data(chart);
                chart_show_blanks_as(chart, LXW_CHART_BLANKS_AS_GAP);
                lxw_chart_axis* x = chart->x_axis;
                chart_axis_set_name(x, utf8(tr("Date/Time")).constData());
                chart_axis_set_num_format(x, "hh:mm:ss");
                chart_axis_set_name(chart->y_axis, utf8(s.unit).constData());
            }

            for (int part = 0; part < sheets; ++part) {
                const QString name = sheetName(
                    part == 0 ? base : QStringLiteral("%1 (%2)").arg(base).arg(part + 1), used);
                const QByteArray sheetUtf8 = utf8(name);
                lxw_worksheet* sheet = workbook_add_worksheet(book.book, sheetUtf8.constData());
                if (!sheet) {
                    book.check(LXW_ERROR_SHEETNAME_ALREADY_USED);
                    break;
                }
                worksheet_set_column(sheet, Number, Number, 9, nullptr);
                worksheet_set_column(sheet, Time, Time, 28, nullptr);
                worksheet_set_column(sheet, Function, Function, 10, nullptr);
                worksheet_set_column(sheet, Value, Value, 10, nullptr);
                worksheet_set_column(sheet, Unit, Unit, 8, nullptr);
                worksheet_set_column(sheet, Band, Band, 17, nullptr);
                if (graded)
                    worksheet_set_column(sheet, zoneColumn, zoneColumn, 6, nullptr);
                lxw_row_col_options hidden {};
                hidden.hidden = LXW_TRUE;
                worksheet_set_column_opt(sheet, chartColumn, chartColumn, 10, nullptr, &hidden);
                worksheet_freeze_panes(sheet, 1, 0);

                for (int c = 0; c <= Band; ++c)
                    writeText(book, sheet, 0, c, titles.at(c), formats.header);
                if (graded)
                    writeText(book, sheet, 0, zoneColumn, tr("Zone"), formats.header);
                writeText(book, sheet, 0, chartColumn, tr("Value (chart)"), formats.header);

                const int first = part * rowsPerSheet;
                const int last = qMin(readings.size(), first + rowsPerSheet);
                for (int r = first; r < last; ++r) {
                    const DmmData* reading = readings.at(r);
                    const lxw_row_t row = lxw_row_t(r - first + 1);
                    const int number = reading->fromStore() ? reading->storeIndex() : r + 1;
                    book.check(worksheet_write_number(sheet, row, Number, number, nullptr));
                    lxw_datetime t = cellTime(reading->dateTime());
                    book.check(worksheet_write_datetime(sheet, row, Time, &t, formats.time));
                    writeText(book, sheet, row, Function, reading->detection());
                    if (reading->state() == DmmData::Numeric) {
                        const double v = reading->value(0);
                        lxw_format* f = formats.value(ItemSummary::decimalsOf(reading->text(0)));
                        book.check(worksheet_write_number(sheet, row, Value, v, f));
                        book.check(worksheet_write_number(sheet, row, chartColumn, v, nullptr));
                    } else {
                        writeText(book, sheet, row, Value, valueText(reading));
                    }
                    writeText(book, sheet, row, Unit, reading->unit().text);
                    writeText(book, sheet, row, Band, reading->band());
                    if (graded) {
                        const SeverityZones::Zone zone
                            = SeverityZones::grade(*reading, s.machineClass).zone;
                        writeText(book, sheet, row, zoneColumn, SeverityZones::zoneLetter(zone));
                    }
                }
                if (chart && last > first) {
                    lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
                    chart_series_set_categories(
                        series, sheetUtf8.constData(), 1, Time, lxw_row_t(last - first), Time);
                    chart_series_set_values(series, sheetUtf8.constData(), 1, chartColumn,
                        lxw_row_t(last - first), chartColumn);
                    lxw_chart_line line {};
                    line.color = 0x1F4E9A;
                    line.width = 1.0;
                    chart_series_set_line(series, &line);
                    chart_series_set_marker_type(series, LXW_CHART_MARKER_NONE);
                }
                if (book.failed())
                    break;
            }
            if (chart) {
                const QString chartName = sheetName(
                    single ? tr("Chart") : QStringLiteral("%1 %2").arg(s.name, tr("chart")), used);
                lxw_chartsheet* chartSheet
                    = workbook_add_chartsheet(book.book, utf8(chartName).constData());
                if (!chartSheet)
                    book.check(LXW_ERROR_SHEETNAME_ALREADY_USED);
                else
                    book.check(chartsheet_set_chart(chartSheet, chart));
            }
            if (book.failed())
                break;
        }
        worksheet_activate(summary);
        const ExportResult closed = book.close();
        if (!closed.ok)
            return closed;
    }

    QFile source(built);
    if (!source.open(QIODevice::ReadOnly))
        return ExportResult::failure(source.errorString());
    TargetFile target(fileName);
    if (!target.open())
        return ExportResult::failure(target.errorString());
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (target.device()->write(chunk) != chunk.size())
            return ExportResult::failure(target.errorString());
    }
    if (source.error() != QFileDevice::NoError)
        return ExportResult::failure(source.errorString());
    if (!target.commit())
        return ExportResult::failure(target.errorString());
    return ExportResult::success();
}
