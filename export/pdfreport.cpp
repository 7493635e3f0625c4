#include "pdfreport.h"

#include "columnheader.h"
#include "targetfile.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFontMetrics>
#include <QLine>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QVector>

#include <algorithm>

QString PdfReport::cellText(const QVariant& value)
{
    switch (int(value.type())) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QChar:
        return QString::number(value.toInt());
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    default:
        return value.toString();
    }
}

bool PdfReport::write(
    const QAbstractItemModel* model, const QList<ColumnHeader*>& headers, const QString& fileName)
{
    // A report that fails half-way neither appears nor replaces an earlier one, and one that a
    // full disk cut short is no success.
    TargetFile target(fileName);
    if (!target.open())
        return false;
    QPdfWriter writer(target.device());
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;

    const int L = 2 * painter.fontMetrics().height();
    const int W = writer.width();
    const int H = writer.height();
    const int rows = model ? model->rowCount() : 0;
    const int columns = model ? model->columnCount() : 0;
    const int m = W / 20;
    const int R = W - m;
    const int U = W - 2 * m;
    // At least one row per page, whatever font the platform gives the painter.
    const int n = std::max(1, (H - 5 * L) / L);
    const int P = rows / n + (rows % n ? 1 : 0);
    const int T = P + 1;

    QVector<int> widths(columns, 0);
    QStringList titles;
    int S = 0;
    for (int c = 0; c < columns; ++c) {
        const ColumnHeader* header = headers.value(c);
        S += header ? header->span : 0;
        titles << (header ? header->title : QString());
    }
    for (int c = 0; c < columns && S > 0; ++c) {
        const ColumnHeader* header = headers.value(c);
        widths[c] = int((header ? header->span : 0) * (double(U) / S));
    }

    QFont font = painter.font();
    font.setPointSize(12);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();

    auto drawPageNumber = [&](int page) {
        const QString text = QStringLiteral("%1/%2").arg(page).arg(T);
        const int tw = metrics.horizontalAdvance(text);
        painter.drawText(QRect(R - tw, (n + 4) * L, tw, L), Qt::AlignRight | Qt::AlignBottom, text);
    };

    bool ok = true;
    drawPageNumber(1);
    // With no rows the document is this one page; a blank second page would contradict "1/1".
    if (P > 0)
        ok = writer.newPage() && ok;

    QPen pen = painter.pen();
    pen.setWidth(2);
    painter.setPen(pen);

    for (int p = 0; p < P; ++p) {
        const QString date
            = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        const int tw = metrics.horizontalAdvance(date);
        painter.drawText(QRect(R - tw, 0, tw, 3 * L), Qt::AlignBottom, date);
        drawPageNumber(p + 2);

        painter.drawLine(m, 3 * L, R, 3 * L);
        painter.drawLine(m, 4 * L, R, 4 * L);

        const int k = std::min(n, rows - p * n);
        QVector<QLine> verticals;
        int x = m;
        for (int c = 0; c < columns; ++c) {
            verticals << QLine(x, 3 * L, x, (k + 4) * L);
            painter.drawText(QRect(x, 3 * L, widths.at(c), L), Qt::AlignCenter, titles.at(c));
            x += widths.at(c);
        }
        verticals << QLine(R, 3 * L, R, (k + 4) * L);
        painter.drawLines(verticals);

        QVector<QLine> rowLines;
        for (int j = 0; j < n; ++j) {
            const int r = p * n + j;
            if (r >= rows)
                break;
            x = m;
            for (int c = 0; c < columns; ++c) {
                const QString text = cellText(model->data(model->index(r, c), Qt::DisplayRole));
                painter.drawText(QRect(x, 4 * L + j * L, widths.at(c), L),
                    Qt::AlignHCenter | Qt::AlignBottom, text);
                rowLines << QLine(x, 5 * L + j * L, R, 5 * L + j * L);
                x += widths.at(c);
            }
        }
        painter.drawLines(rowLines);

        if (p < P - 1)
            ok = writer.newPage() && ok;
    }

    ok = painter.end() && ok;
    return ok && target.commit();
}
