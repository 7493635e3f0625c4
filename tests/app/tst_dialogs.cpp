#include "dlgdownload.h"
#include "dlgsynctime.h"
#include "modaldriver.h"
#include "optiondialog.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Counts the timer events an object receives.
class TimerEventCounter : public QObject
{
public:
    explicit TimerEventCounter(QObject* target) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void optionControls();
    void optionButtons_data();
    void optionButtons();
    void languageChoice_data();
    void languageChoice();
    void downloadDialogForm();
    void downloadDialogSteps_data();
    void downloadDialogSteps();
};

void DialogsTest::optionControls()
{
    OptionDialog dialog(true);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(dialog.sbSamplePoints->minimum(), 1);
    QCOMPARE(dialog.sbSamplePoints->maximum(), 2147483647);
    QCOMPARE(dialog.sbSampleRate->minimum(), 0);
    QCOMPARE(dialog.sbSampleRate->suffix(), QStringLiteral("mS"));
    QCOMPARE(dialog.infinite->text(), QStringLiteral("Infinite"));
    QCOMPARE(dialog.btnOk->text(), QStringLiteral("Ok"));
    QCOMPARE(dialog.btnCancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog.cbbLanguage->count(), 2);
    QCOMPARE(dialog.cbbLanguage->itemText(1), QStringLiteral("Chinese"));

    // Sample points below 1 cannot be entered; a rate of 0 can.
    dialog.sbSamplePoints->setValue(0);
    QCOMPARE(dialog.sbSamplePoints->value(), 1);
    dialog.sbSampleRate->setValue(0);
    QCOMPARE(dialog.sbSampleRate->value(), 0);

    dialog.infinite->setChecked(true);
    QVERIFY(!dialog.sbSamplePoints->isEnabled());
    dialog.infinite->setChecked(false);
    QVERIFY(dialog.sbSamplePoints->isEnabled());

    dialog.show();
    QVERIFY(!dialog.cbbLanguage->isVisible());
    OptionDialog withLanguage(false);
    withLanguage.show();
    QVERIFY(withLanguage.cbbLanguage->isVisible());
}

void DialogsTest::optionButtons_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("result");
    QTest::newRow("Ok accepts") << true << int(QDialog::Accepted);
    QTest::newRow("Cancel rejects") << false << int(QDialog::Rejected);
}

void DialogsTest::optionButtons()
{
    QFETCH(bool, ok);
    QFETCH(int, result);
    OptionDialog dialog(true);
    ModalDriver driver;
    driver.expect([&](QWidget*) { (ok ? dialog.btnOk : dialog.btnCancel)->click(); });
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(driver.pending(), 0);
}

void DialogsTest::languageChoice_data()
{
    QTest::addColumn<bool>("hideLanguage");
    QTest::addColumn<int>("initial");
    QTest::addColumn<QList<int>>("choices");
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("finalIndex");
    QTest::newRow("hidden row reports what it got") << true << 1 << QList<int> {} << 0 << 1;
    QTest::newRow("no change, no message") << false << 0 << QList<int> {} << 0 << 0;
    QTest::newRow("other language: one message") << false << 0 << QList<int> { 1 } << 1 << 1;
    QTest::newRow("back to the first: no second message")
        << false << 1 << QList<int> { 0, 1 } << 1 << 1;
}

void DialogsTest::languageChoice()
{
    QFETCH(bool, hideLanguage);
    QFETCH(int, initial);
    QFETCH(QList<int>, choices);
    QFETCH(int, messages);
    QFETCH(int, finalIndex);

    QWidget parent;
    OptionDialog dialog(hideLanguage, &parent);
    ModalDriver driver;
    dialog.setLanguageIndex(initial); // moving the combo here shows no message
    QCOMPARE(dialog.languageIndex(), initial);
    for (int choice : choices) {
        driver.clickButton(QMessageBox::Ok);
        dialog.cbbLanguage->setCurrentIndex(choice);
    }
    QCOMPARE(driver.seen().size(), messages);
    for (const ModalDriver::Seen& seen : driver.seen())
        QCOMPARE(seen.text,
            QStringLiteral("Please restart application for translation to take effect."));
    driver.clearAnswers();
    QCOMPARE(dialog.languageIndex(), finalIndex);
}

