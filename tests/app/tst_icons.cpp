#include <QFile>
#include <QImage>
#include <QTest>

class IconsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(icons); }
    void iconIsDrawn_data();
    void iconIsDrawn();
    void iconsDiffer();

private:
    static QStringList names();
};

QStringList IconsTest::names()
{
    return { "active", "bat0a", "bat1a", "bat2a", "bat3a", "chart", "connect", "delete",
        "disconnect", "exit", "export", "help", "import", "item", "live", "measure", "new",
        "options", "pcdownload", "play", "rename", "rom", "stop", "sync", "table", "messages" };
}

void IconsTest::iconIsDrawn_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const QString& name : names()) {
        const QSize size = name.startsWith("bat") ? QSize(32, 16) : QSize(32, 32);
        QTest::newRow(qPrintable(name)) << QStringLiteral(":/image/%1.png").arg(name) << size;
    }
}

void IconsTest::iconIsDrawn()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());

    // Something is drawn, and not just a filled square: a share of the pixels is covered and
    // the corners stay clear for most shapes.
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 128)
                ++covered;
        }
    }
    const int all = image.width() * image.height();
    QVERIFY2(covered > all / 10, qPrintable(QString::number(covered)));
    QVERIFY2(covered < all * 9 / 10, qPrintable(QString::number(covered)));

    // Still legible at 16 pixels: the downscaled picture keeps visible strokes.
    const QImage small = image.scaled(size / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int smallCovered = 0;
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            if (qAlpha(small.pixel(x, y)) > 160)
                ++smallCovered;
        }
    }
    QVERIFY2(smallCovered >= 12, qPrintable(QString::number(smallCovered)));
}

void IconsTest::iconsDiffer()
{
    QList<QImage> images;
    for (const QString& name : names())
        images << QImage(QStringLiteral(":/image/%1.png").arg(name))
                      .convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; i < images.size(); ++i) {
        for (int j = i + 1; j < images.size(); ++j)
            QVERIFY2(images.at(i) != images.at(j),
                qPrintable(names().at(i) + " equals " + names().at(j)));
    }
}

QTEST_MAIN(IconsTest)
#include "tst_icons.moc"
