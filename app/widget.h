#pragma once

#include "alarmmonitor.h"
#include "dmmdata.h"
#include "itemdata.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>

struct ColumnHeader;
class DataModel;
class ConditionMonitor;
class DlgDownload;
class dlgSyncTime;
class Exporter;
class Histogram;
class ItemTree;
class JournalNotice;
class MyDmm;
class Reconnector;
class Recorder;
class StatisticsPanel;
class ZoneBadge;
class QLabel;
class QTimer;
class SessionCommands;
class TvItemModel;

namespace Ui {
class Widget;
}

// The main window: wires the meter link, the recorder, the item tree and the views, and carries
// out the user's commands.
class Widget : public QMainWindow
{
    Q_OBJECT

public:
    explicit Widget(QWidget* parent = nullptr);
    ~Widget() override;

signals:
    void updateDowndPos(int total, int pos);

private slots:
    void initObj();
    void initConnec();
    void initWidget();
    void initSelf();
    void saveSettings();
    void restoreSettings();
    void newItem(QString name, ItemData::DataType type);
    void slotAction();
    void slotDmmOpened();
    void slotDmmClosed();
    void slotUSBRefreshed(int num);
    void on_actionTest_triggered();
    void on_actionManual_triggered();
    void on_actionClearMsg_triggered();
    void on_actionItemNew_triggered();
    void on_actionItemDelete_triggered();
    void on_actionItemRename_triggered();
    void on_actionItemSetToActive_triggered();
    void on_actionItemDownload_triggered();
    void on_actionStart_triggered();
    void on_actionStop_triggered();
    void on_actionExport_triggered();
    void on_actionImport_triggered();
    void on_cbbChartUnit_currentTextChanged(QString text);
    void on_actionSyncTime_triggered();
    void slotMessage(QString msg);
    void itemSetToActive(QModelIndex index);
    void on_tvItems_activated(QModelIndex index);
    void slotItemModeleditDataChanged(QModelIndex index);
    void slotCurrentRowChanged(QModelIndex current, QModelIndex previous);
    void slotDmmDisplay(const DmmData* data);
    void slotStoreNum(int total, int num);
    void slotDisplayStore(const DmmData* data);
    void slotSyncTime(QDateTime dt);
    void reloadActiveItem();
    void on_actionMessages_toggled(bool checked);
    void showAbout();
    // Brought up to date at once (they follow the readings on a timer otherwise).
    void updateStatus();
    void refreshStatistics();
    void slotJournalProblem(const QString& text);

protected:
    bool eventFilter(QObject* obj, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void exportXls();
    void exportPdf();

    QList<QAction*> itemActions(const QModelIndex& index) const;
    void updateStartStop();
    void setRunning(bool on);
    void clearViews();
    void showOpenFailure();
    void applyLimits();
    void continueInNewItem();
    void showUnit(int unitCode, const QString& unitText);
    void downloadStarted();
    void showStoreData();
    void downloadEnded(int received);
    // Says so and returns true when an item under "Live Data" already has this name.
    bool refuseTakenName(const QString& name);
    void connectionLost();
    void itemFull(ItemData* item, int limit);
    void showFull(ItemData* item, bool full);
    void buildToolkit();
    void showItemProperties();
    void showCondition(const DmmData* reading);
    // The chart's zone bands and level lines, from the shown item's properties and readings.
    void showZones();
    void alarmCrossed(ItemData* item, const AlarmMonitor::Crossing& crossing);
    void buildMenus();
    void buildStatusBar();
    void scheduleStatus();
    void fitMainToolBar();

    Ui::Widget* ui;
    MyDmm* dmm;
    DataModel* dataModel;
    QIcon itemIcon;
    TvItemModel* itemModel;
    Histogram* histogram;
    QList<ColumnHeader*> columnHeaders;
    bool fixedLanguage;
    QString language;

    Recorder* recorder = nullptr;
    ItemTree* items = nullptr;
    Exporter* exporter = nullptr;
    Reconnector* reconnector = nullptr;
    // The recording journal, restore and session files; it goes before the items do.
    SessionCommands* sessions = nullptr;
    JournalNotice* notice = nullptr;
    QAction* actionSaveSession = nullptr;
    QAction* actionOpenSession = nullptr;
    // Settings are applied at the first show only, so that restoring a minimised window keeps
    // what the user changed since.
    bool settingsRestored = false;
    QPointer<DlgDownload> downloadDialog;
    QPointer<dlgSyncTime> syncDialog;

    // Items that reached their limit while sampling; their rows say so.
    QSet<ItemData*> fullItems;
    ConditionMonitor* condition = nullptr;
    ZoneBadge* zoneBadge = nullptr;
    StatisticsPanel* statisticsPanel = nullptr;
    QTimer* statisticsTimer = nullptr;
    QAction* actionItemProperties = nullptr;
    QAction* actionAlarmBeep = nullptr;
    QLabel* linkStatus = nullptr;
    QLabel* itemStatus = nullptr;
    QTimer* statusTimer = nullptr;
    bool scrollPending = false;
    // Width the main tool bar needs with text under its icons; narrower, it shows icons only.
    int toolBarTextWidth = 0;
};