void DialogsTest::downloadDialogForm()
{
    DlgDownload dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("DlgDownload"));
    QCOMPARE(dialog.size(), QSize(498, 57));
    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    QVERIFY(bar);
    QVERIFY(!bar->isTextVisible());
    QCOMPARE(bar->format(), QStringLiteral("%p"));
    QCOMPARE(dialog.findChild<QLabel*>("label")->text(), QStringLiteral(" Downloading data...   "));

    dlgSyncTime clock(QDateTime(QDate(2024, 2, 29), QTime(12, 0)));
    QCOMPARE(clock.objectName(), QStringLiteral("dlgSyncTime"));
    QCOMPARE(clock.findChild<QPushButton*>("btnSync")->text(), QStringLiteral("Synchronize"));
}

void DialogsTest::downloadDialogSteps_data()
{
    QTest::addColumn<QList<int>>("steps"); // pairs of total, pos
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<bool>("watchdog"); // closed by its watchdog, not by a complete step
    QTest::addColumn<int>("barValue");
    QTest::newRow("0 of 0 closes at once") << QList<int> { 0, 0 } << 0 << false << 0;
    QTest::newRow("complete closes at once") << QList<int> { 10, 4, 10, 10 } << 0 << false << 10;
    QTest::newRow("stalled at 40 percent") << QList<int> { 100, 40 } << 0 << true << 40;
    // Steps 1 s apart: a watchdog left running from the first step would close it 1 s after
    // the last one.
    QTest::newRow("each step restarts the watchdog")
        << QList<int> { 100, 10, 100, 20, 100, 30 } << 1000 << true << 30;
    QTest::newRow("unknown total keeps it open") << QList<int> { -1, 1, -1, 2 } << 0 << true << 0;
}

void DialogsTest::downloadDialogSteps()
{
    QFETCH(QList<int>, steps);
    QFETCH(int, gapMs);
    QFETCH(bool, watchdog);
    QFETCH(int, barValue);

    QWidget parent;
    auto* dialog = new DlgDownload(&parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<DlgDownload> guard = dialog;
    auto* bar = dialog->findChild<QProgressBar*>("progressBar");
    QVERIFY(!bar->isTextVisible());
    QCOMPARE(bar->format(), QStringLiteral("%p"));
    int lastValue = -2;
    connect(bar, &QProgressBar::valueChanged, &parent, [&lastValue](int v) { lastValue = v; });
    TimerEventCounter expiries(dialog);

    // After each step the dialog runs exactly one watchdog, of 3 s.
    bool oneTimerAfterEach = true;
    QElapsedTimer sinceLastStep;
    int index = 0;
    std::function<void()> next = [&] {
        if (!guard || index >= steps.size())
            return;
        guard->updatePos(steps.at(index), steps.at(index + 1));
        sinceLastStep.start();
        index += 2;
        if (guard) {
            const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(guard);
            oneTimerAfterEach
                = oneTimerAfterEach && timers.size() == 1 && timers.first().interval == 3000;
        }
        // Later steps come from timers: a stalled process still delivers them before the
        // watchdog, which is due later.
        QTimer::singleShot(gapMs, guard, next);
    };
    QTimer::singleShot(0, dialog, next);
    dialog->exec();
    QVERIFY(guard.isNull()); // deleted on close
    QCOMPARE(index, steps.size());
    QVERIFY(oneTimerAfterEach);
    if (watchdog) {
        QCOMPARE(expiries.count, 1);
        // A coarse timer may fire up to 5 % early.
        QVERIFY2(
            sinceLastStep.elapsed() >= 2850, qPrintable(QString::number(sinceLastStep.elapsed())));
    } else {
        QCOMPARE(expiries.count, 0);
    }
    if (barValue > 0)
        QCOMPARE(lastValue, barValue);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
