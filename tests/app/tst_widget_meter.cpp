// The main window against the meter simulator on a pseudo-terminal, through the link's port
// override: connecting, live sampling, downloads with their progress dialog, the clock command.

#include "widgettestsupport.h"

#include "dlgdownload.h"
#include "dlgsynctime.h"
#include "metersim.h"
#include "modaldriver.h"
#include "mydmm.h"
#include "optiondialog.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace WidgetProbe;

namespace {

void setOptions(Widget& w, int points, bool infinite, int rate, bool skip)
{
    ModalDriver driver;
    driver.expect([=](QWidget* dialogWidget) {
        auto* dialog = qobject_cast<OptionDialog*>(dialogWidget);
        dialog->infinite->setChecked(infinite);
        dialog->sbSamplePoints->setValue(points);
        dialog->sbSampleRate->setValue(rate);
        dialog->chkSkipRepeat->setChecked(skip);
        dialog->btnOk->click();
    });
    action(w, "actionOption")->trigger();
}

} // namespace

class WidgetMeterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectStartStopDisconnect();
    void liveReadingsFromTheMeter_data();
    void liveReadingsFromTheMeter();
    void failedOpenSaysWhy_data();
    void failedOpenSaysWhy();
    void downloadFillsStoreData_data();
    void downloadFillsStoreData();
    void downloadDialogClosesWhenMeterIsSilent();
    void syncTimeReachesTheMeter();
    void unplugClosesTheLink();

private:
    QString startSim(MeterSim& sim, const QStringList& args)
    {
        const QString port = sim.start(args);
        if (!port.isEmpty())
            MyDmm::setPortOverride(port);
        return port;
    }
};

void WidgetMeterTest::init()
{
    if (MeterSim::program().isEmpty())
        QSKIP("the meter simulator is not built on this platform");
    QFile::remove(QCoreApplication::applicationDirPath() + "/options.xml");
}

void WidgetMeterTest::cleanup()
{
    MyDmm::setPortOverride(QString());
    QFile::remove(QCoreApplication::applicationDirPath() + "/options.xml");
}

void WidgetMeterTest::connectStartStopDisconnect()
{
    MeterSim sim;
    QVERIFY2(
        !startSim(sim, { "--period", "20", "--quiet" }).isEmpty(), qPrintable(sim.errorText()));
    Widget w;
    w.show();
    QCOMPARE(states(w), QStringLiteral("10000"));
    action(w, "actionConnect")->trigger();
    QCOMPARE(states(w), QStringLiteral("01101"));
    QVERIFY(!sim.waitForLine("client: connected").isEmpty());

    // Readings arrive all the time, but are kept only while sampling runs.
    QTest::qWait(200);
    QCOMPARE(table(w)->rowCount(), 0);
    action(w, "actionStart")->trigger();
    QCOMPARE(states(w), QStringLiteral("01011"));
    QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() >= 2, 5000);
    QCOMPARE(w.findChild<QLabel*>("lcdValue")->text(), QStringLiteral("12.34"));
    QCOMPARE(w.findChild<QLabel*>("lcdUnit")->text(), QStringLiteral("cm/s"));

    action(w, "actionStop")->trigger();
    QCOMPARE(states(w), QStringLiteral("01101"));
    const int kept = table(w)->rowCount();
    QTest::qWait(1200);
    QCOMPARE(table(w)->rowCount(), kept);

    // Store Data active: Start disabled on (re)connection.
    tree(w)->setCurrentIndex(storeRow(w));
    action(w, "actionItemSetToActive")->trigger();
    QCOMPARE(states(w), QStringLiteral("01001"));
    action(w, "actionDisconnect")->trigger();
    QCOMPARE(states(w), QStringLiteral("10000"));
    action(w, "actionConnect")->trigger();
    QCOMPARE(states(w), QStringLiteral("01001"));
}

void WidgetMeterTest::liveReadingsFromTheMeter_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("samplePoints");
    QTest::addColumn<bool>("infinite");
    QTest::addColumn<bool>("skipRepeat");
    QTest::addColumn<int>("expectedRows"); // -1: one row per reading received

    QTest::newRow("limit of 10") << QStringList { "--sequence", "ramp" } << 10 << false << false
                                 << 10;
    QTest::newRow("steady value skipped") << QStringList {} << 1000 << true << true << 1;
    QTest::newRow("ramp never repeats")
        << QStringList { "--sequence", "ramp" } << 1000 << true << true << -1;
    QTest::newRow("steady value kept") << QStringList {} << 1000 << true << false << -1;
}

