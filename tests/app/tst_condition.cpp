// Condition monitoring in the window: item properties, the zone badge, alarm lines in the message
// list and the statistics of the shown item.

#include "widgettestsupport.h"

#include "chartzones.h"
#include "dmmchart.h"
#include "exporter.h"
#include "itemdata.h"
#include "modaldriver.h"
#include "readingdelegate.h"
#include "statisticspanel.h"
#include "zonebadge.h"
#include "zonecolors.h"

#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace WidgetProbe;

namespace {

ItemProperties classTwoWithLevels()
{
    ItemProperties p;
    p.machineClass = SeverityZones::Part1ClassII;
    p.alertLevel = 0.71; // cm/s, the readings' unit
    p.dangerLevel = 1.12;
    return p;
}

QStringList messageTexts(Widget& w)
{
    QStringList lines;
    auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text().mid(9); // without "hh:mm:ss "
    return lines;
}

// A zone's tint as it looks over the white chart.
QColor tintOverWhite(SeverityZones::Zone zone)
{
    const QColor t = ZoneColors::tint(zone);
    const double a = t.alpha() / 255.0;
    return QColor(qRound(255 * (1 - a) + t.red() * a), qRound(255 * (1 - a) + t.green() * a),
        qRound(255 * (1 - a) + t.blue() * a));
}

bool near(const QColor& a, const QColor& b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// The rows of column x of image whose colour is within tolerance of colour.
QList<int> rowsOf(
    const QImage& image, int x, const QRect& plot, const QColor& colour, int tolerance = 0)
{
    QList<int> rows;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        if (near(image.pixelColor(x, y), colour, tolerance))
            rows << y;
    }
    return rows;
}

} // namespace

class ConditionTest : public QObject
{
    Q_OBJECT

private slots:
    void propertiesDialogSetsTheItem();
    void badgeFollowsTheReadout_data();
    void badgeFollowsTheReadout();
    void alarmLinesOncePerCrossing();
    void statisticsOfTheShownItem();
    void chartShowsZonesAndLevels();
};

// Reached from the Item menu and the tree's context menu, after the designed entries; the item
// tool bar keeps its own actions.
void ConditionTest::propertiesDialogSetsTheItem()
{
    Widget w;
    w.show();
    auto* properties = action(w, "actionItemProperties");
    QVERIFY(properties);
    QVERIFY(!w.findChild<QToolBar*>(QStringLiteral("itemToolBar"))->actions().contains(properties));

    ModalDriver driver;
    driver.expect([](QWidget* dialog) {
        auto* classes = dialog->findChild<QComboBox*>(QStringLiteral("cbbMachineClass"));
        classes->setCurrentIndex(classes->findData(SeverityZones::Part3Group2Rigid));
        dialog->findChild<QLineEdit*>(QStringLiteral("leAlert"))->setText(QStringLiteral("0.28"));
        dialog->findChild<QLineEdit*>(QStringLiteral("leDanger"))->setText(QStringLiteral("0,45"));
        dialog->findChild<QPlainTextEdit*>(QStringLiteral("teNote"))
            ->setPlainText(QStringLiteral("pump P-101, drive end, horizontal"));
        static_cast<QDialog*>(dialog)->accept();
    });
    properties->trigger();
    QVERIFY(driver.waitAllAnswered());
    const ItemProperties p = itemData(liveRow(w, 0))->properties();
    QCOMPARE(p.machineClass, SeverityZones::Part3Group2Rigid);
    QCOMPARE(p.alertLevel, std::optional<double>(0.28));
    QCOMPARE(p.dangerLevel, std::optional<double>(0.45));
    QCOMPARE(p.note, QStringLiteral("pump P-101, drive end, horizontal"));
}

void ConditionTest::badgeFollowsTheReadout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("detection");
    QTest::addColumn<int>("zone");
    QTest::addColumn<int>("alarm");
    // Class II: A/B 1.12, B/C 2.8, C/D 7.1 mm/s; alert 0.71 and danger 1.12 cm/s.
    QTest::newRow("zone A") << "0.10"
                            << "Vrms" << int(SeverityZones::A) << int(ZoneBadge::NoAlarm);
    QTest::newRow("zone C") << "0.50"
                            << "Vrms" << int(SeverityZones::C) << int(ZoneBadge::NoAlarm);
    QTest::newRow("zone D, above alert")
        << "0.80"
        << "Vrms" << int(SeverityZones::D) << int(ZoneBadge::AboveAlert);
    QTest::newRow("above danger") << "1.50"
                                  << "Vrms" << int(SeverityZones::D) << int(ZoneBadge::AboveDanger);
    QTest::newRow("peak detection is not graded")
        << "0.10"
        << "Ap" << int(SeverityZones::NotGraded) << int(ZoneBadge::NoAlarm);
}

