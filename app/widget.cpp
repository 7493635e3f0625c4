#include "widget.h"

#include "columnheader.h"
#include "datamodel.h"
#include "dlgdownload.h"
#include "dmmchart.h"
#include "histogram.h"
#include "mydmm.h"
#include "openfailure.h"
#include "optiondialog.h"
#include "readoutpanel.h"
#include "reconnect.h"
#include "settingsfile.h"
#include "tvitemmodel.h"
#include "ui_widget.h"
#include "usbpnpdetector.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <limits>
#include <memory>

// The icons live in a static library of their own; referencing their registration keeps the
// linker from dropping them. (Outside any namespace, as the macro declares a global function.)
static void registerIcons()
{
    Q_INIT_RESOURCE(icons);
}

Widget::Widget(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::Widget)
    , dmm(nullptr)
    , activeItem(nullptr)
    , running(false)
    , dataModel(nullptr)
    , itemModel(nullptr)
    , histogram(nullptr)
    , liveDataItem(nullptr)
    , storeStarting(true)
    , storeTimerId(0)
    , fixedLanguage(false)
{
    registerIcons();
    ui->setupUi(this);
    initObj();
    initWidget();
    initSelf();
    initConnec();
}

Widget::~Widget()
{
    if (storeTimerId != 0)
        killTimer(storeTimerId);
    closingByUser = true;
    dmm->close();
    delete dmm;
    dmm = nullptr;

    // The views borrow readings and headers: detach them before their owners go.
    ui->tv->setModel(nullptr);
    delete dataModel;
    dataModel = nullptr;
    activeItem = nullptr;
    const int groups = itemModel->rowCount();
    for (int row = 0; row < groups; ++row) {
        QStandardItem* group = itemModel->item(row);
        for (int child = 0; child < group->rowCount(); ++child)
            delete itemDataAt(group->child(child)->index());
        delete itemDataAt(group->index());
    }
    itemModel->clear();
    qDeleteAll(columnHeaders);
    columnHeaders.clear();
    delete ui;
}

void Widget::initObj()
{
    dmm = new MyDmm;
#ifdef Q_OS_WIN
    // The device-interface class of USB devices, the one the link registers for as well.
    static const GUID usbDevices
        = { 0xA5DCBF10, 0x6530, 0x11D2, { 0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED } };
    usbDetector = new USBPNPDetector(&usbDevices, 1, this);
#else
    usbDetector = new USBPNPDetector(this);
#endif
    usbDetector->setObjectName(QStringLiteral("usbDetector"));

    columnHeaders << new ColumnHeader { tr("No."), 2 } << new ColumnHeader { tr("Date/Time"), 3 }
                  << new ColumnHeader { tr("Function"), 3 } << new ColumnHeader { tr("Value"), 3 }
                  << new ColumnHeader { tr("Unit"), 2 }
                  << new ColumnHeader { tr("Frequency(Hz)"), 3 };
    dataModel = new DataModel(columnHeaders);

    histogram = ui->Histogram1;
    histogram->setMargins(30, 20, 20, 30);
    const double lowest = std::numeric_limits<double>::lowest();
    const double highest = std::numeric_limits<double>::max();
    const QList<QPair<double, double>> bounds = { { lowest, 0 }, { 0, 200 }, { 200, 400 },
        { 400, 600 }, { 600, 800 }, { 800, 1000 }, { 1000, 1250 }, { 1250, highest } };
    QList<BinRange*> ranges; // owned by the histogram from here on
    for (const auto& bound : bounds)
        ranges << new BinRange { bound.first, bound.second };
    histogram->setRanges(ranges);
}