void WidgetMeterTest::liveReadingsFromTheMeter()
{
    QFETCH(QStringList, simArgs);
    QFETCH(int, samplePoints);
    QFETCH(bool, infinite);
    QFETCH(bool, skipRepeat);
    QFETCH(int, expectedRows);

    MeterSim sim;
    QVERIFY2(!startSim(sim, simArgs + QStringList { "--period", "15" }).isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    // Sample rate 0 lets every frame through, so the table can be checked against the frames.
    setOptions(w, samplePoints, infinite, 0, skipRepeat);
    action(w, "actionConnect")->trigger();
    QVERIFY(action(w, "actionDisconnect")->isEnabled());
    action(w, "actionStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QLabel*>("lcdValue")->text() != "00000", 5000);
    const int fromLine = sim.lineCount();
    QVERIFY(!sim.waitForLine("live: ", 5000, fromLine).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(sim.countLines("live: ") >= 20, 10000);
    QTest::qWait(100);

    action(w, "actionStop")->trigger();
    const int rows = table(w)->rowCount();
    if (expectedRows >= 0)
        QCOMPARE(rows, expectedRows);
    else
        QVERIFY2(rows >= 10, qPrintable(QString::number(rows)));
    const QStringList numbers = tableColumn(w, 0);
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(numbers.at(i), QString::number(i + 1));
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), rows);
    if (skipRepeat) {
        const QStringList values = tableColumn(w, 3);
        for (int i = 1; i < values.size(); ++i)
            QVERIFY(values.at(i) != values.at(i - 1));
    }
}

void WidgetMeterTest::failedOpenSaysWhy_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reasonContains");
    QTest::newRow("no port") << "missing"
                             << "No meter port was found";
    QTest::newRow("port held by another program") << "busy"
                                                  << "is busy";
}

void WidgetMeterTest::failedOpenSaysWhy()
{
    QFETCH(QString, situation);
    QFETCH(QString, reasonContains);
    MeterSim sim;
    QSerialPort holder;
    if (situation == "missing") {
        MyDmm::setPortOverride(QStringLiteral("/dev/vibview-no-such-port"));
    } else {
        const QString port = startSim(sim, { "--period", "0" });
        QVERIFY2(!port.isEmpty(), qPrintable(sim.errorText()));
        holder.setPortName(port);
        QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    }
    Widget w;
    ModalDriver driver;
    driver.clickButton(QMessageBox::Ok);
    action(w, "actionConnect")->trigger();
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().text, QStringLiteral("Failed to open device."));
    QVERIFY2(driver.last().informativeText.contains(reasonContains),
        qPrintable(driver.last().informativeText));
    QCOMPARE(states(w), QStringLiteral("10000"));
}

void WidgetMeterTest::downloadFillsStoreData_data()
{
    QTest::addColumn<int>("records");
    QTest::newRow("25 records") << 25;
    // Many readings arrive while the dialog pumps events from inside the reading handler.
    QTest::newRow("2000 records") << 2000;
}

