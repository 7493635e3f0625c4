// The main window without a meter: start-up state, items, context menus, the options dialog,
// the settings file and the readings as the link would deliver them.

#include "widgettestsupport.h"

#include "dmmchart.h"
#include "histogram.h"
#include "modaldriver.h"
#include "readoutpanel.h"
#include "recorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include "optiondialog.h"

using namespace WidgetProbe;

namespace {

QString settingsPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
}

bool writeSettings(const QByteArray& text)
{
    QFile file(settingsPath());
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QStringList actionNames(const QList<QAction*>& actions)
{
    QStringList names;
    for (QAction* a : actions)
        names << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    return names;
}

// The sampling settings as the options dialog shows them: "points infinite rate skip".
QString optionsShown(Widget& w, ModalDriver& driver)
{
    QString shown;
    driver.expect([&shown](QWidget* dialogWidget) {
        auto* dialog = qobject_cast<OptionDialog*>(dialogWidget);
        if (!dialog) {
            dialogWidget->close();
            return;
        }
        shown = QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(dialog->sbSamplePoints->value())
                    .arg(int(dialog->infinite->isChecked()))
                    .arg(dialog->sbSampleRate->value())
                    .arg(int(dialog->chkSkipRepeat->isChecked()))
                    .arg(dialog->sbSamplePoints->isEnabled() ? "editable" : "locked");
        dialog->reject();
    });
    action(w, "actionOption")->trigger();
    return shown;
}

void setOptions(Widget& w, ModalDriver& driver, int points, bool infinite, int rate, bool skip)
{
    driver.expect([=](QWidget* dialogWidget) {
        auto* dialog = qobject_cast<OptionDialog*>(dialogWidget);
        if (!dialog) {
            dialogWidget->close();
            return;
        }
        dialog->infinite->setChecked(infinite);
        dialog->sbSamplePoints->setValue(points);
        dialog->sbSampleRate->setValue(rate);
        dialog->chkSkipRepeat->setChecked(skip);
        dialog->btnOk->click();
    });
    action(w, "actionOption")->trigger();
}

void contextMenu(QWidget* target)
{
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(target, &event);
}

} // namespace

class WidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpState();
    void menusAndToolBars();
    void actionStatesFollowStartStop();
    void newItemProposesNames_data();
    void newItemProposesNames();
    void newItemTrimsAndRefusesBlank_data();
    void newItemTrimsAndRefusesBlank();
    void renameStopsSampling();
    void activation();
    void deleteItems();
    void deletingTheOnlyItemLeavesNoActiveItem();
    void itemToolBarAndContextMenus_data();
    void itemToolBarAndContextMenus();
    void liveReadingsStored_data();
    void liveReadingsStored();
    void readoutPanelFollowsReadings();
    void unitChangeKeepsRecordedReadings();
    void emptyItemTakesNewUnit();
    void storedReadingsFillStoreData();
    void downloadGoesOnOrStartsAnew_data();
    void downloadGoesOnOrStartsAnew();
    void chartUnitComboReloads();
    void optionsDialogRoundTrip();
    void settingsApplied_data();
    void settingsApplied();
    void minimiseRestoreKeepsDialogChanges();
    void closeWritesSettings();
    void closeWarnsWhenSettingsCannotBeWritten();
    void manual();
    void messages();
    void nothingLeaksAtDestruction();
};

void WidgetTest::init()
{
    QFile::remove(settingsPath());
}

void WidgetTest::cleanup()
{
    QFile::remove(settingsPath());
    QDir(settingsPath()).removeRecursively();
}

void WidgetTest::startUpState()
{
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QCOMPARE(w.windowTitle(), QStringLiteral("VK418E v2 "));
    QCOMPARE(w.size(), QSize(1000, 600));
    QCOMPARE(states(w), QStringLiteral("10000"));
    for (const char* name : { "actionOption", "actionClose", "actionManual", "actionExport",
             "actionItemNew", "actionItemDelete", "actionItemRename", "actionItemSetToActive",
             "actionItemDownload", "actionClearMsg", "actionTest", "actionImport" })
        QVERIFY2(action(w, name)->isEnabled(), name);

    QCOMPARE(liveNames(w), QStringList { "Measure1" });
    QCOMPARE(activeName(w), QStringLiteral("Measure1"));
    QCOMPARE(tree(w)->currentIndex(), liveRow(w, 0));
    QCOMPARE(storeRow(w).data().toString(), QStringLiteral("Store Data"));
    QCOMPARE(itemData(storeRow(w))->type(), ItemData::StoreData);
    QCOMPARE(itemData(treeModel(w)->index(1, 0))->type(), ItemData::LiveGroup);
    QCOMPARE(itemData(liveRow(w, 0))->type(), ItemData::LiveMeasure);
    QVERIFY(tree(w)->isExpanded(treeModel(w)->index(1, 0)));
    QVERIFY(tree(w)->isHeaderHidden());

    auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Table"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Chart"));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(table(w)->columnCount(), 6);
    QCOMPARE(table(w)->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Frequency(Hz)"));

    QVERIFY(!w.findChild<QListWidget*>(QStringLiteral("listWidget"))->isVisible());
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("lcdUnit"))->text(), QString());
    QVERIFY(w.findChild<QLabel*>(QStringLiteral("lcdMax"))->isHidden());
    QVERIFY(w.findChild<QLabel*>(QStringLiteral("lcdHold"))->isHidden());
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("cbbChartUnit"))->count(), 3);
    QVERIFY(!action(w, "actionConnect")->icon().pixmap(16).isNull());
}