void Widget::initWidget()
{
    QHeaderView* header = ui->tv->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionsClickable(false);
    ui->tv->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tv->setModel(dataModel);
    const int widths[] = { 80, 150, 100, 80, 100 };
    for (int column = 0; column < 5; ++column)
        ui->tv->setColumnWidth(column, widths[column]);

    ui->tvItems->installEventFilter(this);
    ui->tv->installEventFilter(this);
    ui->listWidget->installEventFilter(this);

    ui->actionConnect->setEnabled(true);

    QMenu* file = ui->menuBar->addMenu(tr("&File"));
    file->addAction(ui->actionConnect);
    file->addAction(ui->actionDisconnect);
    file->addAction(ui->actionStart);
    file->addAction(ui->actionStop);
    file->addAction(ui->actionItemDownload);
    file->addAction(ui->actionSyncTime);
    file->addSeparator();
    file->addAction(ui->actionExport);
    file->addAction(ui->actionOption);
    file->addAction(ui->actionMessages);
    file->addSeparator();
    file->addAction(ui->actionClose);
    QMenu* help = ui->menuBar->addMenu(tr("&Help"));
    help->addAction(ui->actionManual);

    itemIcon = QIcon(QStringLiteral(":/image/measure.png"));

    ui->tvItems->setHeaderHidden(true);
    ui->tvItems->setAnimated(true);
    ui->tvItems->header()->setStretchLastSection(true);
    ui->tvItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemModel = new TvItemModel(this);
    itemModel->setHorizontalHeaderLabels({ tr("Name") });
    ui->tvItems->setModel(itemModel);

    auto* store = new QStandardItem(QIcon(QStringLiteral(":/image/rom.png")), tr("Store Data"));
    store->setData(
        QVariant::fromValue(new ItemData(tr("Store Data"), ItemData::StoreData)), ItemDataRole);
    itemModel->appendRow(store);
    liveDataItem = new QStandardItem(QIcon(QStringLiteral(":/image/live.png")), tr("Live Data"));
    liveDataItem->setData(
        QVariant::fromValue(new ItemData(tr("Live Data"), ItemData::LiveGroup)), ItemDataRole);
    itemModel->appendRow(liveDataItem);

    const QString firstName = QStringLiteral("Measure%1").arg(1);
    auto* first = new QStandardItem(itemIcon, firstName);
    first->setData(
        QVariant::fromValue(new ItemData(firstName, ItemData::LiveMeasure)), ItemDataRole);
    liveDataItem->appendRow(first);

    ui->tvItems->expandAll();
    const QModelIndex measure1 = itemModel->index(0, 0, itemModel->index(1, 0));
    itemSetToActive(measure1);
    ui->tvItems->setCurrentIndex(measure1);
    slotCurrentRowChanged(measure1, QModelIndex());

    ui->tabWidget->setStyleSheet(QStringLiteral("QTabBar::tab{min-width:100px}"));
    ui->tabWidget->setTabText(0, tr("Table"));
    ui->tabWidget->setTabIcon(0, QIcon(QStringLiteral(":/image/table.png")));
    ui->tabWidget->setTabText(1, tr("Histogram"));
    ui->tabWidget->setTabIcon(1, QIcon(QStringLiteral(":/image/item.png")));
    ui->tabWidget->setTabText(2, tr("Chart"));
    ui->tabWidget->setTabIcon(2, QIcon(QStringLiteral(":/image/chart.png")));
    ui->tabWidget->removeTab(1);
    ui->tabWidget->setCurrentIndex(0);

    ui->chart->setLeftMargin(70);
    ui->chart->setBottomMargin(68);
    ui->chart->setXTitle(tr("Date Time"));
    histogram->setMargins(100, 20, 20, 50);
    histogram->setYTitle(tr("Thickness(um)"));
    histogram->setXTitle(tr("Rate"));

    ui->listWidget->hide();
    ui->lcd->prepareForReadings();

    auto* spacer = new QWidget(ui->mainToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->mainToolBar->insertWidget(ui->actionClose, spacer);
}

void Widget::initSelf()
{
    setWindowTitle(tr("%1 v%2 ").arg(QStringLiteral("VK418E"), QStringLiteral("2")));
    resize(1000, 600);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize desktop = screen->virtualSize();
        move((desktop.width() - width()) / 2, (desktop.height() - height()) / 2);
    }
}

