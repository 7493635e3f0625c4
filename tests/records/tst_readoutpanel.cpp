#include "coalescingtimer.h"
#include "dmmdata.h"
#include "readoutpanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QtTest>

#include <memory>

namespace {
QColor pixmapColour(const QLabel* label)
{
    const QPixmap pixmap = label->pixmap(Qt::ReturnByValue);
    if (pixmap.isNull())
        return QColor();
    return pixmap.toImage().pixelColor(1, 1);
}

// The labels are the panel's own; like the window's tests, these reach them by object name.
QLabel* label(const ReadoutPanel& panel, const char* name)
{
    return panel.findChild<QLabel*>(QLatin1String(name));
}

// The test's stand-in icons: one plain colour per battery level.
const QList<QColor> levelColours { Qt::red, Qt::green, Qt::blue, Qt::yellow };
}

class ReadoutPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void buildsWidgetTree_data();
    void buildsWidgetTree();
    void frameAndLayoutProperties();
    void showsReading_data();
    void showsReading();
    void batteryWithoutIconShowsNoPicture();
    void startUpStateStaysHidden();
    void burstShowsLatestReading();
};

void ReadoutPanelTest::buildsWidgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("lcdBat") << "lcdBat" << 1 << 0 << QString();
    QTest::newRow("lcdFunction") << "lcdFunction" << 1 << 1 << QString();
    QTest::newRow("lcdBasis") << "lcdBasis" << 1 << 2 << QString();
    QTest::newRow("lcdValue") << "lcdValue" << 2 << 1 << "00000";
    QTest::newRow("lcdUnit") << "lcdUnit" << 2 << 2 << "um";
    QTest::newRow("widget_3") << "widget_3" << 3 << 1 << QString();
    QTest::newRow("lcdMax") << "lcdMax" << 5 << 0 << "MAX";
    QTest::newRow("lcd1") << "lcd1" << 5 << 1 << QString();
    QTest::newRow("lcdHold") << "lcdHold" << 6 << 0 << "HOLD";
    QTest::newRow("lcdFreq") << "lcdFreq" << 6 << 1 << QString();
}

void ReadoutPanelTest::buildsWidgetTree()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    ReadoutPanel panel;
    auto* grid = panel.findChild<QGridLayout*>("gridLayout_6");
    QVERIFY(grid);
    QWidget* widget = panel.findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), &panel);
    const int at = grid->indexOf(widget);
    QVERIFY(at >= 0);
    int r, c, rs, cs;
    grid->getItemPosition(at, &r, &c, &rs, &cs);
    QCOMPARE(r, row);
    QCOMPARE(c, column);
    QCOMPARE(rs, 1);
    QCOMPARE(cs, 1);
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    else
        QCOMPARE(QByteArray(widget->metaObject()->className()), QByteArray("QWidget"));
}