void WidgetTest::menusAndToolBars()
{
    Widget w;
    const QList<QAction*> menus = w.menuBar()->actions();
    QCOMPARE(menus.size(), 4);
    QCOMPARE(menus.at(0)->text(), QStringLiteral("&File"));
    QCOMPARE(menus.at(1)->text(), QStringLiteral("&Item"));
    QCOMPARE(menus.at(2)->text(), QStringLiteral("&View"));
    QCOMPARE(menus.at(3)->text(), QStringLiteral("&Help"));
    QCOMPARE(actionNames(menus.at(0)->menu()->actions()),
        QStringList({ "actionConnect", "actionDisconnect", "actionStart", "actionStop",
            "actionItemDownload", "actionSyncTime", "|", "actionOpenSession", "actionSaveSession",
            "actionImport", "actionExport", "actionOption", "|", "actionClose" }));
    QCOMPARE(actionNames(menus.at(1)->menu()->actions()),
        QStringList({ "actionItemNew", "actionItemRename", "actionItemDelete",
            "actionItemSetToActive", "|", "actionItemProperties" }));
    QCOMPARE(actionNames(menus.at(2)->menu()->actions()),
        QStringList({ "actionMessages", "actionAlarmBeep", "" })); // the last: the dock's toggle
    QCOMPARE(actionNames(menus.at(3)->menu()->actions()),
        QStringList({ "actionManual", "actionAbout" }));

    auto* bar = w.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    QStringList names = actionNames(bar->actions());
    QCOMPARE(names.last(), QStringLiteral("actionClose"));
    // An expanding spacer pushes Close to the right end.
    QWidget* spacer = bar->widgetForAction(bar->actions().at(bar->actions().size() - 2));
    QVERIFY(spacer);
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    for (const char* name :
        { "actionConnect", "actionDisconnect", "actionStart", "actionStop", "actionItemDownload",
            "actionSyncTime", "actionExport", "actionOption", "actionManual" })
        QVERIFY2(names.contains(name), name);
}

void WidgetTest::actionStatesFollowStartStop()
{
    Widget w;
    // Closed link: Start stays disabled, but Start itself still switches sampling on.
    action(w, "actionStart")->trigger();
    QCOMPARE(states(w), QStringLiteral("10010"));
    action(w, "actionStop")->trigger();
    QCOMPARE(states(w), QStringLiteral("10000"));
    // With "Store Data" active, Start does nothing.
    tree(w)->setCurrentIndex(storeRow(w));
    action(w, "actionItemSetToActive")->trigger();
    QCOMPARE(activeName(w), QStringLiteral("Store Data"));
    action(w, "actionStart")->trigger();
    QCOMPARE(states(w), QStringLiteral("10000"));
}

void WidgetTest::newItemProposesNames_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("deleted");
    QTest::addColumn<QString>("proposed");
    const QStringList none;
    QTest::newRow("only Measure1") << none << none << "Measure2";
    QTest::newRow("after two more") << QStringList { "Measure2", "Measure3" } << none << "Measure4";
    QTest::newRow("typed names starting with Measure count")
        << QStringList { "Measurement", "Other" } << none << "Measure3";
    QTest::newRow("case matters") << QStringList { "measure9", "MEASURE" } << none << "Measure2";
    // The count drops with a delete, but a name still in use is never proposed again.
    QTest::newRow("after a delete, no name twice")
        << QStringList { "Measure2", "Measure3" } << QStringList { "Measure1" } << "Measure4";
    QTest::newRow("a deleted name is free again")
        << QStringList { "Pump" } << QStringList { "Measure1" } << "Measure1";
}