void ConditionTest::badgeFollowsTheReadout()
{
    QFETCH(QString, text);
    QFETCH(QString, detection);
    QFETCH(int, zone);
    QFETCH(int, alarm);
    Widget w;
    itemData(liveRow(w, 0))->setProperties(classTwoWithLevels());
    action(w, "actionStart")->trigger();
    deliverLive(w, reading(text, 2, QStringLiteral("cm/s"), detection));
    auto* badge = w.findChild<ZoneBadge*>(QStringLiteral("zoneBadge"));
    QCOMPARE(int(badge->zone()), zone);
    QCOMPARE(int(badge->alarm()), alarm);
    if (alarm == ZoneBadge::NoAlarm)
        QCOMPARE(badge->fill(), ZoneColors::zone(SeverityZones::Zone(zone)));
    QVERIFY(!badge->toolTip().isEmpty());
    // The table tells the same zone in its tool tip.
    auto* view = w.findChild<QTableView*>(QStringLiteral("tv"));
    const QString tip
        = static_cast<ReadingDelegate*>(view->itemDelegate())->toolTip(view->model()->index(0, 3));
    QVERIFY2(zone == SeverityZones::NotGraded
            ? tip.startsWith(QLatin1String("not graded"))
            : tip.startsWith(
                QStringLiteral("Zone ") + SeverityZones::zoneLetter(SeverityZones::Zone(zone))),
        qPrintable(tip));
}

// One line when a level is crossed upwards, one when the readings fall back 5 % below it.
void ConditionTest::alarmLinesOncePerCrossing()
{
    Widget w;
    itemData(liveRow(w, 0))->setProperties(classTwoWithLevels());
    action(w, "actionStart")->trigger();
    for (const char* text : { "0.50", "0.72", "0.70", "0.73", "0.60", "1.20", "0.30" })
        deliverLive(w, reading(QLatin1String(text), 2, QStringLiteral("cm/s")));
    QCOMPARE(messageTexts(w),
        QStringList({ "Measure1: 0.72 cm/s above the alert level 0.71 cm/s",
            "Measure1: 0.60 cm/s back below the alert level 0.71 cm/s",
            "Measure1: 1.20 cm/s above the alert level 0.71 cm/s",
            "Measure1: 1.20 cm/s above the danger level 1.12 cm/s",
            "Measure1: 0.30 cm/s back below the danger level 1.12 cm/s",
            "Measure1: 0.30 cm/s back below the alert level 0.71 cm/s" }));
}

void ConditionTest::statisticsOfTheShownItem()
{
    Widget w;
    w.show();
    itemData(liveRow(w, 0))->setProperties(classTwoWithLevels());
    w.findChild<QDockWidget*>(QStringLiteral("statisticsDock"))->show();
    action(w, "actionStart")->trigger();
    for (const char* text : { "0.10", "0.30", "    OL", "0.50" }) {
        DmmData* r = reading(QLatin1String(text), 2, QStringLiteral("cm/s"));
        if (QLatin1String(text).contains(QLatin1String("OL")))
            r->setState(DmmData::OverRange);
        deliverLive(w, r);
    }
    auto* panel = w.findChild<StatisticsPanel*>();
    QMetaObject::invokeMethod(&w, "refreshStatistics", Qt::DirectConnection);
    const QStringList names = panel->column(0);
    const QStringList values = panel->column(1);
    const auto figure = [&](const char* name) { return values.value(names.indexOf(name)); };
    QCOMPARE(figure("Readings"), QStringLiteral("3"));
    QCOMPARE(figure("Minimum"), QStringLiteral("0.10 cm/s"));
    QCOMPARE(figure("Maximum"), QStringLiteral("0.50 cm/s"));
    QCOMPARE(figure("Mean"), QStringLiteral("0.30 cm/s"));
    QCOMPARE(figure("Over range"), QStringLiteral("1"));
    QCOMPARE(figure("Zone A"), QStringLiteral("1")); // 1.0 mm/s; 3.0 and 5.0 are zone C
    QCOMPARE(figure("Zone C"), QStringLiteral("2"));
}

