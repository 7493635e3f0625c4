#pragma once

#include "dmmdata.h"
#include "itemdata.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>
#include <QString>

#include <memory>

struct ColumnHeader;
class DataModel;
class DlgDownload;
class Exporter;
class Histogram;
class ItemTree;
class MyDmm;
class Reconnector;
class Recorder;
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
    void downloadEnded(int received);
    void connectionLost();

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
    // Settings are applied at the first show only, so that restoring a minimised window keeps
    // what the user changed since.
    bool settingsRestored = false;
    QPointer<DlgDownload> downloadDialog;
};