void WidgetTest::newItemProposesNames()
{
    QFETCH(QStringList, typed);
    QFETCH(QStringList, deleted);
    QFETCH(QString, proposed);
    Widget w;
    ModalDriver driver;
    for (const QString& name : typed) {
        driver.acceptInput(name);
        action(w, "actionItemNew")->trigger();
    }
    for (const QString& name : deleted) {
        tree(w)->setCurrentIndex(liveRow(w, liveNames(w).indexOf(name)));
        driver.clickButton(QMessageBox::Yes);
        action(w, "actionItemDelete")->trigger();
    }
    QVERIFY(driver.waitAllAnswered());
    QCOMPARE(liveNames(w).size(), typed.size() + 1 - deleted.size());
    driver.clearSeen();
    driver.acceptInput(QString());
    action(w, "actionItemNew")->trigger();
    QCOMPARE(driver.last().text, QStringLiteral("Name:"));
    QCOMPARE(driver.last().value, proposed);
}

void WidgetTest::newItemTrimsAndRefusesBlank_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("message"); // empty: none is shown
    QTest::newRow("plain") << "Pump" << false << QStringList { "Measure1", "Pump" } << QString();
    QTest::newRow("blanks trimmed")
        << "  Pump A \t" << false << QStringList { "Measure1", "Pump A" } << QString();
    QTest::newRow("blank refused silently")
        << "   " << false << QStringList { "Measure1" } << QString();
    QTest::newRow("cancelled") << "Pump" << true << QStringList { "Measure1" } << QString();
    QTest::newRow("name in use refused")
        << " Measure1 " << false << QStringList { "Measure1" }
        << "An item named \"Measure1\" already exists under \"Live Data\". Choose another name.";
    QTest::newRow("other letter case is another name")
        << "measure1" << false << QStringList { "Measure1", "measure1" } << QString();
}

void WidgetTest::newItemTrimsAndRefusesBlank()
{
    QFETCH(QString, typed);
    QFETCH(bool, cancel);
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    Widget w;
    ModalDriver driver;
    if (cancel)
        driver.rejectDialog();
    else
        driver.acceptInput(typed);
    if (!message.isEmpty())
        driver.clickButton(QMessageBox::Ok);
    action(w, "actionItemNew")->trigger();
    QVERIFY(driver.waitAllAnswered());
    QCOMPARE(driver.seen().size(), message.isEmpty() ? 1 : 2);
    if (!message.isEmpty())
        QCOMPARE(driver.last().text, message);
    QCOMPARE(liveNames(w), names);
    // A created item becomes active and current; a refused one changes nothing.
    const QModelIndex last = liveRow(w, names.size() - 1);
    QCOMPARE(tree(w)->currentIndex(), last);
    QVERIFY(last.data(ActiveRole).toBool());
    QCOMPARE(activeName(w).count(','), 0);
}

void WidgetTest::renameStopsSampling()
{
    Widget w;
    ModalDriver driver;
    driver.acceptInput(QStringLiteral("Second"));
    action(w, "actionItemNew")->trigger();
    action(w, "actionStart")->trigger();
    QVERIFY(action(w, "actionStop")->isEnabled());

    // Rename the item that is not active: the tree shows the new name and sampling stops.
    tree(w)->setCurrentIndex(liveRow(w, 0));
    driver.acceptInput(QStringLiteral("  Bearing  "));
    action(w, "actionItemRename")->trigger();
    QCOMPARE(driver.last().text, QStringLiteral("New name:"));
    QCOMPARE(driver.last().value, QStringLiteral("Measure1"));
    QCOMPARE(liveNames(w), QStringList({ "Bearing", "Second" }));
    QCOMPARE(activeName(w), QStringLiteral("Second"));
    QVERIFY(!action(w, "actionStop")->isEnabled());

    // Keeping its own name is no clash; a cancelled rename says nothing.
    driver.acceptInput(QStringLiteral("Bearing"));
    action(w, "actionItemRename")->trigger();
    driver.rejectDialog();
    action(w, "actionItemRename")->trigger();
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().text, QStringLiteral("New name:"));

    // A blank name and a name another item has are refused, each saying why.
    driver.acceptInput(QStringLiteral("   "));
    driver.clickButton(QMessageBox::Ok);
    action(w, "actionItemRename")->trigger();
    QCOMPARE(
        driver.last().text, QStringLiteral("An item needs a name: \"Bearing\" keeps its name."));
    driver.acceptInput(QStringLiteral("Second "));
    driver.clickButton(QMessageBox::Ok);
    action(w, "actionItemRename")->trigger();
    QCOMPARE(driver.last().text,
        QStringLiteral(
            "An item named \"Second\" already exists under \"Live Data\". Choose another name."));
    // Groups cannot be renamed.
    tree(w)->setCurrentIndex(storeRow(w));
    action(w, "actionItemRename")->trigger();
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(liveNames(w), QStringList({ "Bearing", "Second" }));
    QCOMPARE(storeRow(w).data().toString(), QStringLiteral("Store Data"));
}

