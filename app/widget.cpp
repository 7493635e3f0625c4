#include "widget.h"

#include "chartzones.h"
#include "columnheader.h"
#include "conditionmonitor.h"
#include "datamodel.h"
#include "dlgdownload.h"
#include "dlgexport.h"
#include "dlgsynctime.h"
#include "dmmchart.h"
#include "exporter.h"
#include "histogram.h"
#include "itempropertiesdialog.h"
#include "itemtree.h"
#include "journalnotice.h"
#include "mydmm.h"
#include "openfailure.h"
#include "optiondialog.h"
#include "readingdelegate.h"
#include "readoutpanel.h"
#include "reconnector.h"
#include "recorder.h"
#include "sessioncommands.h"
#include "settingsfile.h"
#include "statisticspanel.h"
#include "tvitemmodel.h"
#include "ui_widget.h"
#include "waitcursor.h"
#include "zonebadge.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QUrl>

#include <limits>

// The icons live in a static library of their own; referencing their registration keeps the
// linker from dropping them. (Outside any namespace, as the macro declares a global function.)
static void registerIcons()
{
    Q_INIT_RESOURCE(icons);
}

namespace {
// The message list keeps the newest lines; a day of unattended logging must not grow it forever.
constexpr int MaxMessages = 10000;
// The status bar follows the readings a few times a second, not for every one of them.
constexpr int StatusRefreshMs = 250;
// The statistics follow the views, at most ten times a second.
constexpr int StatisticsRefreshMs = 100;

QString readingsText(int count)
{
    return count == 1 ? Widget::tr("1 reading") : Widget::tr("%1 readings").arg(count);
}

void waitProcessingEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
}
} // namespace

Widget::Widget(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::Widget)
    , dmm(nullptr)
    , dataModel(nullptr)
    , itemModel(nullptr)
    , histogram(nullptr)
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
    // The session ends while its items are all there.
    delete sessions;
    sessions = nullptr;
    dmm->close();
    delete dmm;
    dmm = nullptr;

    // The views borrow readings and headers: detach them before their owners go.
    ui->tv->setModel(nullptr);
    delete dataModel;
    dataModel = nullptr;
    recorder->setActiveItem(nullptr);
    recorder->setStoreItem(nullptr);
    delete items;
    items = nullptr;
    qDeleteAll(columnHeaders);
    columnHeaders.clear();
    delete ui;
}

