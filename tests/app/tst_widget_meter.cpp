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
#include <QListWidget>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace WidgetProbe;

namespace {

// The value texts of the first count frames of the simulator's ramp, as the meter shows them.
QStringList rampTexts(double step, int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << QString::number(qRound(step * i)).rightJustified(5);
    return texts;
}

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
    void downloadGoesOnAfterAPause();
    void silentDownloadKeepsThePreviousOne();
    void unplugDuringDownload();
    void unitThatKeepsChanging();
    void syncTimeReachesTheMeter();
    void unplugClosesTheLink();
    void damagedFramesShowInTheStatusBar();

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
    QVERIFY2(!startSim(sim, { "--period", "20" }).isEmpty(), qPrintable(sim.errorText()));
    Widget w;
    w.show();
    // Every frame reaches the window, so that what it keeps depends on sampling alone.
    setOptions(w, 1000, true, 0, false);
    QCOMPARE(states(w), QStringLiteral("10000"));
    action(w, "actionConnect")->trigger();
    QCOMPARE(states(w), QStringLiteral("01101"));
    QVERIFY(!sim.waitForLine("client: connected").isEmpty());

    // Readings arrive all the time, but are kept only while sampling runs.
    QVERIFY(!sim.waitForLine("live: 5 ").isEmpty());
    QCOMPARE(table(w)->rowCount(), 0);
    action(w, "actionStart")->trigger();
    QCOMPARE(states(w), QStringLiteral("01011"));
    QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() >= 2, 30000);
    QCOMPARE(w.findChild<QLabel*>("lcdValue")->text(), QStringLiteral("12.34"));
    QCOMPARE(w.findChild<QLabel*>("lcdUnit")->text(), QStringLiteral("cm/s"));

    action(w, "actionStop")->trigger();
    QCOMPARE(states(w), QStringLiteral("01101"));
    const int kept = table(w)->rowCount();
    QVERIFY(!sim.waitForLine("live: ", MeterSim::DefaultTimeoutMs, sim.lineCount() + 10).isEmpty());
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
    QTest::addColumn<double>("step"); // of the simulator's ramp, shown without decimals
    QTest::addColumn<int>("samplePoints");
    QTest::addColumn<bool>("infinite");
    QTest::addColumn<bool>("skipRepeat");
    QTest::addColumn<QStringList>("expected"); // the table's value texts

    // 30 frames: a step of 1 never repeats a text, a step of 0.4 shows each two or three times.
    const QStringList distinct = rampTexts(1, 30);
    const QStringList repeating = rampTexts(0.4, 30);
    QStringList unrepeated;
    for (const QString& text : repeating) {
        if (unrepeated.isEmpty() || unrepeated.last() != text)
            unrepeated << text;
    }
    QTest::newRow("limit of 10") << 1.0 << 10 << false << false << QStringList(distinct.mid(0, 10));
    QTest::newRow("repeats skipped") << 0.4 << 1000 << true << true << unrepeated;
    QTest::newRow("ramp never repeats") << 1.0 << 1000 << true << true << distinct;
    QTest::newRow("repeats kept") << 0.4 << 1000 << true << false << repeating;
}

void WidgetMeterTest::liveReadingsFromTheMeter()
{
    QFETCH(double, step);
    QFETCH(int, samplePoints);
    QFETCH(bool, infinite);
    QFETCH(bool, skipRepeat);
    QFETCH(QStringList, expected);

    MeterSim sim;
    QVERIFY2(!startSim(sim,
                 { "--period", "15", "--live-count", "30", "--sequence", "ramp", "--step",
                     QString::number(step), "--decimals", "0" })
                  .isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    // Sample rate 0 lets every frame through, so the table can be checked against the frames.
    setOptions(w, samplePoints, infinite, 0, skipRepeat);
    // Sampling starts before control returns to the event loop, so no frame is read before it.
    action(w, "actionConnect")->trigger();
    QVERIFY(action(w, "actionDisconnect")->isEnabled());
    action(w, "actionStart")->trigger();
    // The readout shows every reading, kept or not: once it shows the last frame, all are in.
    const QString last = rampTexts(step, 30).last();
    QTRY_COMPARE_WITH_TIMEOUT(w.findChild<QLabel*>("lcdValue")->text(), last, 30000);

    action(w, "actionStop")->trigger();
    QCOMPARE(tableColumn(w, 3), expected);
    const QStringList numbers = tableColumn(w, 0);
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(numbers.at(i), QString::number(i + 1));
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), expected.size());
}