void WidgetTest::activation()
{
    Widget w;
    ModalDriver driver;
    driver.acceptInput(QStringLiteral("B"));
    action(w, "actionItemNew")->trigger();
    deliverLive(w, reading("1.00", 2, "cm/s")); // not running: dropped
    action(w, "actionStart")->trigger();
    deliverLive(w, reading("2.00", 2, "cm/s"));
    QCOMPARE(tableColumn(w, 3), QStringList { "2.00" });

    // Activating the active item again reloads nothing and keeps sampling on.
    QMetaObject::invokeMethod(&w, "itemSetToActive", Q_ARG(QModelIndex, liveRow(w, 1)));
    QVERIFY(action(w, "actionStop")->isEnabled());

    // "Live Data" never becomes active.
    QMetaObject::invokeMethod(
        &w, "on_tvItems_activated", Q_ARG(QModelIndex, treeModel(w)->index(1, 0)));
    QCOMPARE(activeName(w), QStringLiteral("B"));
    QVERIFY(action(w, "actionStop")->isEnabled());

    // Another item: sampling stops, its (empty) readings are shown.
    QMetaObject::invokeMethod(&w, "on_tvItems_activated", Q_ARG(QModelIndex, liveRow(w, 0)));
    QCOMPARE(activeName(w), QStringLiteral("Measure1"));
    QVERIFY(!action(w, "actionStop")->isEnabled());
    QCOMPARE(table(w)->rowCount(), 0);
    // Back to B: its reading is shown again, unchanged.
    QMetaObject::invokeMethod(&w, "on_tvItems_activated", Q_ARG(QModelIndex, liveRow(w, 1)));
    QCOMPARE(tableColumn(w, 3), QStringList { "2.00" });
    QCOMPARE(w.findChild<DMMChart*>(QStringLiteral("chart"))->pointCount(), 1);
}

void WidgetTest::deleteItems()
{
    Widget w;
    ModalDriver driver;
    driver.acceptInput(QStringLiteral("B"));
    action(w, "actionItemNew")->trigger();
    action(w, "actionStart")->trigger();
    deliverLive(w, reading("3.50", 2, "cm/s"));
    deliverLive(w, reading("3.60", 2, "cm/s"));

    // "No" keeps the item.
    tree(w)->setCurrentIndex(liveRow(w, 0));
    driver.clickButton(QMessageBox::No);
    action(w, "actionItemDelete")->trigger();
    QCOMPARE(driver.last().text, QStringLiteral("Are you sure delete this item?"));
    QCOMPARE(liveNames(w), QStringList({ "Measure1", "B" }));

    // Deleting an item that is not the active one leaves the active item on show.
    QPointer<ItemData> gone = itemData(liveRow(w, 0));
    driver.clickButton(QMessageBox::Yes);
    action(w, "actionItemDelete")->trigger();
    QVERIFY(gone.isNull());
    QCOMPARE(liveNames(w), QStringList { "B" });
    QCOMPARE(activeName(w), QStringLiteral("B"));
    QCOMPARE(tableColumn(w, 3), QStringList({ "3.50", "3.60" }));
    QCOMPARE(w.findChild<DMMChart*>(QStringLiteral("chart"))->pointCount(), 2);

    // Groups are never deleted.
    tree(w)->setCurrentIndex(storeRow(w));
    action(w, "actionItemDelete")->trigger();
    tree(w)->setCurrentIndex(treeModel(w)->index(1, 0));
    action(w, "actionItemDelete")->trigger();
    QCOMPARE(treeModel(w)->rowCount(), 2);
    QCOMPARE(driver.pending(), 0);
}

void WidgetTest::deletingTheOnlyItemLeavesNoActiveItem()
{
    Widget w;
    ModalDriver driver;
    action(w, "actionStart")->trigger();
    deliverLive(w, reading("1.00", 2, "cm/s"));
    QPointer<ItemData> measure1 = itemData(liveRow(w, 0));

    tree(w)->setCurrentIndex(liveRow(w, 0));
    driver.clickButton(QMessageBox::Yes);
    action(w, "actionItemDelete")->trigger();
    QVERIFY(measure1.isNull());
    QCOMPARE(liveNames(w), QStringList());
    QCOMPARE(activeName(w), QString());
    QCOMPARE(table(w)->rowCount(), 0);

    // Live readings are discarded now, whether sampling is started again or not.
    action(w, "actionStart")->trigger();
    QPointer<DmmData> dropped = reading("2.00", 2, "cm/s");
    deliverLive(w, dropped);
    QVERIFY(dropped.isNull());
    QCOMPARE(table(w)->rowCount(), 0);

    // After deleting Measure1, New proposes Measure1 again.
    driver.acceptInput(QString());
    action(w, "actionItemNew")->trigger();
    QCOMPARE(driver.last().value, QStringLiteral("Measure1"));
}