void Widget::initObj()
{
    dmm = new MyDmm;
    reconnector = new Reconnector(dmm, this);
    reconnector->setObjectName(QStringLiteral("reconnector"));

    columnHeaders << new ColumnHeader { tr("No."), 2 } << new ColumnHeader { tr("Date/Time"), 3 }
                  << new ColumnHeader { tr("Function"), 3 } << new ColumnHeader { tr("Value"), 3 }
                  << new ColumnHeader { tr("Unit"), 2 }
                  << new ColumnHeader { tr("Frequency(Hz)"), 3 };
    dataModel = new DataModel(columnHeaders);

    recorder = new Recorder(this);
    recorder->setObjectName(QStringLiteral("recorder"));
    applyLimits();
    exporter = new Exporter(this, dataModel, columnHeaders, ui->chart, this);
    exporter->setObjectName(QStringLiteral("exporter"));

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
    // The last column takes the rest of the width, so the six columns need no scroll bar.
    header->setStretchLastSection(true);
    ui->tv->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tv->setModel(dataModel);
    ui->tv->setItemDelegate(new ReadingDelegate(dataModel, ui->tv));
    const int widths[] = { 80, 150, 100, 80, 100 };
    for (int column = 0; column < 5; ++column)
        ui->tv->setColumnWidth(column, widths[column]);

    ui->tvItems->installEventFilter(this);
    ui->tv->installEventFilter(this);
    ui->listWidget->installEventFilter(this);

    ui->actionConnect->setEnabled(true);
    buildMenus();
    buildStatusBar();
    buildToolkit();

    // The journal's notice sits above the views.
    notice = new JournalNotice(ui->widget);
    ui->gridLayout->removeWidget(ui->splitter);
    ui->gridLayout->addWidget(notice, 0, 0);
    ui->gridLayout->addWidget(ui->splitter, 1, 0);

    itemIcon = QIcon(QStringLiteral(":/image/measure.png"));

    ui->tvItems->setHeaderHidden(true);
    ui->tvItems->setAnimated(true);
    // All rows are one line high: the view need not measure each of many items.
    ui->tvItems->setUniformRowHeights(true);
    ui->tvItems->header()->setStretchLastSection(true);
    ui->tvItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemModel = new TvItemModel(this);
    itemModel->setHorizontalHeaderLabels({ tr("Name") });
    ui->tvItems->setModel(itemModel);

    items = new ItemTree(itemModel, itemIcon, this);
    exporter->setItemTree(items);
    items->addGroups(tr("Store Data"), QIcon(QStringLiteral(":/image/rom.png")), tr("Live Data"),
        QIcon(QStringLiteral(":/image/live.png")));
    recorder->setStoreItem(items->storeItem());
    condition->watch(items->storeItem());
    connect(items, &ItemTree::itemAdded, condition, &ConditionMonitor::watch);
    // An item filled while another is shown (a session being opened) is then shown at once.
    connect(items, &ItemTree::itemAdded, ui->chart, &DMMChart::followItem);
    const QModelIndex measure1 = items->addLiveItem(QStringLiteral("Measure%1").arg(1));

    ui->tvItems->expandAll();
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
    // Every line is one text line: the list need not measure each of thousands of them.
    ui->listWidget->setUniformItemSizes(true);

    auto* spacer = new QWidget(ui->mainToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->mainToolBar->insertWidget(ui->actionClose, spacer);

    ui->lcd->prepareForReadings();
    ui->mainToolBar->installEventFilter(this);
}

void Widget::buildMenus()
{
    ui->actionExport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ui->actionClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ui->actionManual->setShortcut(QKeySequence(Qt::Key_F1));
    ui->actionItemRename->setShortcut(QKeySequence(Qt::Key_F2));
    ui->actionItemDelete->setShortcut(QKeySequence(QKeySequence::Delete));
    ui->actionItemNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));

    QMenu* file = ui->menuBar->addMenu(tr("&File"));
    file->addAction(ui->actionConnect);
    file->addAction(ui->actionDisconnect);
    file->addAction(ui->actionStart);
    file->addAction(ui->actionStop);
    file->addAction(ui->actionItemDownload);
    file->addAction(ui->actionSyncTime);
    file->addSeparator();
    actionOpenSession = new QAction(tr("Open Session..."), this);
    actionOpenSession->setObjectName(QStringLiteral("actionOpenSession"));
    actionSaveSession = new QAction(tr("Save Session..."), this);
    actionSaveSession->setObjectName(QStringLiteral("actionSaveSession"));
    file->addAction(actionOpenSession);
    file->addAction(actionSaveSession);
    file->addAction(ui->actionImport);
    file->addAction(ui->actionExport);
    file->addAction(ui->actionOption);
    file->addSeparator();
    file->addAction(ui->actionClose);
    QMenu* item = ui->menuBar->addMenu(tr("&Item"));
    item->setObjectName(QStringLiteral("menuItem"));
    item->addAction(ui->actionItemNew);
    item->addAction(ui->actionItemRename);
    item->addAction(ui->actionItemDelete);
    item->addAction(ui->actionItemSetToActive);
    item->addSeparator();
    actionItemProperties = new QAction(tr("Item Properties..."), this);
    actionItemProperties->setObjectName(QStringLiteral("actionItemProperties"));
    connect(actionItemProperties, &QAction::triggered, this, &Widget::showItemProperties);
    item->addAction(actionItemProperties);
    QMenu* view = ui->menuBar->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("menuView"));
    view->addAction(ui->actionMessages);
    actionAlarmBeep = new QAction(tr("Beep at Alarm Levels"), this);
    actionAlarmBeep->setObjectName(QStringLiteral("actionAlarmBeep"));
    actionAlarmBeep->setCheckable(true);
    view->addAction(actionAlarmBeep);
    QMenu* help = ui->menuBar->addMenu(tr("&Help"));
    help->addAction(ui->actionManual);
    auto* about = new QAction(tr("&About vibview"), this);
    about->setObjectName(QStringLiteral("actionAbout"));
    help->addAction(about);
    connect(about, &QAction::triggered, this, &Widget::showAbout);
}

