// Paints the program's icon into a hicolor theme tree: appicon <folder> <name> <size>...
// writes <folder>/<size>x<size>/apps/<name>.png for every size. Drawn from vectors at each size,
// so the small icons stay sharp instead of being scaled down from a large one.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>

namespace {

void paintIcon(QPainter& p, int size)
{
    const qreal s = size;
    p.setRenderHint(QPainter::Antialiasing);

    // Body of the handheld meter: a rounded block with a soft vertical gradient.
    const QRectF body(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(0x2b, 0x6c, 0xb0));
    shade.setColorAt(1, QColor(0x1a, 0x3e, 0x6e));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(body, s * 0.16, s * 0.16);

    // The display window.
    const QRectF screen(s * 0.16, s * 0.17, s * 0.68, s * 0.46);
    p.setBrush(QColor(0xe8, 0xf4, 0xe4));
    p.drawRoundedRect(screen, s * 0.05, s * 0.05);

    // A decaying vibration trace across the display; fewer cycles where pixels are scarce.
    const int cycles = size < 24 ? 2 : 3;
    QPainterPath trace;
    const int steps = 96;
    for (int i = 0; i <= steps; ++i) {
        const qreal t = qreal(i) / steps;
        const qreal x = screen.left() + screen.width() * (0.06 + 0.88 * t);
        const qreal y = screen.center().y()
            - screen.height() * 0.36 * std::exp(-2.2 * t) * std::sin(2 * M_PI * cycles * t);
        if (i == 0)
            trace.moveTo(x, y);
        else
            trace.lineTo(x, y);
    }
    QPen tracePen(QColor(0xd0, 0x3a, 0x2f), qMax(1.0, s * 0.045));
    tracePen.setCapStyle(Qt::RoundCap);
    tracePen.setJoinStyle(Qt::RoundJoin);
    p.setPen(tracePen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);

    // Three keys under the display; too small to read below 24 pixels, so left out there.
    if (size >= 24) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xf2, 0xf2, 0xf2));
        const qreal key = s * 0.13;
        const qreal y = s * 0.72;
        for (int i = 0; i < 3; ++i) {
            const qreal x = s * 0.5 + (i - 1) * s * 0.22 - key / 2;
            p.drawEllipse(QRectF(x, y, key, key));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 4) {
        err << "usage: appicon <folder> <name> <size>...\n";
        return 2;
    }
    const QDir root(args.at(1));
    const QString name = args.at(2);
    for (int i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            err << "appicon: bad size " << args.at(i) << '\n';
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            paintIcon(painter, size);
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = root.filePath(folder + '/' + name + QStringLiteral(".png"));
        if (!root.mkpath(folder) || !image.save(file, "PNG")) {
            err << "appicon: cannot write " << file << '\n';
            return 1;
        }
    }
    return 0;
}