void WidgetTest::itemToolBarAndContextMenus_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("child"); // -1: the group row itself
    QTest::addColumn<QStringList>("actions");
    const QStringList itemActions { "actionItemSetToActive", "actionItemRename", "actionItemNew",
        "actionItemDelete" };
    QTest::newRow("measurement item") << 1 << 0 << itemActions;
    QTest::newRow("Store Data") << 0 << -1 << QStringList { "actionItemSetToActive" };
    QTest::newRow("Live Data") << 1 << -1 << QStringList { "actionItemNew" };
}

void WidgetTest::itemToolBarAndContextMenus()
{
    QFETCH(int, group);
    QFETCH(int, child);
    QFETCH(QStringList, actions);
    Widget w;
    w.show();
    QAbstractItemModel* m = treeModel(w);
    const QModelIndex index
        = child < 0 ? m->index(group, 0) : m->index(child, 0, m->index(group, 0));
    tree(w)->setCurrentIndex(index);
    QCOMPARE(
        actionNames(w.findChild<QToolBar*>(QStringLiteral("itemToolBar"))->actions()), actions);

    QStringList texts;
    for (const QString& name : actions)
        texts << w.findChild<QAction*>(name)->text();
    // After the tool bar's entries, items and "Store Data" offer their properties.
    if (!(group == 1 && child < 0))
        texts << QStringLiteral("Item Properties...");
    ModalDriver driver;
    driver.closeMenu();
    contextMenu(tree(w)->viewport());
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().className, QStringLiteral("QMenu"));
    QCOMPARE(driver.last().actions, texts);

    // The table has no menu; the message list offers Clear.
    driver.clearSeen();
    driver.closeMenu();
    contextMenu(w.findChild<QTableView*>(QStringLiteral("tv"))->viewport());
    QCOMPARE(driver.pending(), 1);
    driver.clearAnswers();
    auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    action(w, "actionMessages")->trigger();
    driver.closeMenu();
    contextMenu(list->viewport());
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().actions, QStringList { "Clear" });
}

void WidgetTest::liveReadingsStored_data()
{
    QTest::addColumn<int>("samplePoints");
    QTest::addColumn<bool>("infinite");
    QTest::addColumn<bool>("skipRepeat");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("stored");
    const QStringList steady { "12.34", "12.34", "12.34", "12.35", "12.34", "12.34" };
    QTest::newRow("all kept") << 1000 << true << false << steady << steady;
    QTest::newRow("skip repeat") << 1000 << true << true << steady
                                 << QStringList({ "12.34", "12.35", "12.34" });
    QTest::newRow("limit of three")
        << 3 << false << false << steady << QStringList({ "12.34", "12.34", "12.34" });
    QTest::newRow("limit ignored when infinite") << 3 << true << false << steady << steady;
    QTest::newRow("blanks are part of the text")
        << 1000 << true << true << QStringList({ " 1.00", "1.00", "1.00" })
        << QStringList({ " 1.00", "1.00" });
}

void WidgetTest::liveReadingsStored()
{
    QFETCH(int, samplePoints);
    QFETCH(bool, infinite);
    QFETCH(bool, skipRepeat);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, stored);
    Widget w;
    ModalDriver driver;
    setOptions(w, driver, samplePoints, infinite, 1000, skipRepeat);
    action(w, "actionStart")->trigger();
    for (const QString& text : texts)
        deliverLive(w, reading(text, 2, "cm/s"));

    QCOMPARE(tableColumn(w, 3), stored);
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), stored.size());
    QCOMPARE(w.findChild<DMMChart*>(QStringLiteral("chart"))->pointCount(), stored.size());
    // A full item does not stop sampling.
    QVERIFY(action(w, "actionStop")->isEnabled());
    // The panel shows the last reading even when it was not stored.
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("lcdValue"))->text(), texts.last());

    // A new item stores its first reading even when it repeats the previous item's last one.
    driver.acceptInput(QStringLiteral("Next"));
    action(w, "actionItemNew")->trigger();
    action(w, "actionStart")->trigger();
    deliverLive(w, reading(texts.last(), 2, "cm/s"));
    QCOMPARE(tableColumn(w, 3), QStringList { texts.last() });
}

