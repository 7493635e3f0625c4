#include "measurementreport.h"

#include "columnheader.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "printchart.h"
#include "targetfile.h"
#include "zonecolors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QHash>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MeasurementReport", text);
}

// Layout in points.
constexpr qreal Margin = 42;
constexpr qreal HeaderHeight = 22; // the running head above the content
constexpr qreal FooterHeight = 18;
constexpr qreal RowHeight = 13;
constexpr qreal CellPadding = 5;

QFont font(int pixelSize, bool bold = false)
{
    // Pixel sizes in points keep text the same size on the 72 dpi writer and on pictures, and
    // linear metrics keep measured widths true on every device.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

enum Column { Number, Time, Function, Value, Unit, Band, Zone };

} // namespace

QSizeF MeasurementReport::pageSize()
{
    return QPageSize(QPageSize::A4).size(QPageSize::Point);
}

MeasurementReport::MeasurementReport(const ItemData* item, const QList<ColumnHeader*>& headers)
    : item(item)
    , readings(item ? item->readings() : QList<DmmData*>())
    , summary(ItemSummary::of(item))
    , printed(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")))
{
    for (int c = Number; c <= Band; ++c) {
        const ColumnHeader* h = headers.value(c);
        titles << (h ? h->title : QString());
    }
    // Stored readings carry the time they reached the computer, not the time they were taken.
    if (summary.fromStore)
        titles[Time] = tr("%1 (download)").arg(titles[Time]);
    if (summary.graded())
        titles << tr("Zone");

    // Each column as wide as its widest text; texts repeat a lot, so each is measured once.
    const QFontMetricsF cells(font(8));
    const QFontMetricsF bold(font(8, true));
    widths.fill(0, titles.size());
    for (int c = 0; c < titles.size(); ++c)
        widths[c] = bold.horizontalAdvance(titles.at(c));
    QHash<QString, qreal> measured;
    for (int r = 0; r < readings.size(); ++r) {
        const QStringList texts = rowTexts(r);
        for (int c = 0; c < texts.size(); ++c) {
            // Times differ in every row but all have the same form; one of them stands for all.
            if (c == Time && r > 0)
                continue;
            auto it = measured.constFind(texts.at(c));
            if (it == measured.constEnd())
                it = measured.insert(texts.at(c), cells.horizontalAdvance(texts.at(c)));
            widths[c] = std::max(widths[c], it.value());
        }
    }
    const qreal available = pageSize().width() - 2 * Margin;
    qreal total = 0;
    for (qreal& w : widths) {
        w += 2 * CellPadding;
        total += w;
    }
    // The table spans the page: the room left over is shared out in proportion.
    if (total < available) {
        for (qreal& w : widths)
            w *= available / total;
    }
    const qreal tableHeight
        = pageSize().height() - 2 * Margin - HeaderHeight - FooterHeight - RowHeight;
    rowsPerTablePage = std::max(1, int(tableHeight / RowHeight));
    tablePages = (readings.size() + rowsPerTablePage - 1) / rowsPerTablePage;
}

QStringList MeasurementReport::rowTexts(int row) const
{
    const DmmData* r = readings.at(row);
    QStringList texts { QString::number(r->fromStore() ? r->storeIndex() : row + 1),
        r->dateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")), r->detection(),
        r->text(0).trimmed(), r->unit().text, r->band() };
    if (summary.graded())
        texts << SeverityZones::zoneLetter(SeverityZones::grade(*r, summary.machineClass).zone);
    return texts;
}

ExportResult MeasurementReport::write(const QString& fileName) const
{
    if (!item)
        return ExportResult::failure(tr("There is no item to report on."));
    TargetFile target(fileName);
    if (!target.open())
        return ExportResult::failure(target.errorString());
    {
        QPdfWriter writer(target.device());
        writer.setTitle(tr("Measurement report: %1").arg(summary.name));
        writer.setCreator(QStringLiteral("vibview"));
        // At 72 dpi a device pixel is a point, the unit of the layout.
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (!painter.begin(&writer))
            return ExportResult::failure(tr("The PDF document could not be started."));
        for (int page = 0; page < pageCount(); ++page) {
            if (page > 0 && !writer.newPage())
                return ExportResult::failure(target.errorString());
            paintPage(painter, page);
        }
        if (!painter.end())
            return ExportResult::failure(target.errorString());
    }
    if (!target.commit())
        return ExportResult::failure(target.errorString());
    return ExportResult::success();
}

QImage MeasurementReport::pagePicture(int page, qreal scale) const
{
    const QSizeF size = pageSize() * scale;
    QImage image(size.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    paintPage(painter, page);
    return image;
}

void MeasurementReport::paintPage(QPainter& painter, int page) const
{
    const QSizeF size = pageSize();
    const qreal right = size.width() - Margin;
    painter.setFont(font(8));
    painter.setPen(Qt::darkGray);
    const QRectF head(Margin, Margin - 14, right - Margin, 12);
    painter.drawText(
        head, Qt::AlignLeft | Qt::AlignVCenter, tr("Measurement report: %1").arg(summary.name));
    painter.drawText(head, Qt::AlignRight | Qt::AlignVCenter, tr("printed %1").arg(printed));
    painter.drawLine(QPointF(Margin, Margin), QPointF(right, Margin));
    painter.drawText(QRectF(Margin, size.height() - Margin, right - Margin, FooterHeight),
        Qt::AlignRight | Qt::AlignBottom, tr("page %1 of %2").arg(page + 1).arg(pageCount()));
    painter.setPen(Qt::black);
    if (page == 0)
        paintFirstPage(painter);
    else
        paintTablePage(painter, page - 1);
}

qreal MeasurementReport::paintFirstPage(QPainter& painter) const
{
    const QSizeF size = pageSize();
    const qreal left = Margin;
    const qreal width = size.width() - 2 * Margin;
    qreal y = Margin + 10;

    painter.setFont(font(18, true));
    painter.drawText(QRectF(left, y, width, 24), Qt::AlignLeft | Qt::AlignVCenter, summary.name);
    y += 28;
    if (!summary.note.isEmpty()) {
        painter.setFont(font(10));
        const QRectF box(left, y, width, 40);
        const QRectF used = painter.boundingRect(box, Qt::TextWordWrap, summary.note);
        painter.drawText(box, Qt::TextWordWrap, summary.note);
        y += std::min(used.height(), box.height()) + 6;
    }

    const auto section = [&](const QString& title) {
        y += 6;
        painter.setFont(font(11, true));
        painter.drawText(QRectF(left, y, width, 16), Qt::AlignLeft | Qt::AlignVCenter, title);
        y += 18;
    };
    // Label and value pairs; a long value wraps within its column.
    const auto pairs = [&](const QVector<SummaryLine>& lines, int columns) {
        const qreal columnWidth = width / columns;
        const qreal labelWidth = columns == 1 ? 130 : 110;
        const QFont labelFont = font(9, true);
        const QFont valueFont = font(9);
        qreal rowTop = y;
        qreal rowHeight = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const int column = i % columns;
            if (column == 0 && i > 0) {
                rowTop += rowHeight;
                rowHeight = 0;
            }
            const qreal x = left + column * columnWidth;
            painter.setFont(labelFont);
            painter.drawText(
                QRectF(x, rowTop, labelWidth, 12), Qt::AlignLeft | Qt::AlignTop, lines.at(i).label);
            painter.setFont(valueFont);
            const QRectF box(x + labelWidth, rowTop, columnWidth - labelWidth - 8, 48);
            const QRectF used = painter.boundingRect(
                box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines.at(i).text);
            painter.drawText(
                box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines.at(i).text);
            rowHeight = std::max(rowHeight, std::max<qreal>(12, used.height()) + 2);
        }
        y = rowTop + rowHeight;
    };

    QVector<SummaryLine> settings;
    for (const SummaryLine& line : summary.propertyLines()) {
        if (line.label == tr("Item") || line.label == tr("Note") || line.kind == SummaryLine::Empty)
            continue;
        settings << line;
    }
    const StatisticsFigures& f = summary.figures;
    if (f.readings > 0) {
        settings << SummaryLine { tr("Time range"), SummaryLine::Text,
            tr("%1 to %2 (%3)")
                .arg(ItemSummary::timeText(f.firstMs), ItemSummary::timeText(f.lastMs),
                    ItemSummary::durationText(f.durationMs())),
            0.0, 0 };
    }
    section(tr("Item and meter settings"));
    pairs(settings, 1);

    section(tr("Zone assessment"));
    if (!summary.graded()) {
        painter.setFont(font(9));
        painter.drawText(QRectF(left, y, width, 12), Qt::AlignLeft | Qt::AlignTop,
            tr("Not graded: the item has no machine class."));
        y += 14;
    } else {
        const auto zoneText = [](SeverityZones::Zone z) {
            return z == SeverityZones::NotGraded
                ? tr("none (no graded reading)")
                : QStringLiteral("%1: %2").arg(
                    SeverityZones::zoneLetter(z), SeverityZones::zoneMeaning(z));
        };
        pairs({ { tr("Worst zone"), SummaryLine::Text, zoneText(summary.worstZone), 0.0, 0 },
                  { tr("Last zone"), SummaryLine::Text, zoneText(summary.lastZone), 0.0, 0 } },
            2);
        // Readings per zone, each with its colour.
        qreal x = left;
        painter.setFont(font(9, true));
        painter.drawText(
            QRectF(x, y, 100, 12), Qt::AlignLeft | Qt::AlignVCenter, tr("Readings per zone"));
        x += 100;
        painter.setFont(font(9));
        for (int z = SeverityZones::A; z <= SeverityZones::D; ++z) {
            const SeverityZones::Zone zone = SeverityZones::Zone(z);
            painter.fillRect(QRectF(x, y + 2, 8, 8), ZoneColors::zone(zone));
            const QString text
                = tr("Zone %1: %2").arg(SeverityZones::zoneLetter(zone)).arg(f.perZone[size_t(z)]);
            painter.drawText(QRectF(x + 11, y, 90, 12), Qt::AlignLeft | Qt::AlignVCenter, text);
            x += 100;
        }
        y += 16;
    }

    QVector<SummaryLine> figures;
    for (const SummaryLine& line : summary.statisticLines()) {
        if (line.kind == SummaryLine::Empty || line.kind == SummaryLine::Time
            || line.kind == SummaryLine::Duration || line.label == tr("Worst zone")
            || line.label == tr("Last zone") || line.label.startsWith(tr("Zone ")))
            continue;
        figures << line;
    }
    section(tr("Statistics"));
    pairs(figures, 2);

    section(tr("Trend"));
    const qreal bottom = size.height() - Margin - 4;
    const QRectF chartArea(left, y, width, std::max<qreal>(120, bottom - y));
    PrintChart(readings, summary).paint(painter, chartArea);
    return chartArea.bottom();
}

void MeasurementReport::paintTablePage(QPainter& painter, int tablePage) const
{
    const qreal left = Margin;
    const qreal top = Margin + HeaderHeight - 10;
    qreal tableWidth = 0;
    for (qreal w : widths)
        tableWidth += w;
    const int first = tablePage * rowsPerTablePage;
    const int last = std::min(readings.size(), first + rowsPerTablePage);

    painter.fillRect(QRectF(left, top, tableWidth, RowHeight), QColor(230, 230, 230));
    painter.setFont(font(8, true));
    qreal x = left;
    for (int c = 0; c < titles.size(); ++c) {
        painter.drawText(QRectF(x, top, widths.at(c), RowHeight), Qt::AlignCenter, titles.at(c));
        x += widths.at(c);
    }

    const QFont cellFont = font(8);
    painter.setFont(cellFont);
    const QFontMetricsF metrics(cellFont);
    const qreal baseline = (RowHeight + metrics.ascent() - metrics.descent()) / 2;
    for (int r = first; r < last; ++r) {
        const qreal rowTop = top + RowHeight * (r - first + 1);
        if (summary.graded()) {
            const SeverityZones::Zone zone
                = SeverityZones::grade(*readings.at(r), summary.machineClass).zone;
            if (zone != SeverityZones::NotGraded)
                painter.fillRect(
                    QRectF(left, rowTop, tableWidth, RowHeight), ZoneColors::tint(zone));
        }
        const QStringList texts = rowTexts(r);
        x = left;
        for (int c = 0; c < texts.size(); ++c) {
            // Centred as in the window's table.
            const qreal advance = metrics.horizontalAdvance(texts.at(c));
            painter.drawText(
                QPointF(x + (widths.at(c) - advance) / 2, rowTop + baseline), texts.at(c));
            x += widths.at(c);
        }
    }

    // The grid: as long as the rows of this page.
    const qreal bottom = top + RowHeight * (last - first + 1);
    painter.setPen(QPen(QColor(150, 150, 150), 0.4));
    QVector<QLineF> lines;
    for (int r = 0; r <= last - first + 1; ++r)
        lines << QLineF(left, top + r * RowHeight, left + tableWidth, top + r * RowHeight);
    x = left;
    for (qreal w : widths) {
        lines << QLineF(x, top, x, bottom);
        x += w;
    }
    lines << QLineF(x, top, x, bottom);
    painter.drawLines(lines);
    painter.setPen(Qt::black);
}