// The chart draws the shown item's zone bands and level lines, follows its properties and the
// item shown, and the exported picture holds them.
void ConditionTest::chartShowsZonesAndLevels()
{
    Widget w;
    w.resize(1000, 700);
    w.show();
    ItemData* item = itemData(liveRow(w, 0));
    item->setProperties(classTwoWithLevels());
    action(w, "actionStart")->trigger();
    auto* chart = w.findChild<DMMChart*>(QStringLiteral("chart"));
    QVERIFY(chart);
    // Without a reading nothing tells whether the readings are graded; the levels are known.
    QVERIFY(!chart->zones().limits);
    QCOMPARE(chart->zones().alertLevel, std::optional<double>(0.71));
    for (const char* text : { "0.10", "0.30", "0.90", "1.20" })
        deliverLive(w, reading(QLatin1String(text), 2, QStringLiteral("cm/s")));
    QVERIFY(chart->zones().limits);
    QCOMPARE(chart->zones().limits->cd, 0.71); // class II's 7.1 mm/s, in cm/s

    // Right of the line's end: zone D at the plot's top, A from zero up, B and C between, the
    // two level lines across; below zero (the axis shows negative values too) no zone.
    const QImage picture = chart->picture();
    const QRect plot = chart->plotRect();
    const int x = plot.left() + plot.width() * 4 / 5;
    for (int z = SeverityZones::A; z <= SeverityZones::D; ++z)
        QVERIFY2(rowsOf(picture, x, plot, tintOverWhite(SeverityZones::Zone(z)), 2).size() > 5,
            qPrintable(SeverityZones::zoneLetter(SeverityZones::Zone(z))));
    QVERIFY(near(picture.pixelColor(x, plot.top()), tintOverWhite(SeverityZones::D), 2));
    QVERIFY(!near(picture.pixelColor(x, plot.bottom()), tintOverWhite(SeverityZones::A), 2));
    const QList<int> alertRows = rowsOf(picture, x, plot, ZoneColors::alert());
    const QList<int> dangerRows = rowsOf(picture, x, plot, ZoneColors::danger());
    QCOMPARE(alertRows.size(), 1);
    QCOMPARE(dangerRows.size(), 1);
    QVERIFY(dangerRows.first() < alertRows.first());

    // The picture export writes what the chart shows: the bands' colours (within the JPEG's
    // loss) in the middle of each band, and the level lines as dark rows.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("chart.jpg"));
    w.findChild<Exporter*>()->setFileNameAsker(
        [file](QWidget*, const QString&, const QString&, const QString&) { return file; });
    ModalDriver driver;
    driver.acceptDialog();
    w.findChild<Exporter*>()->exportChart();
    QVERIFY(driver.waitAllAnswered());
    const QImage saved(file);
    QCOMPARE(saved.size(), picture.size());
    for (int z = SeverityZones::A; z <= SeverityZones::D; ++z) {
        const QList<int> rows = rowsOf(picture, x, plot, tintOverWhite(SeverityZones::Zone(z)), 2);
        const int middle = rows.at(rows.size() / 2);
        QVERIFY2(near(saved.pixelColor(x, middle), picture.pixelColor(x, middle), 8),
            qPrintable(SeverityZones::zoneLetter(SeverityZones::Zone(z))));
    }
    for (int y : { alertRows.first(), dangerRows.first() })
        QVERIFY(saved.pixelColor(x, y).lightness() + 20 < saved.pixelColor(x, y + 4).lightness());

    // Another item shown: its own (none); back again: the bands return.
    QMetaObject::invokeMethod(
        &w, "itemSetToActive", Qt::DirectConnection, Q_ARG(QModelIndex, storeRow(w)));
    QVERIFY(chart->zones().isEmpty());
    QMetaObject::invokeMethod(
        &w, "itemSetToActive", Qt::DirectConnection, Q_ARG(QModelIndex, liveRow(w, 0)));
    QVERIFY(chart->zones().limits);

    // The properties cleared: a plain chart again.
    item->setProperties(ItemProperties());
    QVERIFY(chart->zones().isEmpty());
    const QImage plain = chart->picture();
    QVERIFY(rowsOf(plain, x, plot, Qt::white).size() > plot.height() * 9 / 10);
}

QTEST_MAIN(ConditionTest)
#include "tst_condition.moc"