void WidgetTest::readoutPanelFollowsReadings()
{
    Widget w;
    auto label = [&w](const char* name) { return w.findChild<QLabel*>(QLatin1String(name)); };
    DmmData* first = reading("    OL", 4, "mm", "Dp-p");
    first->setStatus0(true);
    first->setBattery(0);
    deliverLive(w, first); // sampling off: the panel stays as it was
    QCOMPARE(label("lcdValue")->text(), QStringLiteral("00000"));

    action(w, "actionStart")->trigger();
    DmmData* second = reading("    OL", 4, "mm", "Dp-p");
    second->setStatus0(true);
    second->setBattery(0);
    deliverLive(w, second);
    QCOMPARE(label("lcdValue")->text(), QStringLiteral("    OL"));
    QCOMPARE(label("lcdUnit")->text(), QStringLiteral("mm"));
    QCOMPARE(label("lcdFunction")->text(), QStringLiteral("Dp-p"));
    QCOMPARE(label("lcdFreq")->text(), QStringLiteral("10-1kHz"));
    QCOMPARE(label("lcdMax")->text(), QStringLiteral("MAX"));
    QCOMPARE(label("lcdHold")->text(), QStringLiteral("HOLD"));
    QVERIFY(label("lcdMax")->isHidden());
    QVERIFY(!label("lcdBat")->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(label("lcdBat")->pixmap(Qt::ReturnByValue).toImage(),
        QPixmap(QStringLiteral(":/image/bat0a.png")).toImage());
    // The unit code decides the chart's decimals: 4 ("mm") gives 3.
    QCOMPARE(w.findChild<DMMChart*>(QStringLiteral("chart"))->decimals(), 3);
}

void WidgetTest::unitChangeKeepsRecordedReadings()
{
    Widget w;
    action(w, "actionStart")->trigger();
    deliverLive(w, reading("1.10", 2, "cm/s"));
    deliverLive(w, reading("1.20", 2, "cm/s"));
    QPointer<ItemData> measure1 = itemData(liveRow(w, 0));

    deliverLive(w, reading("0.40", 1, "m/S2"));
    QVERIFY(!measure1.isNull());
    QCOMPARE(measure1->readingCount(), 2);
    QCOMPARE(measure1->unitText(), QStringLiteral("cm/s"));
    QCOMPARE(liveNames(w), QStringList({ "Measure1", "Measure2" }));
    QCOMPARE(activeName(w), QStringLiteral("Measure2"));
    QCOMPARE(tree(w)->currentIndex(), liveRow(w, 1));
    QCOMPARE(itemData(liveRow(w, 1))->unitText(), QStringLiteral("m/S2"));
    // Sampling goes on in the new item.
    QCOMPARE(states(w).mid(2, 2), QStringLiteral("01"));
    deliverLive(w, reading("0.50", 1, "m/S2"));
    QCOMPARE(tableColumn(w, 3), QStringList({ "0.40", "0.50" }));
    QCOMPARE(tableColumn(w, 4), QStringList({ "m/S2", "m/S2" }));
    auto* chart = w.findChild<DMMChart*>(QStringLiteral("chart"));
    QCOMPARE(chart->pointCount(), 2);
    QCOMPARE(chart->unitText(), QStringLiteral("m/S2"));
    QCOMPARE(chart->decimals(), 1);
    QCOMPARE(
        w.findChild<Histogram*>(QStringLiteral("Histogram1"))->yTitle(), QStringLiteral("m/S2"));
}

void WidgetTest::emptyItemTakesNewUnit()
{
    Widget w;
    action(w, "actionStart")->trigger();
    deliverLive(w, reading("1.10", 2, "cm/s"));
    QCOMPARE(w.findChild<DMMChart*>(QStringLiteral("chart"))->decimals(), 2);
    // Emptied by hand (as a new item would be), the item simply takes the unit of the next reading.
    itemData(liveRow(w, 0))->clearReadings();
    deliverLive(w, reading("7.00", 4, "mm"));
    QCOMPARE(liveNames(w), QStringList { "Measure1" });
    QCOMPARE(itemData(liveRow(w, 0))->unitText(), QStringLiteral("mm"));
    QCOMPARE(tableColumn(w, 3), QStringList { "7.00" });
    QCOMPARE(w.findChild<DMMChart*>(QStringLiteral("chart"))->decimals(), 3);
}

void WidgetTest::storedReadingsFillStoreData()
{
    Widget w;
    action(w, "actionStart")->trigger();
    deliverLive(w, reading("5.00", 2, "cm/s"));

    deliverStored(w, storedReading(7, " 0.50"));
    QCOMPARE(activeName(w), QStringLiteral("Store Data"));
    QCOMPARE(tree(w)->currentIndex(), storeRow(w));
    QCOMPARE(states(w), QStringLiteral("10000"));
    deliverStored(w, storedReading(8, " 1.00"));
    QCOMPARE(tableColumn(w, 0), QStringList({ "7", "8" }));
    // The chart shows stored readings only once the item is reloaded.
    auto* chart = w.findChild<DMMChart*>(QStringLiteral("chart"));
    QCOMPARE(chart->pointCount(), 0);

    // Readings in a row are one download; after a quiet period the next one starts afresh.
    QSignalSpy steps(&w, &Widget::updateDowndPos);
    QVERIFY(steps.isValid());
    deliverStored(w, storedReading(9, " 1.50"));
    QCOMPARE(itemData(storeRow(w))->readingCount(), 3);
    // The quiet period ends with the download's complete step.
    QTRY_COMPARE(steps.last(), (QVariantList { 3, 3 }));
    deliverStored(w, storedReading(1, " 9.00"));
    QCOMPARE(tableColumn(w, 0), QStringList { "1" });
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), 1);

    w.findChild<QComboBox*>(QStringLiteral("cbbChartUnit"))->setCurrentIndex(1);
    QCOMPARE(chart->pointCount(), 1);
}

