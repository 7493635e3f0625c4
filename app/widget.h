#pragma once

#include "dmmdata.h"
#include "hiddeviceinfo.h"
#include "itemdata.h"

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>
#include <QString>

struct ColumnHeader;
class DataModel;
class DlgDownload;
class Histogram;
class MyDmm;
class QStandardItem;
class TvItemModel;
class USBPNPDetector;

namespace Ui {
class Widget;
}

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
    void slotUSBDiscovered(HIDDeviceInfo info);
    void slotUSBRemoved(HIDDeviceInfo info);

protected:
    bool eventFilter(QObject* obj, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Implemented beside the export code (widget_export.cpp).
    void exportXls();
    void exportPdf();
    void exportCsv();

    QString defaultItemName() const;
    QModelIndex storeIndex() const;
    ItemData* itemDataAt(const QModelIndex& index) const;
    QList<QAction*> itemActions(const QModelIndex& index) const;
    void updateStartStop();
    void clearViews();
    void showOpenFailure();
    void tryReconnect(const QString& portName);

    Ui::Widget* ui;
    MyDmm* dmm;
    ItemData* activeItem;
    bool running;
    DataModel* dataModel;
    QIcon itemIcon;
    TvItemModel* itemModel;
    Histogram* histogram;
    QStandardItem* liveDataItem;
    QList<ColumnHeader*> columnHeaders;
    bool storeStarting;
    int storeTimerId;
    bool fixedLanguage;
    QString language;

    // Settings are applied at the first show only, so that restoring a minimised window keeps
    // what the user changed since.
    bool settingsRestored = false;
    QPointer<DlgDownload> downloadDialog;

    // The window's own hot-plug detector: it tells when the meter comes back after the link lost
    // it, so that the window reconnects by itself.
    USBPNPDetector* usbDetector = nullptr;
    // The link closed without the user asking (cable pulled, meter switched off).
    bool reconnectWanted = false;
    bool closingByUser = false;
    int reconnectTries = 0;
};
