// Paints the program's icon set into PNG files and writes the resource file that lists them.
// Every icon is drawn on a 32-unit canvas with strokes of at least two units, so that the
// 16 px tool bar rendering stays legible.
//
// usage: iconpainter <output folder> [size]

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <QtMath>

#include <functional>
#include <map>

namespace {

const QColor ink(0x2b, 0x3a, 0x4a);
const QColor blue(0x2f, 0x7f, 0xd1);
const QColor green(0x2e, 0x9e, 0x4f);
const QColor red(0xd6, 0x45, 0x3d);
const QColor orange(0xe0, 0x8a, 0x1e);
const QColor grey(0x8a, 0x96, 0xa3);
const QColor paper(0xfa, 0xfb, 0xfc);
const QColor yellow(0xf2, 0xc2, 0x30);

QPen stroke(const QColor& c, qreal w = 2.0)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, qreal width = 3.0)
{
    p.setPen(stroke(c, width));
    p.drawLine(from, to);
    const qreal angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    const qreal head = 6.0;
    QPolygonF tip;
    tip << to + QPointF(std::cos(angle) * 2, std::sin(angle) * 2)
        << to - QPointF(std::cos(angle - 0.6) * head, std::sin(angle - 0.6) * head)
        << to - QPointF(std::cos(angle + 0.6) * head, std::sin(angle + 0.6) * head);
    p.setPen(stroke(c, 1.0));
    p.setBrush(c);
    p.drawPolygon(tip);
    p.setBrush(Qt::NoBrush);
}

void document(QPainter& p, const QRectF& r)
{
    QPainterPath page;
    const qreal fold = 7;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(stroke(ink));
    p.setBrush(paper);
    p.drawPath(page);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(r.right() - fold, r.top())
                               << QPointF(r.right() - fold, r.top() + fold)
                               << QPointF(r.right(), r.top() + fold));
}

void plugHalf(QPainter& p, qreal x, bool left, const QColor& c)
{
    // A plug body with its cable; prongs point to the middle of the icon.
    p.setPen(stroke(ink));
    p.setBrush(c);
    const QRectF body = left ? QRectF(x, 10, 8, 12) : QRectF(x - 8, 10, 8, 12);
    p.drawRoundedRect(body, 2, 2);
    p.setBrush(Qt::NoBrush);
    const qreal cableFrom = left ? body.left() : body.right();
    const qreal cableTo = left ? 1 : 31;
    p.drawLine(QPointF(cableFrom, 16), QPointF(cableTo, 16));
    if (left) {
        p.drawLine(QPointF(body.right(), 13), QPointF(body.right() + 4, 13));
        p.drawLine(QPointF(body.right(), 19), QPointF(body.right() + 4, 19));
    }
}

void gear(QPainter& p)
{
    QPainterPath teeth;
    const QPointF c(16, 16);
    const int n = 8;
    for (int i = 0; i < n * 2; ++i) {
        const qreal a0 = (i - 0.5) * M_PI / n;
        const qreal a1 = (i + 0.5) * M_PI / n;
        const qreal r = (i % 2 == 0) ? 14.0 : 10.5;
        const QPointF p0 = c + QPointF(std::cos(a0) * r, std::sin(a0) * r);
        const QPointF p1 = c + QPointF(std::cos(a1) * r, std::sin(a1) * r);
        if (i == 0)
            teeth.moveTo(p0);
        else
            teeth.lineTo(p0);
        teeth.lineTo(p1);
    }
    teeth.closeSubpath();
    teeth.addEllipse(c, 4.5, 4.5);
    teeth.setFillRule(Qt::OddEvenFill);
    p.setPen(stroke(ink, 1.5));
    p.setBrush(grey);
    p.drawPath(teeth);
}

void battery(QPainter& p, int level)
{
    // Drawn on a 32 x 16 canvas: body, terminal, and one bar per level.
    p.setPen(stroke(ink));
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(1.5, 2.5, 26, 11), 2, 2);
    p.setBrush(ink);
    p.drawRect(QRectF(28, 6, 2.5, 4));
    const QColor fill = level == 0 ? red : (level == 1 ? orange : green);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    if (level == 0) {
        p.drawRect(QRectF(4, 5, 2.5, 6));
        return;
    }
    for (int i = 0; i < level; ++i)
        p.drawRect(QRectF(4 + i * 7.7, 5, 6.3, 6));
}

using Painter = std::function<void(QPainter&)>;