void Widget::buildToolkit()
{
    condition = new ConditionMonitor(this);
    condition->setObjectName(QStringLiteral("condition"));

    // The zone badge stands beside the readout; the item tool bar and the tree span both columns.
    zoneBadge = new ZoneBadge(ui->widget_2);
    zoneBadge->setObjectName(QStringLiteral("zoneBadge"));
    ui->gridLayout_2->addWidget(zoneBadge, 0, 1, Qt::AlignTop);
    ui->gridLayout_2->addWidget(ui->itemToolBar, 1, 0, 1, 2);
    ui->gridLayout_2->addWidget(ui->tvItems, 2, 0, 1, 2);

    auto* dock = new QDockWidget(tr("Statistics"), this);
    dock->setObjectName(QStringLiteral("statisticsDock"));
    statisticsPanel = new StatisticsPanel(dock);
    dock->setWidget(statisticsPanel);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    // Closed until asked for (View menu): at the default size the table needs the width. The
    // window's saved state remembers the user's choice.
    dock->hide();
    findChild<QMenu*>(QStringLiteral("menuView"))->addAction(dock->toggleViewAction());
    statisticsTimer = new QTimer(this);
    statisticsTimer->setSingleShot(true);
    statisticsTimer->setInterval(StatisticsRefreshMs);
    connect(statisticsTimer, &QTimer::timeout, this, &Widget::refreshStatistics);
    connect(dock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refreshStatistics();
    });
    // A zoom ends with a mouse release on the chart: the range figures follow it.
    ui->chart->installEventFilter(this);
}

void Widget::buildStatusBar()
{
    linkStatus = new QLabel(this);
    linkStatus->setObjectName(QStringLiteral("linkStatus"));
    itemStatus = new QLabel(this);
    itemStatus->setObjectName(QStringLiteral("itemStatus"));
    statusBar()->addPermanentWidget(itemStatus);
    statusBar()->addPermanentWidget(linkStatus);
    statusTimer = new QTimer(this);
    statusTimer->setSingleShot(true);
    statusTimer->setInterval(StatusRefreshMs);
    connect(statusTimer, &QTimer::timeout, this, &Widget::updateStatus);
    updateStatus();
}

void Widget::scheduleStatus()
{
    if (!statusTimer->isActive())
        statusTimer->start();
}

void Widget::updateStatus()
{
    statusTimer->stop();
    QString link = dmm->isOpened() ? tr("Meter on %1: connected").arg(dmm->portName())
                                   : tr("Meter: not connected");
    // A cable or meter going bad shows here first, long before readings go missing.
    if (dmm->isOpened() && dmm->damagedFrames() > 0)
        link += dmm->damagedFrames() == 1
            ? tr(", 1 damaged frame dropped")
            : tr(", %1 damaged frames dropped").arg(dmm->damagedFrames());
    linkStatus->setText(link);
    const ItemData* active = recorder->activeItem();
    itemStatus->setText(active
            ? tr("Showing %1: %2").arg(active->name(), readingsText(active->readingCount()))
            : tr("No item is shown"));
    // A row that is merely selected is not what the table and the chart show: say so.
    const ItemData* selected = ItemTree::itemAt(ui->tvItems->currentIndex());
    if (selected && selected != active && selected->type() != ItemData::LiveGroup)
        statusBar()->showMessage(
            tr("%1 is selected; the views show %2. Double-click %1 or choose Set to active to "
               "show it.")
                .arg(selected->name(), active ? active->name() : tr("no item")));
    else
        statusBar()->clearMessage();
}

