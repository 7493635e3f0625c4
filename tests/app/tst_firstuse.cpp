// What a new user meets on a first tour of the window: shortcuts in the menus, time-stamped
// message lines, the status bar, a full item, one clock dialog, the About box and the layout at a
// narrow width.

#include "widgettestsupport.h"

#include "exporter.h"
#include "modaldriver.h"
#include "readingdelegate.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace WidgetProbe;

namespace {

QString settingsPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
}

QStringList linesOf(Widget& w)
{
    QStringList lines;
    auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

QString labelText(Widget& w, const char* name)
{
    return w.findChild<QLabel*>(QLatin1String(name))->text();
}

void flushStatus(Widget& w)
{
    QMetaObject::invokeMethod(&w, "updateStatus", Qt::DirectConnection);
}

} // namespace

class FirstUseTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void shortcutsInMenus_data();
    void shortcutsInMenus();
    void messageLines_data();
    void messageLines();
    void messageListKeepsTheNewest();
    void statusBar();
    void fullItemSaysSoOnce();
    void syncTimeRaisesTheOpenDialog();
    void storedTimeIsExplained_data();
    void storedTimeIsExplained();
    void aboutBox();
    void narrowWindowKeepsEveryCommand();
};

void FirstUseTest::cleanup()
{
    QFile::remove(settingsPath());
}

void FirstUseTest::shortcutsInMenus_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("keys");
    QTest::newRow("export") << "actionExport"
                            << "Ctrl+E";
    QTest::newRow("close") << "actionClose"
                           << "Ctrl+Q";
    QTest::newRow("manual") << "actionManual"
                            << "F1";
    QTest::newRow("rename") << "actionItemRename"
                            << "F2";
    QTest::newRow("delete") << "actionItemDelete"
                            << "Del";
    QTest::newRow("new item") << "actionItemNew"
                              << "Ctrl+N";
}

// Each command answers its usual key, and a menu shows the key beside it.
void FirstUseTest::shortcutsInMenus()
{
    QFETCH(QString, action);
    QFETCH(QString, keys);
    Widget w;
    QAction* a = WidgetProbe::action(w, qPrintable(action));
    QCOMPARE(a->shortcut().toString(), keys);
    bool inMenu = false;
    for (QAction* menu : w.menuBar()->actions())
        inMenu = inMenu || menu->menu()->actions().contains(a);
    QVERIFY(inMenu);
}

void FirstUseTest::messageLines_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("line");
    QTest::newRow("clock set without a meter")
        << "clock"
        << "The clock was not set: the meter is not connected.";
    QTest::newRow("export written") << "export"
                                    << "Exported ";
}

// Every line starts with the time it was written; commands leave their line.
void FirstUseTest::messageLines()
{
    QFETCH(QString, command);
    QFETCH(QString, line);
    Widget w;
    QTemporaryDir dir;
    if (command == QLatin1String("clock")) {
        QMetaObject::invokeMethod(&w, "slotSyncTime", Qt::DirectConnection,
            Q_ARG(QDateTime, QDateTime::currentDateTime()));
    } else {
        const QString file = dir.filePath(QStringLiteral("t.csv"));
        w.findChild<Exporter*>()->setFileNameAsker(
            [file](QWidget*, const QString&, const QString&, const QString&) { return file; });
        ModalDriver driver;
        driver.expect([](QWidget* dialog) {
            dialog->findChild<QRadioButton*>(QStringLiteral("rbCsv"))->setChecked(true);
            static_cast<QDialog*>(dialog)->accept();
        });
        driver.clickButton(QMessageBox::Ok);
        action(w, "actionExport")->trigger();
        QVERIFY(driver.waitAllAnswered());
        line += QDir::toNativeSeparators(file);
    }
    const QStringList lines = linesOf(w);
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d) (.*)$")).match(lines.first());
    QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
    QVERIFY(QTime::fromString(m.captured(1), QStringLiteral("hh:mm:ss")).isValid());
    QVERIFY2(m.captured(2).startsWith(line), qPrintable(lines.first()));
}

void FirstUseTest::messageListKeepsTheNewest()
{
    Widget w;
    for (int i = 1; i <= 10005; ++i)
        QMetaObject::invokeMethod(&w, "slotMessage", Qt::DirectConnection,
            Q_ARG(QString, QStringLiteral("line %1").arg(i)));
    const QStringList lines = linesOf(w);
    QCOMPARE(lines.size(), 10000);
    QVERIFY(lines.first().endsWith(QLatin1String(" line 6")));
    QVERIFY(lines.last().endsWith(QLatin1String(" line 10005")));
}