void ReadoutPanelTest::frameAndLayoutProperties()
{
    ReadoutPanel panel;
    auto* grid = panel.findChild<QGridLayout*>("gridLayout_6");
    QVERIFY(grid);
    // White, written in a form the style-sheet parser accepts: applying it prints no warning.
    QCOMPARE(panel.styleSheet(), QStringLiteral("background-color: rgba(255, 255, 255, 255)"));
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& m) {
              if (type == QtWarningMsg)
                  warnings << m;
          });
    const QImage picture = panel.grab().toImage();
    qInstallMessageHandler(previous);
    QCOMPARE(warnings, QStringList());
    QCOMPARE(picture.pixelColor(picture.width() / 2, 3), QColor(Qt::white));
    QCOMPARE(panel.frameShape(), QFrame::StyledPanel);
    QCOMPARE(panel.frameShadow(), QFrame::Plain);
    QCOMPARE(grid->horizontalSpacing(), 6);
    QCOMPARE(grid->verticalSpacing(), 12);
    QCOMPARE(grid->contentsMargins(), QMargins(10, 10, 10, 10));
    QCOMPARE(grid->count(), 10); // rows 0 and 4 stay empty

    QCOMPARE(label(panel, "lcdValue")->font().pointSize(), 16);
    QCOMPARE(label(panel, "lcdValue")->font().weight(), 75);
    QCOMPARE(label(panel, "lcdValue")->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    QCOMPARE(label(panel, "lcdValue")->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(label(panel, "lcdValue")->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    for (const char* name : { "lcdBat", "lcdFunction", "lcdBasis" }) {
        const QLabel* small = label(panel, name);
        QCOMPARE(small->minimumSize(), QSize(10, 0));
        QCOMPARE(small->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    }
    QCOMPARE(label(panel, "lcdUnit")->minimumSize(), QSize(10, 0));
    QCOMPARE(pixmapColour(label(panel, "lcdBat")), QColor(Qt::yellow)); // the full-battery icon
}

void ReadoutPanelTest::showsReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("battery");
    QTest::addColumn<bool>("status0");
    QTest::addColumn<QString>("band");
    QTest::addColumn<QString>("detection");
    QTest::addColumn<QString>("valueShown");
    // clang-format off
    QTest::newRow("level 0, flag on") << " 1.23" << "cm/s" << 0 << true << "10-1kHz" << "Vrms" << " 1.23";
    QTest::newRow("level 1, flag off") << "12.50" << "mm" << 1 << false << "10-500Hz" << "Dp-p" << "12.50";
    QTest::newRow("level 2") << "0.001" << "m/S2" << 2 << false << "10-10kHz" << "Ap" << "0.001";
    QTest::newRow("level 3, over range") << "    OL" << "mm" << 3 << true << "" << "" << "    OL";
    QTest::newRow("no value text") << QString() << "" << 3 << false << "" << "" << "0.0";
    // clang-format on
}

void ReadoutPanelTest::showsReading()
{
    QFETCH(QString, text);
    QFETCH(QString, unit);
    QFETCH(int, battery);
    QFETCH(bool, status0);
    QFETCH(QString, band);
    QFETCH(QString, detection);
    QFETCH(QString, valueShown);

    ReadoutPanel panel;
    panel.prepareForReadings();
    DmmData reading;
    if (!text.isNull()) {
        reading.addValue(0.0);
        reading.addText(text);
    }
    reading.setUnit(4, unit);
    reading.setBattery(battery);
    reading.setStatus0(status0);
    reading.setBand(band);
    reading.setDetection(detection);
    panel.showReading(&reading);

    QCOMPARE(label(panel, "lcdValue")->text(), valueShown);
    QCOMPARE(label(panel, "lcdUnit")->text(), unit);
    QCOMPARE(pixmapColour(label(panel, "lcdBat")), levelColours.at(battery));
    QCOMPARE(label(panel, "lcdFreq")->text(), band);
    QCOMPARE(label(panel, "lcdFunction")->text(), detection);
    QCOMPARE(
        label(panel, "lcdMax")->text(), status0 ? QStringLiteral("MAX") : QStringLiteral("   "));
    QCOMPARE(
        label(panel, "lcdHold")->text(), status0 ? QStringLiteral("HOLD") : QStringLiteral("    "));
    QVERIFY(label(panel, "lcdBasis")->text().isEmpty());
    QVERIFY(label(panel, "lcd1")->text().isEmpty());
    QVERIFY(label(panel, "lcdMax")->isHidden());
    QVERIFY(label(panel, "lcdHold")->isHidden());
}

void ReadoutPanelTest::batteryWithoutIconShowsNoPicture()
{
    ReadoutPanel panel;
    DmmData reading;
    reading.setBattery(7);
    panel.showReading(&reading);
    QVERIFY(!pixmapColour(label(panel, "lcdBat")).isValid());
    QCOMPARE(ReadoutPanel::batteryIconPath(2), QStringLiteral(":/image/bat2a.png"));
}

void ReadoutPanelTest::startUpStateStaysHidden()
{
    ReadoutPanel panel;
    panel.show();
    QVERIFY(label(panel, "lcdMax")->isVisible());
    panel.prepareForReadings();
    QVERIFY(label(panel, "lcdUnit")->text().isEmpty());
    QVERIFY(!label(panel, "lcdMax")->isVisible());
    QVERIFY(!label(panel, "lcdHold")->isVisible());
    QCOMPARE(label(panel, "lcdValue")->text(), QStringLiteral("00000"));
    panel.showReading(nullptr); // nothing to show: the panel keeps what it had
    QCOMPARE(label(panel, "lcdValue")->text(), QStringLiteral("00000"));
}

void ReadoutPanelTest::burstShowsLatestReading()
{
    auto reading = [](int i) {
        auto* r = new DmmData;
        r->addText(QString::number(10.0 + i / 100.0, 'f', 2));
        r->setUnit(2, QStringLiteral("cm/s"));
        r->setBattery(i % 4);
        return r;
    };
    ReadoutPanel panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    // Readings faster than the interval: the texts follow each one, the layout waits for the
    // timer.
    for (int i = 0; i < 20; ++i) {
        std::unique_ptr<DmmData> r(reading(i));
        panel.showReading(r.get());
    }
    QVERIFY(panel.layoutTimer()->isPending());
    QCOMPARE(label(panel, "lcdValue")->text(), QStringLiteral("10.19"));
    QCOMPARE(pixmapColour(label(panel, "lcdBat")), levelColours.at(19 % 4));

    // What is painted meanwhile, and after the timer, is the latest reading.
    ReadoutPanel latest;
    latest.show();
    QVERIFY(QTest::qWaitForWindowExposed(&latest));
    std::unique_ptr<DmmData> last(reading(19));
    latest.showReading(last.get());
    QCOMPARE(panel.grab().toImage(), latest.grab().toImage());
    panel.layoutTimer()->flush();
    QVERIFY(!panel.layoutTimer()->isPending());
    QCOMPARE(panel.grab().toImage(), latest.grab().toImage());
}

QTEST_MAIN(ReadoutPanelTest)
#include "tst_readoutpanel.moc"