void WidgetTest::downloadGoesOnOrStartsAnew_data()
{
    // Record numbers of stored readings as they arrive; "|" is the quiet period that ends a
    // download, "B" the download command's start of a new download.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("held"); // record numbers in "Store Data" at the end

    QTest::newRow("one download") << "1 2 3 4 5"
                                  << "1 2 3 4 5";
    QTest::newRow("a pause, then the next record") << "1 2 3 | 4 5"
                                                   << "1 2 3 4 5";
    QTest::newRow("two pauses") << "1 2 | 3 | 4"
                                << "1 2 3 4";
    QTest::newRow("a pause, then the memory again") << "1 2 3 | 1 2"
                                                    << "1 2";
    QTest::newRow("a pause, then a gap") << "1 2 3 | 5 6"
                                         << "5 6";
    QTest::newRow("a pause, then the last record again") << "1 2 3 | 3 4"
                                                         << "3 4";
    QTest::newRow("a new download replaces, whatever its numbers") << "1 2 3 B 4 5"
                                                                   << "4 5";
    QTest::newRow("a new download that brings nothing keeps the last") << "1 2 3 | B"
                                                                       << "1 2 3";
    QTest::newRow("first download after a quiet start") << "| 7 8"
                                                        << "7 8";
}

void WidgetTest::downloadGoesOnOrStartsAnew()
{
    QFETCH(QString, script);
    QFETCH(QString, held);
    Widget w;
    auto* recorder = w.findChild<Recorder*>(QStringLiteral("recorder"));
    QVERIFY(recorder);
    for (const QString& step : script.split(' ')) {
        if (step == QLatin1String("|"))
            recorder->endDownload();
        else if (step == QLatin1String("B"))
            recorder->beginDownload();
        else
            deliverStored(w, storedReading(step.toInt(), " 0.50"));
    }
    QStringList numbers;
    for (const DmmData* d : itemData(storeRow(w))->readings())
        numbers << QString::number(d->storeIndex());
    QCOMPARE(numbers.join(' '), held);
    QCOMPARE(activeName(w), QStringLiteral("Store Data"));
    QCOMPARE(tableColumn(w, 0).join(' '), held);
}

void WidgetTest::chartUnitComboReloads()
{
    Widget w;
    action(w, "actionStart")->trigger();
    const QStringList texts { " 1.25", "-2.50", "10.00" };
    for (const QString& text : texts)
        deliverLive(w, reading(text, 2, "cm/s"));
    auto* chart = w.findChild<DMMChart*>(QStringLiteral("chart"));
    auto chartValues = [chart] {
        QList<double> values;
        for (int i = 0; i < chart->pointCount(); ++i)
            values << chart->point(i)->value;
        return values;
    };
    const QList<double> before = chartValues();
    QCOMPARE(before, QList<double>({ 1.25, -2.5, 10.0 }));

    auto* combo = w.findChild<QComboBox*>(QStringLiteral("cbbChartUnit"));
    for (int i : { 2, 0, 1 }) {
        combo->setCurrentIndex(i);
        QCOMPARE(chartValues(), before);
        QCOMPARE(tableColumn(w, 3), texts);
    }
    // Reloading takes the decimals from the detection: "Vrms" gives 2.
    QCOMPARE(chart->decimals(), 2);
}

void WidgetTest::optionsDialogRoundTrip()
{
    Widget w;
    ModalDriver driver;
    QCOMPARE(optionsShown(w, driver), QStringLiteral("1000 1 1000 0 locked"));
    setOptions(w, driver, 25, false, 0, true);
    QCOMPARE(optionsShown(w, driver), QStringLiteral("25 0 0 1 editable"));

    // Cancel leaves the link untouched.
    driver.expect([](QWidget* dialogWidget) {
        auto* dialog = qobject_cast<OptionDialog*>(dialogWidget);
        dialog->sbSampleRate->setValue(999);
        dialog->infinite->setChecked(true);
        dialog->btnCancel->click();
    });
    action(w, "actionOption")->trigger();
    QCOMPARE(optionsShown(w, driver), QStringLiteral("25 0 0 1 editable"));
}

void WidgetTest::settingsApplied_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no file: defaults") << QByteArray() << "1000 1 1000 0 locked";
    QTest::newRow("sample rate only")
        << QByteArray("<?xml version=\"1.0\"?><options><SampleRate>500</SampleRate></options>")
        << "1000 1 500 0 locked";
    // Recording with what the dialog shows: no hidden count of 0 points.
    QTest::newRow("abc keeps the default count")
        << QByteArray("<options><SamplePoints>abc</SamplePoints><Infinite>0</Infinite></options>")
        << "1000 0 1000 0 editable";
    QTest::newRow("other root, blank text ignored")
        << QByteArray("<config><SkipRepeat>1</SkipRepeat><SampleRate>  </SampleRate></config>")
        << "1000 1 1000 1 locked";
}