void Widget::initConnec()
{
    connect(dmm, &MyDmm::opened, this, &Widget::slotDmmOpened);
    connect(dmm, &MyDmm::closed, this, &Widget::slotDmmClosed);
    connect(dmm, &MyDmm::message, this, &Widget::slotMessage);
    connect(dmm, &MyDmm::display, this, &Widget::slotDmmDisplay);
    connect(dmm, &MyDmm::displayStore, this, &Widget::slotDisplayStore);
    connect(dmm, &MyDmm::storeNum, this, &Widget::slotStoreNum);
    connect(usbDetector, &USBPNPDetector::deviceDiscovered, this, &Widget::slotUSBDiscovered);
    connect(usbDetector, &USBPNPDetector::deviceRemoved, this, &Widget::slotUSBRemoved);
    connect(itemModel, &TvItemModel::editDataChanged, this, &Widget::slotItemModeleditDataChanged);
    connect(ui->tvItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &Widget::slotCurrentRowChanged);
    for (QAction* action :
        { ui->actionConnect, ui->actionDisconnect, ui->actionOption, ui->actionClose })
        connect(action, &QAction::triggered, this, &Widget::slotAction);
}

void Widget::saveSettings()
{
    SettingsValues values;
    values.geometry = saveGeometry();
    values.state = saveState(0);
    values.fixedLanguage = fixedLanguage;
    values.language = language;
    values.samplePoints = dmm->samplePoints();
    values.infinite = dmm->infinite();
    values.sampleRate = dmm->sampleRate();
    values.skipRepeat = dmm->skipRepeat();
    if (!SettingsFile().write(values))
        QMessageBox::warning(this, QString(), tr("Can not open file."), QMessageBox::Ok);
}

void Widget::restoreSettings()
{
    SettingsValues values;
    if (!SettingsFile().read(values))
        return;
    if (values.geometry)
        restoreGeometry(*values.geometry);
    if (values.state)
        restoreState(*values.state, 0);
    if (values.fixedLanguage)
        fixedLanguage = *values.fixedLanguage;
    if (values.language)
        language = *values.language;
    if (values.samplePoints)
        dmm->setSamplePoints(*values.samplePoints);
    if (values.infinite)
        dmm->setInfinite(*values.infinite);
    if (values.sampleRate)
        dmm->setSampleRate(*values.sampleRate);
    if (values.skipRepeat)
        dmm->setSkipRepeat(*values.skipRepeat);
}

void Widget::slotAction()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    if (action == ui->actionConnect) {
        if (!dmm->open())
            showOpenFailure();
    } else if (action == ui->actionDisconnect) {
        closingByUser = true;
        dmm->close();
        closingByUser = false;
    } else if (action == ui->actionOption) {
        std::unique_ptr<OptionDialog> dialog(new OptionDialog(true, this));
        dialog->sbSamplePoints->setValue(dmm->samplePoints());
        dialog->infinite->setChecked(dmm->infinite());
        dialog->sbSampleRate->setValue(dmm->sampleRate());
        dialog->chkSkipRepeat->setChecked(dmm->skipRepeat());
        dialog->sbSamplePoints->setEnabled(!dmm->infinite());
        dialog->setLanguageIndex(language == QLatin1String("OTHER") ? 1 : 0);
        if (dialog->exec() == QDialog::Accepted) {
            dmm->setSampleRate(dialog->sbSampleRate->value());
            dmm->setInfinite(dialog->infinite->isChecked());
            dmm->setSkipRepeat(dialog->chkSkipRepeat->isChecked());
            dmm->setSamplePoints(dialog->sbSamplePoints->value());
            QString choice;
            if (dialog->languageIndex() == 0)
                choice = QStringLiteral("EN");
            else if (dialog->languageIndex() == 1)
                choice = QStringLiteral("OTHER");
            if (choice != language)
                language = choice;
        }
    } else if (action == ui->actionClose) {
        close();
    }
}

void Widget::showOpenFailure()
{
    QMessageBox box(
        QMessageBox::Critical, QString(), tr("Failed to open device."), QMessageBox::Ok, this);
    box.setInformativeText(OpenFailure::describe(MyDmm::portOverride()));
    box.exec();
}

void Widget::slotDmmOpened()
{
    ui->actionConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(true);
    ui->actionStart->setEnabled(!(activeItem && activeItem->type() == ItemData::StoreData));
    ui->actionStop->setEnabled(false);
    ui->actionSyncTime->setEnabled(true);
    reconnectWanted = false;
    reconnectTries = 0;
}