void Widget::fitMainToolBar()
{
    QToolBar* bar = ui->mainToolBar;
    if (bar->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
        toolBarTextWidth = bar->sizeHint().width();
    // Text beside the icons goes before any command falls into the overflow menu.
    const Qt::ToolButtonStyle wanted
        = bar->width() < toolBarTextWidth ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon;
    if (bar->toolButtonStyle() != wanted)
        bar->setToolButtonStyle(wanted);
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
    connect(dmm, &MyDmm::damagedFramesChanged, this, &Widget::scheduleStatus);
    connect(dmm, &MyDmm::display, this, &Widget::slotDmmDisplay);
    connect(dmm, &MyDmm::displayStore, this, &Widget::slotDisplayStore);
    connect(dmm, &MyDmm::storeNum, this, &Widget::slotStoreNum);
    connect(itemModel, &TvItemModel::editDataChanged, this, &Widget::slotItemModeleditDataChanged);
    connect(ui->tvItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &Widget::slotCurrentRowChanged);
    for (QAction* action :
        { ui->actionConnect, ui->actionDisconnect, ui->actionOption, ui->actionClose })
        connect(action, &QAction::triggered, this, &Widget::slotAction);

    connect(recorder, &Recorder::liveReading, ui->lcd, &ReadoutPanel::showReading);
    connect(recorder, &Recorder::unitChanging, this, &Widget::continueInNewItem);
    connect(recorder, &Recorder::unitChanged, this,
        [this](ItemData*, int code, const QString& text) { showUnit(code, text); });
    connect(recorder, &Recorder::readingStored, dataModel, &DataModel::addReading);
    connect(
        recorder, &Recorder::readingStored, this, [this](ItemData* item, const DmmData* reading) {
            if (item != recorder->activeItem())
                return;
            // The row and the point are there now; scrolling and repainting follow at most ten
            // times a second.
            ui->tv->followLastRow();
            // Stored readings reach the chart when their item is shown again.
            if (!reading->fromStore())
                ui->chart->appendReading(reading, 0);
            // The first reading tells whether the item's readings are graded; the chart keeps
            // what it has when nothing changed.
            showZones();
        });
    connect(recorder, &Recorder::downloadStarted, this, &Widget::downloadStarted);
    connect(recorder, &Recorder::downloadResumed, this, &Widget::showStoreData);
    connect(recorder, &Recorder::unitKeepsChanging, this, [this](int changes) {
        slotMessage(tr("The meter's unit changed %1 times in a row, each time after a reading or "
                       "two, and every change starts a new item. Check the meter's unit setting.")
                        .arg(changes));
    });
    connect(recorder, &Recorder::downloadProgress, this,
        [this](int received) { emit updateDowndPos(DlgDownload::UnknownTotal, received); });
    connect(recorder, &Recorder::downloadEnded, this, &Widget::downloadEnded);
    connect(recorder, &Recorder::itemFull, this, &Widget::itemFull);
    connect(recorder, &Recorder::readingStored, this, [this](ItemData* item) {
        if (fullItems.remove(item))
            showFull(item, false);
        scheduleStatus();
    });
    connect(exporter, &Exporter::message, this, &Widget::slotMessage);
    connect(recorder, &Recorder::readingStored, condition, &ConditionMonitor::readingStored);
    connect(recorder, &Recorder::readingStored, this, [this](ItemData* item) {
        if (item == recorder->activeItem() && !statisticsTimer->isActive())
            statisticsTimer->start();
    });
    connect(recorder, &Recorder::liveReading, this, &Widget::showCondition);
    connect(condition, &ConditionMonitor::alarmCrossed, this, &Widget::alarmCrossed);
    connect(condition, &ConditionMonitor::conditionChanged, this, [this](ItemData* item) {
        if (item != recorder->activeItem())
            return;
        ui->tv->viewport()->update();
        showZones();
        refreshStatistics();
    });
    connect(items, &ItemTree::itemRenamed, this, &Widget::updateStatus);
    connect(
        items, &ItemTree::itemRemoving, this, [this](ItemData* item) { fullItems.remove(item); });

    sessions = new SessionCommands(this, items, recorder, this);
    sessions->setObjectName(QStringLiteral("sessions"));
    connect(sessions, &SessionCommands::restoreOffered, notice, &JournalNotice::offerRestore);
    connect(sessions, &SessionCommands::problem, this, &Widget::slotJournalProblem);
    connect(sessions, &SessionCommands::message, this, &Widget::slotMessage);
    connect(sessions, &SessionCommands::itemsAdded, this, &Widget::reloadActiveItem);
    connect(notice, &JournalNotice::restoreRequested, sessions, &SessionCommands::restore);
    connect(notice, &JournalNotice::discardRequested, sessions, &SessionCommands::discard);
    connect(exporter, &Exporter::exported, sessions, &SessionCommands::markSaved);
    connect(actionSaveSession, &QAction::triggered, sessions, &SessionCommands::saveSession);
    connect(actionOpenSession, &QAction::triggered, sessions, &SessionCommands::openSession);
    sessions->start();

    connect(reconnector, &Reconnector::lost, this, &Widget::connectionLost);
    connect(reconnector, &Reconnector::reconnected, this, [this](const QString& port) {
        // Sampling stays off (the close stopped it): the user decides when recording goes on.
        slotMessage(
            tr("The meter is back on %1 and connected again. Choose Start to record.").arg(port));
    });
    connect(reconnector, &Reconnector::gaveUp, this, [this](const QString& port) {
        slotMessage(
            tr("The meter is back on %1 but could not be opened. Choose Connect to try again.")
                .arg(port));
    });
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
    values.exportFolder = exporter->exportFolder();
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
    if (values.exportFolder)
        exporter->setExportFolder(*values.exportFolder);
    applyLimits();
    for (const QString& problem : qAsConst(values.problems))
        slotMessage(problem);
}

void Widget::applyLimits()
{
    // The link holds the settings (the options dialog and the settings file change them there);
    // the recorder applies them.
    Recorder::Limits limits;
    limits.samplePoints = dmm->samplePoints();
    limits.infinite = dmm->infinite();
    limits.skipRepeat = dmm->skipRepeat();
    recorder->setLimits(limits);
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
        dmm->close();
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
            applyLimits();
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
    slotMessage(tr("Connected to the meter on %1.").arg(dmm->portName()));
    updateStatus();
    ui->actionConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(true);
    const ItemData* active = recorder->activeItem();
    ui->actionStart->setEnabled(!(active && active->type() == ItemData::StoreData));
    ui->actionStop->setEnabled(false);
    ui->actionSyncTime->setEnabled(true);
}

void Widget::slotDmmClosed()
{
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    recorder->setRunning(false);
    ui->actionStart->setEnabled(false);
    ui->actionStop->setEnabled(false);
    ui->actionSyncTime->setEnabled(false);
    slotMessage(tr("Disconnected from the meter."));
    updateStatus();
}

void Widget::connectionLost()
{
    slotMessage(tr("The meter was disconnected. It is connected again as soon as it is back."));
    // Losing the meter is worth seeing: the message list opens (the user may close it again).
    ui->actionMessages->setChecked(true);
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

void Widget::on_actionImport_triggered()
{
    sessions->importFile();
}

void Widget::on_actionMessages_toggled(bool checked)
{
    ui->listWidget->setVisible(checked);
}

void Widget::slotJournalProblem(const QString& text)
{
    slotMessage(text);
    notice->showProblem(text);
}

void Widget::slotMessage(QString msg)
{
    QListWidget* list = ui->listWidget;
    list->addItem(QTime::currentTime().toString(QStringLiteral("hh:mm:ss ")) + msg);
    if (list->count() > MaxMessages)
        delete list->takeItem(0);
    // Scrolling lays the list out: once for a burst of lines, not once per line.
    if (!scrollPending) {
        scrollPending = true;
        QTimer::singleShot(0, this, [this] {
            scrollPending = false;
            ui->listWidget->scrollToBottom();
        });
    }
}

void Widget::showAbout()
{
    QMessageBox::about(this, tr("About vibview"),
        tr("<h3>vibview %1</h3>"
           "<p>The desktop companion of the VK418E handheld vibration meter.</p>"
           "<p>Built with Qt %2, running on Qt %3.</p>"
           "<p>This program is free software under the GNU General Public License, version 3 "
           "or (at your option) any later version. It comes with no warranty.</p>")
            .arg(QStringLiteral(VIBVIEW_VERSION), QStringLiteral(QT_VERSION_STR),
                QString::fromLatin1(qVersion())));
}

bool Widget::eventFilter(QObject* obj, QEvent* event)
{
    if (obj == ui->chart && event->type() == QEvent::MouseButtonRelease)
        statisticsTimer->start();
    if (obj == ui->mainToolBar && event->type() == QEvent::Resize)
        fitMainToolBar();
    if (event->type() == QEvent::ContextMenu) {
        const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QList<QAction*> actions;
        if (obj->objectName() == QLatin1String("listWidget"))
            actions << ui->actionClearMsg;
        else if (obj->objectName() == QLatin1String("tvItems")) {
            const QModelIndex current = ui->tvItems->currentIndex();
            actions = itemActions(current);
            // Items and "Store Data" have properties; the "Live Data" group has none.
            if (current.isValid() && current != items->liveGroupIndex())
                actions << actionItemProperties;
        }
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

QList<QAction*> Widget::itemActions(const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    if (index.parent().isValid())
        return { ui->actionItemSetToActive, ui->actionItemRename, ui->actionItemNew,
            ui->actionItemDelete };
    if (index.row() == 0)
        return { ui->actionItemSetToActive };
    if (index.row() == 1)
        return { ui->actionItemNew };
    return {};
}

void Widget::setRunning(bool on)
{
    recorder->setRunning(on);
    if (on) {
        ui->actionStart->setEnabled(false);
        ui->actionStop->setEnabled(true);
    } else {
        updateStartStop();
    }
}

void Widget::updateStartStop()
{
    // Start would do nothing for the store item, so it is never offered there.
    const ItemData* active = recorder->activeItem();
    const bool storeActive = active && active->type() == ItemData::StoreData;
    ui->actionStart->setEnabled(dmm->isOpened() && !storeActive);
    ui->actionStop->setEnabled(false);
}

void Widget::clearViews()
{
    dataModel->clear();
    histogram->clearValues();
    ui->chart->clear();
}

void Widget::itemSetToActive(QModelIndex index)
{
    if (!index.isValid() || index == items->liveGroupIndex())
        return;
    ItemData* item = ItemTree::itemAt(index);
    if (!item || item == recorder->activeItem() || item->type() == ItemData::LiveGroup)
        return;

    recorder->setActiveItem(item);
    items->markActive(index);
    setRunning(false);
    reloadActiveItem();
    updateStatus();
    refreshStatistics();
    zoneBadge->setState(SeverityZones::NotGraded, ZoneBadge::NoAlarm, QString());
}

void Widget::reloadActiveItem()
{
    ItemData* active = recorder->activeItem();
    if (!active)
        return;
    dataModel->showItem(active);
    ui->tv->followLastRow();

    ui->chart->setDecimals(Recorder::decimalsForItem(active));
    ui->chart->showItem(active);
    showZones();
}

void Widget::newItem(QString name, ItemData::DataType type)
{
    if (name.isEmpty())
        return;
    setRunning(false);
    const QModelIndex index = items->addLiveItem(name, type);
    itemSetToActive(index);
    ui->tvItems->setCurrentIndex(index);
    slotCurrentRowChanged(index, QModelIndex());
}

void Widget::on_actionItemNew_triggered()
{
    // Cancelling gives an empty name, and cancelling needs no message.
    const QString name = QInputDialog::getText(
        this, QString(), QStringLiteral("Name:"), QLineEdit::Normal, items->defaultName())
                             .trimmed();
    if (name.isEmpty() || refuseTakenName(name))
        return;
    newItem(name, ItemData::LiveMeasure);
    ui->chart->setDecimals(1);
}

bool Widget::refuseTakenName(const QString& name)
{
    // Two items of one name could not be told apart in exports.
    if (!items->isLiveNameUsed(name))
        return false;
    QMessageBox::information(this, QString(),
        tr("An item named \"%1\" already exists under \"Live Data\". Choose another name.")
            .arg(name));
    return true;
}

void Widget::on_actionItemDelete_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    if (!ItemTree::isItemRow(index))
        return;
    if (QMessageBox::question(this, QString(), tr("Are you sure delete this item?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;

    clearViews();
    const bool wasActive = ItemTree::itemAt(index) == recorder->activeItem();
    // Forget the active item first: the next live reading must never reach a deleted item.
    if (wasActive) {
        recorder->setActiveItem(nullptr);
        setRunning(false);
    }
    items->removeItem(index);

    if (wasActive)
        itemSetToActive(ui->tvItems->currentIndex());
    else
        reloadActiveItem();
}

void Widget::on_actionItemRename_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    if (!ItemTree::isItemRow(index))
        return;
    const QString current = index.data(Qt::DisplayRole).toString();
    bool accepted = false;
    const QString name = QInputDialog::getText(
        this, QString(), QStringLiteral("New name:"), QLineEdit::Normal, current, &accepted)
                             .trimmed();
    if (!accepted)
        return;
    if (name.isEmpty()) {
        QMessageBox::information(
            this, QString(), tr("An item needs a name: \"%1\" keeps its name.").arg(current));
        return;
    }
    if (name != current && refuseTakenName(name))
        return;
    items->renameItem(index, name);
    ui->tvItems->viewport()->update();
    setRunning(false);
}

void Widget::on_actionItemSetToActive_triggered()
{
    itemSetToActive(ui->tvItems->currentIndex());
}

void Widget::on_tvItems_activated(QModelIndex index)
{
    itemSetToActive(index);
}

void Widget::slotItemModeleditDataChanged(QModelIndex index)
{
    if (index.row() != 0)
        qDebug() << "slotItemModeleditDataChanged  " + index.data(Qt::DisplayRole).toString();
}

void Widget::slotCurrentRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(previous)
    if (!current.isValid())
        return;
    ui->itemToolBar->clear();
    ui->itemToolBar->addActions(itemActions(current));
    updateStatus();
}

void Widget::on_actionItemDownload_triggered()
{
    if (!dmm->isOpened()) {
        QMessageBox::information(this, QString(),
            tr("The meter must be connected first: choose Connect, then Download."));
        return;
    }
    // "Store Data" keeps its readings until the first reading of this download replaces them.
    const QModelIndex store = items->storeIndex();
    itemSetToActive(store);
    ui->tvItems->setCurrentIndex(store);

    recorder->beginDownload();
    dmm->downloadStore();

    auto* dialog = new DlgDownload(this);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &Widget::updateDowndPos, dialog, &DlgDownload::updatePos);
    // Nothing more can come once the link is gone.
    connect(dmm, &MyDmm::closed, dialog, &QDialog::accept);
    downloadDialog = dialog;
    // The meter never announces how many records follow: start the dialog's watchdog now, so
    // that a meter that sends nothing at all still lets the dialog close.
    emit updateDowndPos(DlgDownload::UnknownTotal, 0);
    if (downloadDialog)
        dialog->exec();

    if (recorder->receivedSinceBegin() == 0 && dmm->isOpened())
        QMessageBox::information(this, QString(),
            tr("No readings arrived: the meter's memory is empty, or the meter did not answer."));
}

void Widget::on_actionStart_triggered()
{
    const ItemData* active = recorder->activeItem();
    if (active && active->type() == ItemData::StoreData)
        return;
    setRunning(true);
}

void Widget::on_actionStop_triggered()
{
    setRunning(false);
}

void Widget::slotDmmDisplay(const DmmData* data)
{
    recorder->recordLive(data);
}

void Widget::continueInNewItem()
{
    // Readings of the old unit are kept: recording goes on in a fresh item.
    newItem(items->defaultName(), ItemData::LiveMeasure);
    setRunning(true);
}

void Widget::itemFull(ItemData* item, int limit)
{
    slotMessage(tr("%1 is full: it holds its limit of %2. Raise the limit in Options or start a "
                   "new item to record more.")
                    .arg(item->name(), readingsText(limit)));
    fullItems.insert(item);
    showFull(item, true);
}

void Widget::showFull(ItemData* item, bool full)
{
    QStandardItem* row = itemModel->itemFromIndex(items->indexOf(item));
    if (!row)
        return;
    row->setIcon(full ? QIcon(QStringLiteral(":/image/stop.png")) : itemIcon);
    row->setToolTip(full ? tr("Full: no more readings are stored in this item") : QString());
}

void Widget::showUnit(int unitCode, const QString& unitText)
{
    if (ItemData* active = recorder->activeItem(); fullItems.remove(active))
        showFull(active, false);
    dataModel->clear();
    ui->chart->clear();
    histogram->setYTitle(unitText);
    ui->chart->setUnitText(unitText);
    ui->chart->setDecimals(Recorder::decimalsForUnitCode(unitCode));
}

void Widget::slotStoreNum(int total, int num)
{
    emit updateDowndPos(total, num);
}

void Widget::slotDisplayStore(const DmmData* data)
{
    recorder->recordStored(data);
}

void Widget::downloadStarted()
{
    showStoreData();
    dataModel->clear();
    ui->chart->clear();
}

void Widget::showStoreData()
{
    const QModelIndex store = items->storeIndex();
    if (recorder->activeItem() != items->storeItem()) {
        ui->tvItems->setCurrentIndex(store);
        itemSetToActive(store);
    }
}

void Widget::downloadEnded(int received)
{
    slotMessage(tr("Download complete: %1 received.").arg(readingsText(received)));
    // The quiet period ends the download: a complete step closes the progress dialog.
    emit updateDowndPos(received, received);
}

void Widget::on_actionSyncTime_triggered()
{
    // One clock dialog at a time: a second Sync Time brings the open one forward.
    if (syncDialog) {
        syncDialog->raise();
        syncDialog->activateWindow();
        return;
    }
    auto* dialog = new dlgSyncTime(QDateTime::currentDateTime(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &dlgSyncTime::syncTime, this, &Widget::slotSyncTime);
    syncDialog = dialog;
    dialog->show();
}

void Widget::slotSyncTime(QDateTime dt)
{
    if (!dmm->isOpened()) {
        slotMessage(tr("The clock was not set: the meter is not connected."));
        return;
    }
    dmm->syncTime(dt);
    slotMessage(tr("Clock set to %1 sent to the meter.")
                    .arg(dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
}

void Widget::on_cbbChartUnit_currentTextChanged(QString text)
{
    Q_UNUSED(text)
    reloadActiveItem();
}

void Widget::on_actionExport_triggered()
{
    std::unique_ptr<dlgExport> dialog(new dlgExport);
    const int accepted = dialog->exec();
    WaitCursor waitCursor(cursor());
    if (accepted != QDialog::Accepted)
        return;

    switch (dialog->exportKind()) {
    case dlgExport::Table:
        exportXls();
        break;
    case dlgExport::Chart:
        exporter->exportChart();
        break;
    case dlgExport::Pdf: {
        // Show every page once so that each has been laid out and painted before the report.
        const int current = ui->tabWidget->currentIndex();
        for (int i = 0; i < ui->tabWidget->count(); ++i) {
            ui->tabWidget->setCurrentIndex(i);
            waitProcessingEvents(10);
        }
        ui->tabWidget->setCurrentIndex(current);
        exportPdf();
        break;
    }
    case dlgExport::Csv:
        exporter->exportCsv();
        break;
    case dlgExport::Workbook:
        exporter->exportWorkbook();
        break;
    case dlgExport::Report:
        exporter->exportReport();
        break;
    case dlgExport::AllItems:
        exporter->exportAllItems();
        break;
    default:
        break;
    }
}

void Widget::exportXls()
{
    exporter->exportXls();
}

void Widget::exportPdf()
{
    exporter->exportPdf();
}

void Widget::showItemProperties()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    ItemData* item = ItemTree::itemAt(index);
    if (!item || item->type() == ItemData::LiveGroup)
        return;
    ItemPropertiesDialog dialog(item->name(), item->unitText(), item->properties(), this);
    if (dialog.exec() == QDialog::Accepted)
        item->setProperties(dialog.properties());
}

void Widget::showCondition(const DmmData* reading)
{
    ItemData* item = recorder->activeItem();
    condition->liveReading(item, reading);
    const SeverityZones::Grade grade = ConditionMonitor::grade(item, *reading);
    const ZoneBadge::Alarm alarm = condition->isAbove(item, AlarmMonitor::Danger)
        ? ZoneBadge::AboveDanger
        : condition->isAbove(item, AlarmMonitor::Alert) ? ZoneBadge::AboveAlert
                                                        : ZoneBadge::NoAlarm;
    const SeverityZones::MachineClass machineClass = item->properties().machineClass;
    const QString explanation = grade.zone == SeverityZones::NotGraded
        ? grade.reason
        : tr("Zone %1: %2 (%3)")
              .arg(SeverityZones::zoneLetter(grade.zone), SeverityZones::zoneMeaning(grade.zone),
                  SeverityZones::appliedName(machineClass));
    zoneBadge->setState(grade.zone, alarm, explanation);
}

void Widget::showZones()
{
    ui->chart->setZones(ChartZones::of(recorder->activeItem()));
}

void Widget::alarmCrossed(ItemData* item, const AlarmMonitor::Crossing& crossing)
{
    const QString unit = item->unitText();
    const int decimals = Recorder::decimalsForItem(item);
    const QString level = crossing.level == AlarmMonitor::Alert ? tr("alert") : tr("danger");
    const QString value = QString::number(crossing.value, 'f', decimals);
    const QString threshold = QString::number(crossing.threshold, 'f', decimals);
    slotMessage(crossing.upwards ? tr("%1: %2 %3 above the %4 level %5 %3")
                                       .arg(item->name(), value, unit, level, threshold)
                                 : tr("%1: %2 %3 back below the %4 level %5 %3")
                                       .arg(item->name(), value, unit, level, threshold));
    if (crossing.upwards && actionAlarmBeep->isChecked())
        QApplication::beep();
}

void Widget::refreshStatistics()
{
    statisticsTimer->stop();
    ItemData* item = recorder->activeItem();
    if (!item || !statisticsPanel->isVisible())
        return;
    const ItemProperties p = item->properties();
    const StatisticsFigures whole = condition->figures(item);
    const bool zoomed = ui->chart->isZoomed();
    StatisticsFigures range;
    if (zoomed)
        range = condition->rangeFigures(item, ui->chart->firstIndex(), ui->chart->lastIndex());
    statisticsPanel->setFigures(whole, zoomed ? &range : nullptr, item->unitText(),
        Recorder::decimalsForItem(item), p.machineClass != SeverityZones::NoClass,
        p.alertLevel || p.dangerLevel);
}