void WidgetTest::settingsApplied()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    if (!file.isEmpty())
        QVERIFY(writeSettings(file));
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalDriver driver;
    QCOMPARE(optionsShown(w, driver), shown);
}

void WidgetTest::minimiseRestoreKeepsDialogChanges()
{
    QVERIFY(writeSettings("<options><SampleRate>500</SampleRate></options>"));
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalDriver driver;
    setOptions(w, driver, 10, false, 250, false);
    w.showMinimized();
    QTRY_VERIFY(w.isMinimized());
    w.hide();
    w.showNormal();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(optionsShown(w, driver), QStringLiteral("10 0 250 0 editable"));
}

void WidgetTest::closeWritesSettings()
{
    QByteArray geometry;
    {
        Widget w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.move(40, 30);
        w.resize(800, 500);
        ModalDriver driver;
        setOptions(w, driver, 77, false, 125, true);
        geometry = w.saveGeometry();
        QVERIFY(w.close());
    }
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("<SamplePoints>77</SamplePoints>"), text.constData());
    QVERIFY(text.contains("<Geometry>" + geometry.toHex() + "</Geometry>"));
    QVERIFY(text.contains("<Language>EN</Language>")); // an accepted dialog chose English
    file.close();

    Widget again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.size(), QSize(800, 500));
    ModalDriver driver;
    QCOMPARE(optionsShown(again, driver), QStringLiteral("77 0 125 1 editable"));
}

void WidgetTest::closeWarnsWhenSettingsCannotBeWritten()
{
    // A folder where the file should be: neither readable as settings nor replaceable.
    QVERIFY(QDir().mkpath(settingsPath()));
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalDriver driver;
    driver.clickButton(QMessageBox::Ok);
    QVERIFY(w.close());
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(driver.last().text, QStringLiteral("Can not open file."));
    QVERIFY(!w.isVisible());
    QVERIFY(QFileInfo(settingsPath()).isDir());
}

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

void WidgetTest::manual()
{
    Widget w;
    ModalDriver driver;
    const QString manualPath
        = QCoreApplication::applicationDirPath() + QStringLiteral("/Software User Manual.pdf");
    QFile::remove(manualPath);
    driver.clickButton(QMessageBox::Ok);
    action(w, "actionManual")->trigger();
    QCOMPARE(driver.pending(), 0);
    QVERIFY2(
        driver.last().text.contains("Software User Manual.pdf"), qPrintable(driver.last().text));

    QFile manual(manualPath);
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.write("%PDF-1.4\n");
    manual.close();
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    action(w, "actionManual")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QFile::remove(manualPath);
    QCOMPARE(recorder.opened, QList<QUrl> { QUrl::fromLocalFile(manualPath) });
}

void WidgetTest::messages()
{
    Widget w;
    w.show();
    auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    QMetaObject::invokeMethod(&w, "slotMessage", Q_ARG(QString, QStringLiteral("  first  ")));
    QMetaObject::invokeMethod(&w, "slotMessage", Q_ARG(QString, QStringLiteral("second")));
    QCOMPARE(list->count(), 2);
    // Each line carries its time; the text follows unchanged.
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d   first  $"))
                 .match(list->item(0)->text())
                 .hasMatch(),
        qPrintable(list->item(0)->text()));
    QVERIFY(!list->isVisible());
    action(w, "actionMessages")->trigger();
    QVERIFY(list->isVisible());
    action(w, "actionClearMsg")->trigger();
    QCOMPARE(list->count(), 0);
    action(w, "actionMessages")->trigger();
    QVERIFY(!list->isVisible());
}

void WidgetTest::nothingLeaksAtDestruction()
{
    QList<QPointer<QObject>> owned;
    {
        Widget w;
        ModalDriver driver;
        driver.acceptInput(QStringLiteral("B"));
        action(w, "actionItemNew")->trigger();
        action(w, "actionStart")->trigger();
        DmmData* kept = reading("1.00", 2, "cm/s");
        deliverLive(w, kept);
        deliverStored(w, storedReading(1, " 0.50"));
        owned << kept << table(w) << itemData(storeRow(w)) << itemData(treeModel(w)->index(1, 0))
              << itemData(liveRow(w, 0)) << itemData(liveRow(w, 1));
        for (const auto& object : owned)
            QVERIFY(!object.isNull());
    }
    for (const auto& object : owned)
        QVERIFY(object.isNull());
}

QTEST_MAIN(WidgetTest)
#include "tst_widget.moc"