void Widget::slotDmmClosed()
{
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    running = false;
    ui->actionStart->setEnabled(false);
    ui->actionStop->setEnabled(false);
    ui->actionSyncTime->setEnabled(false);
    if (!closingByUser && !reconnectWanted) {
        reconnectWanted = true;
        slotMessage(tr("The meter was disconnected. It is connected again as soon as it is back."));
        // Losing the meter is worth seeing: the message list opens (the user may close it again).
        ui->actionMessages->setChecked(true);
    }
}

void Widget::slotUSBRemoved(HIDDeviceInfo info)
{
    dmm->slotUSBRemoved(info);
}

void Widget::slotUSBDiscovered(HIDDeviceInfo info)
{
    if (!reconnectWanted || dmm->isOpened())
        return;
    const QString overrideName = Reconnect::overridePortName(MyDmm::portOverride());
    const QList<Reconnect::Port> ports
        = overrideName.isEmpty() ? Reconnect::availablePorts() : QList<Reconnect::Port>();
    if (!Reconnect::isMeterArrival(info.name, overrideName, ports))
        return;
    reconnectTries = 0;
    tryReconnect(info.name);
}

void Widget::tryReconnect(const QString& portName)
{
    if (!reconnectWanted || dmm->isOpened())
        return;
    if (dmm->open()) {
        // Sampling stays off (slotDmmClosed stopped it): the user decides when recording goes on.
        slotMessage(tr("The meter is back on %1 and connected again. Choose Start to record.")
                        .arg(portName));
        return;
    }
    // A port that has just appeared may not be ready, or not yet accessible, for a moment.
    if (++reconnectTries < 5) {
        QTimer::singleShot(400, this, [this, portName] { tryReconnect(portName); });
        return;
    }
    slotMessage(tr("The meter is back on %1 but could not be opened. Choose Connect to try again.")
                    .arg(portName));
}

void Widget::slotUSBRefreshed(int num)
{
    ui->actionConnect->setEnabled(num > 0);
}

void Widget::on_actionTest_triggered() { }

void Widget::on_actionManual_triggered()
{
    const QString name = QStringLiteral("Software User Manual.pdf");
    QStringList candidates { QDir(QCoreApplication::applicationDirPath()).filePath(name) };
#ifdef VIBVIEW_DOC_DIR
    candidates << QDir(QStringLiteral(VIBVIEW_DOC_DIR)).filePath(name);
#endif
#ifdef VIBVIEW_DOC_DIR_FROM_BIN
    // Where the package or any install prefix puts it, relative to the installed executable.
    candidates << QDir(QCoreApplication::applicationDirPath())
                      .filePath(QStringLiteral(VIBVIEW_DOC_DIR_FROM_BIN "/") + name);
#endif
    candidates << QDir::current().filePath(name);
    QString found;
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) {
            found = path;
            break;
        }
    }
    if (found.isEmpty()) {
        QMessageBox::warning(this, QString(),
            tr("The user manual \"%1\" was not found beside the program.").arg(name),
            QMessageBox::Ok);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(found)))
        QMessageBox::warning(this, QString(),
            tr("The user manual \"%1\" could not be opened.").arg(QDir::toNativeSeparators(found)),
            QMessageBox::Ok);
}

void Widget::on_actionClearMsg_triggered()
{
    ui->listWidget->clear();
}

void Widget::on_actionImport_triggered() { }

void Widget::on_actionMessages_toggled(bool checked)
{
    ui->listWidget->setVisible(checked);
}

void Widget::slotMessage(QString msg)
{
    ui->listWidget->addItem(msg);
    ui->listWidget->scrollToBottom();
}

bool Widget::eventFilter(QObject* obj, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu) {
        const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QList<QAction*> actions;
        if (obj->objectName() == QLatin1String("listWidget"))
            actions << ui->actionClearMsg;
        else if (obj->objectName() == QLatin1String("tvItems"))
            actions = itemActions(ui->tvItems->currentIndex());
        if (!actions.isEmpty()) {
            auto* menu = new QMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->addActions(actions);
            menu->exec(menuEvent->globalPos());
        }
    }
    return QMainWindow::eventFilter(obj, event);
}

void Widget::closeEvent(QCloseEvent* event)
{
    saveSettings();
    QMainWindow::closeEvent(event);
}

void Widget::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!settingsRestored) {
        settingsRestored = true;
        restoreSettings();
    }
}