void WidgetMeterTest::failedOpenSaysWhy_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reasonContains");
    QTest::newRow("no port") << "missing"
                             << "No meter port was found";
    QTest::newRow("port held by another program") << "busy"
                                                  << "is busy";
    QTest::newRow("a regular file given as the port") << "file"
                                                      << "is not a serial port";
}

void WidgetMeterTest::failedOpenSaysWhy()
{
    QFETCH(QString, situation);
    QFETCH(QString, reasonContains);
    MeterSim sim;
    QSerialPort holder;
    QTemporaryDir dir;
    if (situation == "missing") {
        MyDmm::setPortOverride(QStringLiteral("/dev/vibview-no-such-port"));
    } else if (situation == "file") {
        QFile file(dir.filePath(QStringLiteral("ttyUSB0")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        MyDmm::setPortOverride(file.fileName());
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
    // Download with the link closed changes nothing and says what is missing.
    {
        ModalDriver driver;
        driver.clickButton(QMessageBox::Ok);
        action(w, "actionItemDownload")->trigger();
        QCOMPARE(driver.pending(), 0);
        QCOMPARE(driver.last().text,
            QStringLiteral("The meter must be connected first: choose Connect, then Download."));
    }
    QCOMPARE(activeName(w), QStringLiteral("Measure1"));

    action(w, "actionConnect")->trigger();
    action(w, "actionStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() >= 1, 30000);

    for (int round = 0; round < 2; ++round) {
        // The steps the progress dialog is given, and what it shows when the last one comes.
        QList<QPair<int, int>> steps;
        bool shownAtEnd = false;
        QString labelAtEnd;
        const QMetaObject::Connection watch
            = connect(&w, &Widget::updateDowndPos, &w, [&](int total, int pos) {
                  steps.append({ total, pos });
                  auto* dialog = w.findChild<DlgDownload*>();
                  if (total >= 0 && dialog) {
                      shownAtEnd = dialog->isVisible();
                      labelAtEnd = dialog->findChild<QLabel*>("label")->text();
                  }
              });
        // Runs the dialog modally; the quiet period after the last reading must close it, long
        // before its 3 s watchdog would.
        action(w, "actionItemDownload")->trigger();
        disconnect(watch);
        QVERIFY(!steps.isEmpty());
        QCOMPARE(steps.first(), qMakePair(int(DlgDownload::UnknownTotal), 0));
        QCOMPARE(steps.last(), qMakePair(records, records));
        QCOMPARE(steps.size(), records + 2); // the start, one per reading, the end
        QVERIFY(shownAtEnd);
        QVERIFY2(labelAtEnd.endsWith(QStringLiteral(" %1 received").arg(records)),
            qPrintable(labelAtEnd));
        QVERIFY(!w.findChild<DlgDownload*>() || !w.findChild<DlgDownload*>()->isVisible());

        QCOMPARE(activeName(w), QStringLiteral("Store Data"));
        QCOMPARE(tree(w)->currentIndex(), storeRow(w));
        QCOMPARE(states(w), QStringLiteral("01001"));
        // One download per quiet period: a second download replaces the first.
        QCOMPARE(itemData(storeRow(w))->readingCount(), records);
        QCOMPARE(tableColumn(w, 0).first(), QStringLiteral("1"));
        QCOMPARE(tableColumn(w, 0).last(), QString::number(records));
        QCOMPARE(tableColumn(w, 3).at(1), QStringLiteral(" 1.00"));
    }
    QCOMPARE(sim.countLines("download: "), 2);
    // The live item kept its readings.
    QVERIFY(itemData(liveRow(w, 0))->readingCount() >= 1);
    QTRY_VERIFY(w.findChildren<DlgDownload*>().isEmpty());
}

void WidgetMeterTest::downloadGoesOnAfterAPause()
{
    // The meter stops for longer than the quiet period after record 50 of 100: the download
    // looks complete, then the rest comes and is added, not put in place of the first half.
    MeterSim sim;
    QVERIFY2(
        !startSim(sim,
            { "--period", "0", "--stored", "100", "--pause-after", "50", "--pause-ms", "1500" })
             .isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    action(w, "actionItemDownload")->trigger();
    QVERIFY(!sim.waitForLine("resume: from 51").isEmpty());
    QTRY_COMPARE(itemData(storeRow(w))->readingCount(), 100);
    QStringList numbers;
    for (int i = 1; i <= 100; ++i)
        numbers << QString::number(i);
    QCOMPARE(tableColumn(w, 0), numbers);
    QCOMPARE(itemData(storeRow(w))->readings().last()->storeIndex(), 100);
    QCOMPARE(activeName(w), QStringLiteral("Store Data"));
}

void WidgetMeterTest::silentDownloadKeepsThePreviousOne()
{
    // A first meter hands over 10 records.
    MeterSim full;
    QVERIFY2(!startSim(full, { "--period", "0", "--stored", "10" }).isEmpty(),
        qPrintable(full.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    action(w, "actionItemDownload")->trigger();
    QTRY_COMPARE(itemData(storeRow(w))->readingCount(), 10);
    action(w, "actionDisconnect")->trigger();

    // Then one whose memory is empty.
    MeterSim empty;
    QVERIFY2(!startSim(empty, { "--period", "0", "--stored", "0" }).isEmpty(),
        qPrintable(empty.errorText()));
    action(w, "actionConnect")->trigger();
    QList<QPair<int, int>> steps;
    ModalDriver driver;
    connect(&w, &Widget::updateDowndPos, &w, [&](int total, int pos) {
        steps.append({ total, pos });
        // The progress dialog is left to its watchdog; the message after it is answered.
        if (steps.size() == 1)
            connect(w.findChild<DlgDownload*>(), &QDialog::finished, &driver,
                [&driver] { driver.clickButton(QMessageBox::Ok); });
    });
    QElapsedTimer clock;
    clock.start();
    action(w, "actionItemDownload")->trigger();
    // Only the start step: nothing arrived, so the watchdog, not a quiet period, closed it, and
    // not before its time; then the window says that nothing came.
    QCOMPARE(steps, (QList<QPair<int, int>> { { DlgDownload::UnknownTotal, 0 } }));
    QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!empty.waitForLine("download: 0 stored frames").isEmpty());
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().text,
        QStringLiteral(
            "No readings arrived: the meter's memory is empty, or the meter did not answer."));
    // The earlier download is still there, and shown.
    QCOMPARE(itemData(storeRow(w))->readingCount(), 10);
    QCOMPARE(table(w)->rowCount(), 10);
    QCOMPARE(activeName(w), QStringLiteral("Store Data"));
}

void WidgetMeterTest::unplugDuringDownload()
{
    // The cable is pulled while the window is busy with records it has just read.
    MeterSim sim;
    QVERIFY2(
        !startSim(sim, { "--period", "0", "--stored", "2000", "--unplug-after-stored", "1000" })
             .isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    // The progress dialog closes with the link; nothing else is asked.
    ModalDriver driver;
    action(w, "actionItemDownload")->trigger();
    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.countLines("unplugged"), 1);
    QTRY_COMPARE(states(w), QStringLiteral("10000"));
    QCOMPARE(driver.seen().size(), 0);
    QTRY_VERIFY(w.findChildren<DlgDownload*>().isEmpty());

    // What arrived stays, in order.
    const int kept = itemData(storeRow(w))->readingCount();
    QVERIFY2(kept > 0 && kept <= 1000, qPrintable(QString::number(kept)));
    QCOMPARE(tableColumn(w, 0).size(), kept);
    QCOMPARE(tableColumn(w, 0).last(), QString::number(kept));
    auto* messages = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    // The loss is reported; under a slow run the download's own summary may come after it.
    QStringList texts;
    for (int i = 0; i < messages->count(); ++i)
        texts << messages->item(i)->text();
    QVERIFY2(texts.join('\n').contains(QStringLiteral("meter was disconnected")),
        qPrintable(texts.join('\n')));
}

void WidgetMeterTest::unitThatKeepsChanging()
{
    // Every second frame in another unit: each change starts a new item, and the message list
    // says once that the meter's unit keeps changing.
    MeterSim sim;
    QVERIFY2(!startSim(sim,
                 { "--period", "5", "--live-count", "30", "--flip-unit", "4", "--sequence", "ramp",
                     "--step", "1", "--decimals", "0" })
                  .isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    setOptions(w, 1000, true, 0, false);
    action(w, "actionConnect")->trigger();
    action(w, "actionStart")->trigger();
    const QString last = rampTexts(1, 30).last();
    QTRY_COMPARE_WITH_TIMEOUT(w.findChild<QLabel*>("lcdValue")->text(), last, 30000);

    const QStringList names = liveNames(w);
    QCOMPARE(names.size(), 30);
    QCOMPARE(names.last(), QStringLiteral("Measure30"));
    for (int row = 0; row < names.size(); ++row) {
        QCOMPARE(itemData(liveRow(w, row))->readingCount(), 1);
        QCOMPARE(itemData(liveRow(w, row))->unitText(),
            row % 2 ? QStringLiteral("mm") : QStringLiteral("cm/s"));
    }
    auto* messages = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    QStringList unitLines;
    for (int i = 0; i < messages->count(); ++i) {
        if (messages->item(i)->text().contains(QStringLiteral("unit changed")))
            unitLines << messages->item(i)->text();
    }
    QCOMPARE(unitLines.size(), 1);
    QVERIFY2(unitLines.first().contains(QStringLiteral("changed 10 times in a row")),
        qPrintable(unitLines.first()));
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
    QVERIFY2(
        !startSim(sim, { "--period", "20", "--quiet" }).isEmpty(), qPrintable(sim.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    action(w, "actionStart")->trigger();
    QCOMPARE(states(w), QStringLiteral("01011"));
    QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() > 0, 30000);
    // The cable is pulled: the meter's end of the terminal goes away.
    sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(states(w), QStringLiteral("10000"), 30000);
    // What was recorded stays.
    QVERIFY(table(w)->rowCount() > 0);
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), table(w)->rowCount());
}

QTEST_MAIN(WidgetMeterTest)
void WidgetMeterTest::damagedFramesShowInTheStatusBar()
{
    // Three good live frames, then seven with a wrong checksum.
    MeterSim sim;
    QVERIFY2(!startSim(sim, { "--period", "10", "--live-count", "10", "--bad-checksum-from", "4" })
                  .isEmpty(),
        qPrintable(sim.errorText()));
    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    QVERIFY(!sim.waitForLine("live: 10 ").isEmpty());
    auto* link = w.findChild<QLabel*>(QStringLiteral("linkStatus"));
    QTRY_VERIFY2(link->text().endsWith(QLatin1String(": connected, 7 damaged frames dropped")),
        qPrintable(link->text()));
    action(w, "actionDisconnect")->trigger();
    QCOMPARE(link->text(), QStringLiteral("Meter: not connected"));
}

#include "tst_widget_meter.moc"