void WidgetMeterTest::downloadFillsStoreData()
{
    QFETCH(int, records);
    MeterSim sim;
    QVERIFY2(!startSim(sim, { "--period", "40", "--quiet", "--stored", QString::number(records) })
                  .isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    // Download with the link closed does nothing.
    action(w, "actionItemDownload")->trigger();
    QCOMPARE(activeName(w), QStringLiteral("Measure1"));

    action(w, "actionConnect")->trigger();
    action(w, "actionStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() >= 1, 5000);

    for (int round = 0; round < 2; ++round) {
        QElapsedTimer clock;
        clock.start();
        bool sawDialog = false;
        int countShown = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, &w, [&] {
            if (auto* dialog = w.findChild<DlgDownload*>()) {
                sawDialog = sawDialog || dialog->isVisible();
                const QString label = dialog->findChild<QLabel*>("label")->text();
                const QRegularExpressionMatch m
                    = QRegularExpression("(\\d+) received").match(label);
                if (m.hasMatch())
                    countShown = qMax(countShown, m.captured(1).toInt());
            }
        });
        probe.start(5);
        qint64 lastReadingAt = -1;
        const QMetaObject::Connection steps
            = connect(&w, &Widget::updateDowndPos, &w, [&](int total, int) {
                  if (total < 0)
                      lastReadingAt = clock.elapsed();
              });
        // Runs the dialog modally; it must close by itself shortly after the last reading, well
        // before its 3 s watchdog would.
        action(w, "actionItemDownload")->trigger();
        const qint64 closedAt = clock.elapsed();
        disconnect(steps);
        probe.stop();
        QVERIFY(sawDialog);
        QVERIFY(lastReadingAt >= 0);
        QVERIFY2(closedAt - lastReadingAt < 2000,
            qPrintable(
                QStringLiteral("%1 ms after the last reading").arg(closedAt - lastReadingAt)));
        QVERIFY(!w.findChild<DlgDownload*>() || !w.findChild<DlgDownload*>()->isVisible());

        QCOMPARE(activeName(w), QStringLiteral("Store Data"));
        QCOMPARE(tree(w)->currentIndex(), storeRow(w));
        QCOMPARE(states(w), QStringLiteral("01001"));
        // One download per quiet period: a second download replaces the first.
        QCOMPARE(itemData(storeRow(w))->readingCount(), records);
        QCOMPARE(tableColumn(w, 0).first(), QStringLiteral("1"));
        QCOMPARE(tableColumn(w, 0).last(), QString::number(records));
        QCOMPARE(tableColumn(w, 3).at(1), QStringLiteral(" 1.00"));
        QVERIFY2(countShown > 0, "the dialog never showed a reading count");
    }
    QCOMPARE(sim.countLines("download: "), 2);
    // The live item kept its readings.
    QVERIFY(itemData(liveRow(w, 0))->readingCount() >= 1);
    QTRY_VERIFY(w.findChildren<DlgDownload*>().isEmpty());
}

void WidgetMeterTest::downloadDialogClosesWhenMeterIsSilent()
{
    MeterSim sim;
    QVERIFY2(!startSim(sim, { "--period", "0", "--stored", "0" }).isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    QElapsedTimer clock;
    clock.start();
    action(w, "actionItemDownload")->trigger();
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 2500 && elapsed < 6000, qPrintable(QString::number(elapsed)));
    QCOMPARE(itemData(storeRow(w))->readingCount(), 0);
    QCOMPARE(activeName(w), QStringLiteral("Store Data"));
}

void WidgetMeterTest::syncTimeReachesTheMeter()
{
    MeterSim sim;
    QVERIFY2(!startSim(sim, { "--period", "0" }).isEmpty(), qPrintable(sim.errorText()));
    Widget w;
    w.show();
    QVERIFY(!action(w, "actionSyncTime")->isEnabled());
    action(w, "actionConnect")->trigger();
    QVERIFY(action(w, "actionSyncTime")->isEnabled());

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    action(w, "actionSyncTime")->trigger();
    auto* dialog = w.findChild<dlgSyncTime*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    auto* edit = dialog->findChild<QDateTimeEdit*>("dateTimeEdit");
    QVERIFY(edit->dateTime() >= before.addSecs(-1));
    QCOMPARE(edit->displayFormat(), QStringLiteral("yyyy/M/d H:mm:ss"));

    // Only dates the command can carry are offered.
    edit->setDateTime(QDateTime(QDate(1999, 12, 31), QTime(23, 0)));
    QCOMPARE(edit->dateTime(), QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    edit->setDateTime(QDateTime(QDate(2100, 1, 1), QTime(0, 0)));
    QCOMPARE(edit->dateTime(), QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)));

    edit->setDateTime(QDateTime(QDate(2031, 5, 6), QTime(7, 8, 9)));
    QSignalSpy spy(dialog, &dlgSyncTime::syncTime);
    QVERIFY(spy.isValid());
    auto* button = dialog->findChild<QPushButton*>("btnSync");
    button->click();
    button->click();
    QCOMPARE(spy.count(), 2);
    QVERIFY(!sim.waitForLine("clock: 2031-05-06 07:08:09").isEmpty());
    QTRY_COMPARE(sim.countLines("clock: 2031-05-06 07:08:09"), 2);
    QVERIFY(dialog->isVisible()); // stays open until the user closes it

    QPointer<dlgSyncTime> guard = dialog;
    dialog->close();
    QTRY_VERIFY(guard.isNull());
}

void WidgetMeterTest::unplugClosesTheLink()
{
    MeterSim sim;
    QVERIFY2(!startSim(sim, { "--period", "20", "--quiet", "--unplug-after", "1500" }).isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    action(w, "actionStart")->trigger();
    QCOMPARE(states(w), QStringLiteral("01011"));
    QVERIFY(sim.waitForExit(5000));
    QTRY_COMPARE_WITH_TIMEOUT(states(w), QStringLiteral("10000"), 5000);
    // What was recorded stays.
    QVERIFY(table(w)->rowCount() > 0);
}

QTEST_MAIN(WidgetMeterTest)
#include "tst_widget_meter.moc"