std::map<QString, Painter> squareIcons()
{
    std::map<QString, Painter> icons;
    icons["connect"] = [](QPainter& p) {
        plugHalf(p, 7, true, green);
        plugHalf(p, 25, false, green);
    };
    icons["disconnect"] = [](QPainter& p) {
        plugHalf(p, 2, true, grey);
        plugHalf(p, 30, false, grey);
        p.setPen(stroke(red, 3));
        p.drawLine(QPointF(18, 6), QPointF(14, 26));
    };
    icons["options"] = [](QPainter& p) { gear(p); };
    icons["exit"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.setBrush(QColor(0xc9, 0xa2, 0x72));
        p.drawRect(QRectF(4, 3, 13, 26));
        p.setBrush(ink);
        p.drawEllipse(QPointF(14, 17), 1.2, 1.2);
        arrow(p, QPointF(14, 16), QPointF(29, 16), red);
    };
    icons["play"] = [](QPainter& p) {
        p.setPen(stroke(green.darker(130), 2));
        p.setBrush(green);
        p.drawPolygon(QPolygonF() << QPointF(8, 4) << QPointF(27, 16) << QPointF(8, 28));
    };
    icons["stop"] = [](QPainter& p) {
        p.setPen(stroke(red.darker(130), 2));
        p.setBrush(red);
        p.drawRoundedRect(QRectF(6, 6, 20, 20), 3, 3);
    };
    icons["help"] = [](QPainter& p) {
        p.setPen(stroke(blue.darker(130), 2));
        p.setBrush(blue);
        p.drawEllipse(QPointF(16, 16), 14, 14);
        QPainterPath q;
        q.moveTo(11, 12.5);
        q.cubicTo(11, 6.5, 21, 6.5, 21, 12);
        q.cubicTo(21, 16, 16, 16, 16, 20);
        p.setPen(stroke(Qt::white, 3.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(q);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 25), 2.2, 2.2);
    };
    icons["delete"] = [](QPainter& p) {
        p.setPen(stroke(red, 5));
        p.drawLine(QPointF(7, 7), QPointF(25, 25));
        p.drawLine(QPointF(25, 7), QPointF(7, 25));
    };
    icons["new"] = [](QPainter& p) {
        document(p, QRectF(5, 2, 19, 26));
        p.setPen(stroke(Qt::white, 7));
        p.drawLine(QPointF(23, 17), QPointF(23, 29));
        p.drawLine(QPointF(17, 23), QPointF(29, 23));
        p.setPen(stroke(green, 4));
        p.drawLine(QPointF(23, 17), QPointF(23, 29));
        p.drawLine(QPointF(17, 23), QPointF(29, 23));
    };
    icons["rename"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.drawLine(QPointF(3, 28), QPointF(29, 28));
        QPolygonF pencil;
        pencil << QPointF(6, 25) << QPointF(8, 19) << QPointF(23, 4) << QPointF(27, 8)
               << QPointF(12, 23);
        p.setBrush(yellow);
        p.drawPolygon(pencil);
        p.drawLine(QPointF(8, 19), QPointF(12, 23));
        p.setBrush(red);
        p.drawPolygon(
            QPolygonF() << QPointF(20, 7) << QPointF(23, 4) << QPointF(27, 8) << QPointF(24, 11));
    };
    icons["active"] = [](QPainter& p) {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            const qreal r = (i % 2 == 0) ? 14.0 : 6.0;
            star << QPointF(16 + std::cos(a) * r, 17 + std::sin(a) * r);
        }
        p.setPen(stroke(orange.darker(130), 1.5));
        p.setBrush(orange);
        p.drawPolygon(star);
    };
    icons["pcdownload"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.setBrush(QColor(0xd8, 0xe6, 0xf5));
        p.drawRoundedRect(QRectF(2, 8, 28, 17), 2, 2);
        p.drawLine(QPointF(16, 25), QPointF(16, 29));
        p.drawLine(QPointF(10, 29), QPointF(22, 29));
        arrow(p, QPointF(16, 1), QPointF(16, 19), blue, 3.5);
    };
    icons["export"] = [](QPainter& p) {
        document(p, QRectF(3, 2, 18, 27));
        arrow(p, QPointF(12, 17), QPointF(28, 17), green, 3.5);
    };
    icons["import"] = [](QPainter& p) {
        document(p, QRectF(11, 2, 18, 27));
        arrow(p, QPointF(2, 17), QPointF(19, 17), blue, 3.5);
    };
    icons["sync"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.setBrush(paper);
        p.drawEllipse(QPointF(16, 16), 9.5, 9.5);
        p.drawLine(QPointF(16, 16), QPointF(16, 10));
        p.drawLine(QPointF(16, 16), QPointF(20, 18));
        p.setBrush(Qt::NoBrush);
        p.setPen(stroke(blue, 2.5));
        const QRectF ring(2.5, 2.5, 27, 27);
        p.drawArc(ring, 100 * 16, 150 * 16);
        p.drawArc(ring, 280 * 16, 150 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawPolygon(QPolygonF() << QPointF(17, 0) << QPointF(17, 6.5) << QPointF(11.5, 3));
        p.drawPolygon(QPolygonF() << QPointF(15, 32) << QPointF(15, 25.5) << QPointF(20.5, 29));
    };
    icons["rom"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        for (int i = 0; i < 4; ++i) {
            const qreal y = 9 + i * 5;
            p.drawLine(QPointF(3, y), QPointF(8, y));
            p.drawLine(QPointF(24, y), QPointF(29, y));
        }
        p.setBrush(QColor(0x3d, 0x4b, 0x5c));
        p.drawRoundedRect(QRectF(8, 5, 16, 22), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(yellow);
        p.drawEllipse(QPointF(12, 9), 1.6, 1.6);
    };
    icons["live"] = [](QPainter& p) {
        p.setPen(stroke(green.darker(120), 2));
        p.setBrush(QColor(0xe3, 0xf4, 0xe7));
        p.drawRoundedRect(QRectF(2, 4, 28, 24), 4, 4);
        QPainterPath wave;
        wave.moveTo(4, 17);
        wave.lineTo(10, 17);
        wave.lineTo(13, 8);
        wave.lineTo(17, 25);
        wave.lineTo(20, 13);
        wave.lineTo(22, 17);
        wave.lineTo(28, 17);
        p.setPen(stroke(green, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    };
    icons["measure"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.setBrush(paper);
        p.drawRoundedRect(QRectF(3, 5, 26, 23), 3, 3);
        p.setPen(stroke(blue, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(7, 10, 18, 18), 20 * 16, 140 * 16);
        p.setPen(stroke(red, 2.5));
        p.drawLine(QPointF(16, 21), QPointF(22, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QPointF(16, 21), 2, 2);
    };
    icons["table"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.setBrush(paper);
        p.drawRect(QRectF(3, 5, 26, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawRect(QRectF(4, 6, 24, 5));
        p.setPen(stroke(ink, 1.5));
        p.drawLine(QPointF(3, 16.5), QPointF(29, 16.5));
        p.drawLine(QPointF(3, 22), QPointF(29, 22));
        p.drawLine(QPointF(12, 5), QPointF(12, 27));
        p.drawLine(QPointF(20.5, 5), QPointF(20.5, 27));
    };
    icons["item"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.drawLine(QPointF(3, 28), QPointF(29, 28));
        p.setPen(stroke(orange.darker(130), 1.5));
        p.setBrush(orange);
        const qreal heights[] = { 8, 17, 22, 12 };
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(5 + i * 6, 27 - heights[i], 4.5, heights[i]));
    };
    icons["chart"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.drawPolyline(QPolygonF() << QPointF(4, 3) << QPointF(4, 28) << QPointF(29, 28));
        p.setPen(stroke(blue, 3));
        p.drawPolyline(
            QPolygonF() << QPointF(7, 22) << QPointF(13, 14) << QPointF(18, 18) << QPointF(27, 6));
    };
    icons["messages"] = [](QPainter& p) {
        p.setPen(stroke(ink));
        p.setBrush(paper);
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(3, 4, 26, 19), 4, 4);
        bubble.moveTo(9, 22);
        bubble.lineTo(8, 29);
        bubble.lineTo(15, 22);
        p.drawPath(bubble.simplified());
        p.setPen(stroke(blue, 2.5));
        p.drawLine(QPointF(8, 10), QPointF(24, 10));
        p.drawLine(QPointF(8, 16), QPointF(19, 16));
    };
    return icons;
}

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        QTextStream(stderr) << "iconpainter: cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // Painting needs no window system; the offscreen platform keeps this usable on build hosts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: iconpainter <output folder> [size]\n";
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.path()))
        return 1;
    const int size = args.size() > 2 ? args.at(2).toInt() : 32;
    if (size < 8)
        return 2;

    QStringList files;
    for (const auto& [name, paint] : squareIcons()) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        paint(p);
        p.end();
        if (!save(image, out.filePath(name + ".png")))
            return 1;
        files << name + ".png";
    }
    for (int level = 0; level <= 3; ++level) {
        QImage image(size, size / 2, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        battery(p, level);
        p.end();
        const QString name = QStringLiteral("bat%1a.png").arg(level);
        if (!save(image, out.filePath(name)))
            return 1;
        files << name;
    }

    QFile qrc(out.filePath("icons.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return 1;
    QTextStream qs(&qrc);
    qs << "<RCC>\n    <qresource prefix=\"/image\">\n";
    for (const QString& f : files)
        qs << "        <file>" << f << "</file>\n";
    qs << "    </qresource>\n</RCC>\n";
    return qs.status() == QTextStream::Ok ? 0 : 1;
}
