#pragma once

#include "exportresult.h"
#include "itemsummary.h"

#include <QImage>
#include <QList>
#include <QStringList>
#include <QVector>

class DmmData;
class ItemData;
class QPainter;
struct ColumnHeader;

// The measurement report of one item on A4 pages, all vector: a first page with the item, its
// meter settings and time range, the zone assessment, the statistics and the trend chart; then
// the reading table with columns as wide as their content, the header repeated on every page and
// rows tinted by zone. Every page says "page i of n". Shows no dialogs.
class MeasurementReport
{
public:
    MeasurementReport(const ItemData* item, const QList<ColumnHeader*>& headers);

    // Replaces the file as a whole or not at all.
    ExportResult write(const QString& fileName) const;

    int pageCount() const { return 1 + tablePages; }
    int rowsPerPage() const { return rowsPerTablePage; }
    // The table's column titles and widths in points, as printed.
    QStringList columnTitles() const { return titles; }
    QVector<qreal> columnWidths() const { return widths; }
    // Page (from 0) as a picture, scale pixels per point; the manual shows these.
    QImage pagePicture(int page, qreal scale) const;

    // A4 in points, the unit everything is laid out in.
    static QSizeF pageSize();

private:
    void paintPage(QPainter& painter, int page) const;
    qreal paintFirstPage(QPainter& painter) const;
    void paintTablePage(QPainter& painter, int tablePage) const;
    QStringList rowTexts(int row) const;

    const ItemData* item;
    QList<DmmData*> readings;
    ItemSummary summary;
    QString printed; // when the report was made
    QStringList titles;
    QVector<qreal> widths;
    int rowsPerTablePage = 1;
    int tablePages = 0;
};