// The port and link state, the shown item with its count, and which item the views show when
// another row is merely selected.
void FirstUseTest::statusBar()
{
    Widget w;
    w.show();
    QCOMPARE(labelText(w, "linkStatus"), QStringLiteral("Meter: not connected"));
    QCOMPARE(labelText(w, "itemStatus"), QStringLiteral("Showing Measure1: 0 readings"));

    action(w, "actionStart")->trigger();
    for (const char* text : { "1.00", "2.00", "3.00" })
        deliverLive(w, reading(QLatin1String(text), 2, QStringLiteral("cm/s")));
    QTRY_COMPARE(labelText(w, "itemStatus"), QStringLiteral("Showing Measure1: 3 readings"));

    tree(w)->setCurrentIndex(storeRow(w));
    flushStatus(w);
    QVERIFY2(w.statusBar()->currentMessage().startsWith(
                 QLatin1String("Store Data is selected; the views show Measure1.")),
        qPrintable(w.statusBar()->currentMessage()));
    tree(w)->setCurrentIndex(liveRow(w, 0));
    flushStatus(w);
    QCOMPARE(w.statusBar()->currentMessage(), QString());
}

// Sampling goes on when the item is full; one line says so, and the row shows it.
void FirstUseTest::fullItemSaysSoOnce()
{
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<options><SamplePoints>3</SamplePoints><Infinite>0</Infinite></options>");
    file.close();
    Widget w;
    w.show();
    action(w, "actionStart")->trigger();
    for (int i = 0; i < 6; ++i)
        deliverLive(w, reading(QString::number(i), 2, QStringLiteral("cm/s")));
    QCOMPARE(table(w)->rowCount(), 3);
    const QStringList lines = linesOf(w);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(QLatin1String("Measure1 is full"))
            && lines.first().contains(QLatin1String("3 readings")),
        qPrintable(lines.first()));
    QVERIFY(!liveRow(w, 0).data(Qt::ToolTipRole).toString().isEmpty());
    QCOMPARE(action(w, "actionStop")->isEnabled(), true);
}

void FirstUseTest::syncTimeRaisesTheOpenDialog()
{
    Widget w;
    w.show();
    action(w, "actionSyncTime")->setEnabled(true);
    action(w, "actionSyncTime")->trigger();
    action(w, "actionSyncTime")->trigger();
    QCOMPARE(w.findChildren<QDialog*>(QStringLiteral("dlgSyncTime")).size(), 1);
}

void FirstUseTest::storedTimeIsExplained_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("tip");
    QTest::newRow("stored reading's time") << true << 1 << "Time of the download";
    QTest::newRow("stored reading's number") << true << 0 << "Record number";
    QTest::newRow("stored reading's value") << true << 3 << "";
    QTest::newRow("live reading's time") << false << 1 << "";
}

// A reading from the meter's memory carries the download time; its tool tip says so.
void FirstUseTest::storedTimeIsExplained()
{
    QFETCH(bool, stored);
    QFETCH(int, column);
    QFETCH(QString, tip);
    Widget w;
    action(w, "actionStart")->trigger();
    if (stored)
        deliverStored(w, storedReading(7, QStringLiteral("1.00")));
    else
        deliverLive(w, reading(QStringLiteral("1.00"), 2, QStringLiteral("cm/s")));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tv"));
    auto* delegate = qobject_cast<ReadingDelegate*>(view->itemDelegate());
    QVERIFY(delegate);
    QCOMPARE(view->model()->rowCount(), 1);
    const QString shown = delegate->toolTip(view->model()->index(0, column));
    QVERIFY2(tip.isEmpty() ? shown.isEmpty() : shown.startsWith(tip), qPrintable(shown));
}

void FirstUseTest::aboutBox()
{
    Widget w;
    ModalDriver driver;
    driver.clickButton(QMessageBox::Ok);
    action(w, "actionAbout")->trigger();
    QVERIFY(driver.waitAllAnswered());
    const QString text = driver.last().text;
    QVERIFY2(text.contains(QLatin1String(VIBVIEW_VERSION)), qPrintable(text));
    QVERIFY2(text.contains(QLatin1String(qVersion())), qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("General Public License")), qPrintable(text));
}

// At the default size the table's six columns fit; at 700 pixels every tool bar command is still
// on the bar (the texts go first), none in the overflow menu.
void FirstUseTest::narrowWindowKeepsEveryCommand()
{
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* view = w.findChild<QTableView*>(QStringLiteral("tv"));
    QVERIFY(view->horizontalHeader()->stretchLastSection());
    QTRY_VERIFY(!view->horizontalScrollBar()->isVisible());

    w.resize(700, 500);
    auto* bar = w.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    QTRY_COMPARE(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    for (QAction* a : bar->actions()) {
        if (QWidget* button = bar->widgetForAction(a); button && !a->isSeparator())
            QTRY_VERIFY2(button->isVisible(), qPrintable(a->objectName()));
    }
    w.resize(1000, 600);
    QTRY_COMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

QTEST_MAIN(FirstUseTest)
#include "tst_firstuse.moc"
