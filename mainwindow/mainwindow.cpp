#include "mainwindow/mainwindow.h"

#include "detail/mwindow.h"
#include "health/healthwindow.h"
#include "iconview/miconview.h"
#include "inventory/inventory.h"
#include "inventory/inventoryfile.h"
#include "mainwindow/alarmsound.h"
#include "mainwindow/eventsdock.h"
#include "mainwindow/eventsmodel.h"
#include "mainwindow/inventorycomparedlg.h"
#include "mainwindow/seriallinkdlg.h"
#include "mainwindow/tallydlg.h"
#include "tally/tallyinput.h"
#include "tally/tallysettings.h"
#include "monitor/alarmsettings.h"
#include "monitor/alarmstatus.h"
#include "metrics/metricscollector.h"
#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "monitor/settingsfile.h"
#include "monitor/startupsettings.h"
#include "options/optiondlg.h"
#include "protocol/controlkeys.h"
#include "remote/remoteserver.h"
#include "script/scriptrunner.h"
#include "supervision/eventlog.h"
#include "supervision/mcontroller.h"
#include "transport/rsthread.h"
#include "version.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include <initializer_list>

namespace {

// Window state in mc422.ini.
constexpr char PosKey[] = "pos";
constexpr char SizeKey[] = "size";
constexpr char CenterViewKey[] = "centerview";
constexpr char DetailGroup[] = "detailview";
constexpr char FloatKey[] = "isfloat";
constexpr char VisibleKey[] = "isvisible";
// Written only while the events dock is shown, so that a window that never
// shows it leaves the file as it was.
constexpr char EventGroup[] = "eventview";

enum CenterView { TableView = 0, IconView = 1 };

constexpr int AlarmRepeatMs = 5000;

constexpr char Website[] = "https://www.kelvaro.example";
constexpr char SupportEmail[] = "support@kelvaro.example";

// Fills a menu or a tool bar in order; a null entry is a separator.
template <typename Container>
void addEntries(Container *container, std::initializer_list<QAction *> entries)
{
    for (QAction *action : entries) {
        if (action)
            container->addAction(action);
        else
            container->addSeparator();
    }
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    createViews();
    createActions();
    createToolBars();
    createStatusBar();
    readSettings();
    setupAudio();

    connect(controller, &MController::monitorAdded, this, &MainWindow::updateStatusBar);
    connect(controller, &MController::monitorChanged, this, &MainWindow::updateStatusBar);
    connect(controller, &MController::monitorRemoved, this, &MainWindow::updateStatusBar);
    connect(controller, &MController::acknowledgementChanged, this, &MainWindow::updateStatusBar);
    connect(controller, &MController::monitorChanged, monitorWindow, &MWindow::monitorUpdate);
    connect(controller, &MController::monitorRemoved, monitorWindow, &MWindow::monitorRemoved);

    setWindowTitle(tr("Kelvaro Controller"));
    // Once the window runs, so that a port that cannot be bound is reported
    // over it rather than before it.
    QMetaObject::invokeMethod(this, &MainWindow::startTally, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &MainWindow::startRemote, Qt::QueuedConnection);
    // Also once the window runs, after the tally input: exactly F5, with
    // its progress dialog over the window and its report of a port that
    // cannot be opened.
    if (StartupSettings::searchAtStart())
        QMetaObject::invokeMethod(this, &MainWindow::doSearch, Qt::QueuedConnection);
}

MainWindow::~MainWindow() = default;

void MainWindow::createViews()
{
    controller = new MController(this);
    controller->setObjectName(QStringLiteral("controller"));
    // Direct: the box is up before startSearch returns.
    connect(controller, &MController::openFailed, this, [](const QString &portName) {
        QMessageBox::warning(nullptr, RSThread::openFailureTitle(),
                             RSThread::openFailureText(portName));
    }, Qt::DirectConnection);

    model = new MonitorModel(controller, this);
    controller->setModel(model);
    tallyInput = new TallyInput(controller, this);
    // Made with the supervisor, so that the event ids and the exchange
    // counters count from the first line and the first exchange.
    remoteServer = new RemoteServer(controller, this);
    auto *metrics = new MetricsCollector(controller, this);
    remoteServer->setMetricsSource([metrics] { return metrics->text(); });

    proxyModel = new QSortFilterProxyModel(this);
    proxyModel->setSourceModel(model);
    proxyModel->setDynamicSortFilter(true);
    proxyModel->setSortRole(Qt::UserRole);

    tableView = new QTableView(this);
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tableView->horizontalHeader()->setStretchLastSection(true);
    tableView->setModel(proxyModel);
    // Rows start in list order, with no arrow, until the operator sorts:
    // enabling sorting would otherwise sort by the first column at once.
    tableView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tableView->setSortingEnabled(true);
    tableView->setColumnHidden(MonitorModel::IconColumn, true);
    tableView->setColumnWidth(MonitorModel::ModeColumn, 120);

    iconView = new MIconView(this);
    iconView->setObjectName(QStringLiteral("iconView"));
    iconView->setDragEnabled(true);
    iconView->setViewMode(QListView::IconMode);
    iconView->setIconSize(QSize(60, 60));
    iconView->setGridSize(QSize(80, 80));
    iconView->setSpacing(10);
    iconView->setMovement(QListView::Free);
    iconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    iconView->setWrapping(true);
    iconView->setResizeMode(QListView::Fixed);
    iconView->setModel(model);
    iconView->setModelColumn(MonitorModel::IconColumn);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(tableView);
    splitter->addWidget(iconView);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    if (openSettings().value(QLatin1String(CenterViewKey), int(TableView)).toInt() == TableView)
        iconView->hide();
    else
        tableView->hide();

    monitorWindow = new MWindow(tr("Monitor window"), this);
    monitorWindow->setObjectName(QStringLiteral("monitorWindow"));
    monitorWindow->setController(controller);
    monitorWindow->setAllowedAreas(Qt::RightDockWidgetArea);
    monitorWindow->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable
                               | QDockWidget::DockWidgetFloatable);
    addDockWidget(Qt::RightDockWidgetArea, monitorWindow);

    eventsDock = new EventsDock(tr("Events"), this);
    eventsDock->setObjectName(QStringLiteral("eventsDock"));
    // The log's opening line was written before anyone listened: it is in
    // the file already.
    eventsDock->model()->addFile(controller->logFileName());
    connect(controller, &MController::eventLogged, eventsDock, &EventsDock::addLine);
    addDockWidget(Qt::BottomDockWidgetArea, eventsDock);
    eventsDock->hide();

    connect(tableView, &QTableView::clicked, this, &MainWindow::toggleSortMWindow);
    connect(iconView, &MIconView::clicked, this, &MainWindow::toggleMWindow);
}

void MainWindow::createActions()
{
    struct ActionEntry {
        QAction *MainWindow::*action;
        const char *objectName;
        const char *icon;
        const char *text;      // null: the action keeps its own text
        const char *shortcut;  // marked for translation where a language may move it
        const char *statusTip;
        const char *toolTip;   // null: Qt derives it from the text
        void (*trigger)(MainWindow *); // null: the dock's toggle action works by itself
    };
    // F5 is the same key in every language and stays unmarked.
    static const ActionEntry entries[] = {
        {&MainWindow::searchAct, "searchAct", ":/icons/img/search.png", QT_TR_NOOP("&Search"), "F5",
         QT_TR_NOOP("Search monitors"), QT_TR_NOOP("Search monitors - F5"),
         [](MainWindow *w) { w->doSearch(); }},
        {&MainWindow::removeAct, "removeAct", ":/icons/img/remove.png", QT_TR_NOOP("&Remove"),
         QT_TR_NOOP("Ctrl+R"), QT_TR_NOOP("Remove selected monitor"),
         QT_TR_NOOP("Remove selected monitor"), [](MainWindow *w) { w->doRemove(); }},
        {&MainWindow::optionAct, "optionAct", ":/icons/img/option.png", QT_TR_NOOP("&Option"),
         QT_TR_NOOP("Ctrl+O"), QT_TR_NOOP("Option setting"), nullptr,
         [](MainWindow *w) { w->doOption(); }},
        {&MainWindow::quitAct, "quitAct", ":/icons/img/close.png", QT_TR_NOOP("&Quit"),
         QT_TR_NOOP("Ctrl+Q"), QT_TR_NOOP("Quit application"), nullptr,
         [](MainWindow *w) { w->close(); }},
        {&MainWindow::configureAct, "configureAct", ":/icons/img/configure.png", QT_TR_NOOP("&Uart"),
         QT_TR_NOOP("Ctrl+F"), QT_TR_NOOP("Configure RS422"), nullptr,
         [](MainWindow *w) { w->doConfigure(); }},
        // The dock's own toggle action, titled after the dock.
        {&MainWindow::monitorWindowAct, "monitorWindowAct", ":/icons/img/detail.png", nullptr,
         QT_TR_NOOP("Ctrl+D"), QT_TR_NOOP("Toggle monitor window"),
         QT_TR_NOOP("Toggle monitor window"), nullptr},
        {&MainWindow::tableViewAct, "tableViewAct", ":/icons/img/table_view.png",
         QT_TR_NOOP("&Table View"), nullptr, nullptr, nullptr,
         [](MainWindow *w) { w->toggleTableView(); }},
        {&MainWindow::iconViewAct, "iconViewAct", ":/icons/img/icon_view.png",
         QT_TR_NOOP("&Icon View"), nullptr, nullptr, nullptr,
         [](MainWindow *w) { w->toggleIconView(); }},
        {&MainWindow::saveLayoutAct, "saveLayoutAct", ":/icons/img/save_lay.png",
         QT_TR_NOOP("&Save Layout"), nullptr, nullptr, nullptr,
         [](MainWindow *w) { w->doSaveLayout(); }},
        {&MainWindow::restoreLayoutAct, "restoreLayoutAct", ":/icons/img/restore_lay.png",
         QT_TR_NOOP("&Restore Layout"), nullptr, nullptr, nullptr,
         [](MainWindow *w) { w->doRestoreLayout(); }},
        // Spelled so on purpose: operators' manuals and scripts use this caption.
        {&MainWindow::scriptAct, "scriptAct", ":/icons/img/play.png", QT_TR_NOOP("&Excute script"),
         QT_TR_NOOP("Ctrl+T"), nullptr, nullptr, [](MainWindow *w) { w->doTest(); }},
        {&MainWindow::powerOnAct, "powerOnAct", ":/icons/img/poweron.png", QT_TR_NOOP("Power on"),
         nullptr, nullptr, nullptr, [](MainWindow *w) { w->doBatchOn(); }},
        {&MainWindow::powerOffAct, "powerOffAct", ":/icons/img/poweroff.png",
         QT_TR_NOOP("Power off"), nullptr, nullptr, nullptr,
         [](MainWindow *w) { w->doBatchOff(); }},
        {&MainWindow::openLogAct, "openLogAct", ":/icons/img/open_folder.png",
         QT_TR_NOOP("Open log folder"), nullptr, nullptr, nullptr,
         [](MainWindow *w) { w->doOpenLog(); }},
        {&MainWindow::tallyAct, "tallyAct", ":/icons/img/configure.png", QT_TR_NOOP("Tally input..."),
         nullptr, QT_TR_NOOP("TSL UMD sources driving UMD text and tally lamps"), nullptr,
         [](MainWindow *w) { w->doTally(); }},
        {&MainWindow::exportInventoryAct, "exportInventoryAct", ":/icons/img/save_lay.png",
         QT_TR_NOOP("Export inventory…"), nullptr,
         QT_TR_NOOP("Write every monitor's serial number, versions, state and bus health to a CSV or JSON file"),
         nullptr, [](MainWindow *w) { w->doExportInventory(); }},
        {&MainWindow::compareInventoryAct, "compareInventoryAct", ":/icons/img/open_folder.png",
         QT_TR_NOOP("Compare with inventory…"), nullptr,
         QT_TR_NOOP("List what changed on the bus since an exported inventory"), nullptr,
         [](MainWindow *w) { w->doCompareInventory(); }},
        {&MainWindow::acknowledgeAct, "acknowledgeAct", ":/icons/img/acknowledge.png",
         QT_TR_NOOP("&Acknowledge alarms"), "F8",
         QT_TR_NOOP("Silence the tone for the alarms present now; a new alarm sounds again"),
         QT_TR_NOOP("Acknowledge alarms - F8"), [](MainWindow *w) { w->controller->acknowledgeAlarms(); }},
        {&MainWindow::aboutAct, "aboutAct", ":/icons/img/about.png", QT_TR_NOOP("&About"),
         QT_TR_NOOP("Ctrl+A"), nullptr, nullptr, [](MainWindow *w) { w->doAbout(); }},
    };

    for (const ActionEntry &entry : entries) {
        QAction *act = entry.action == &MainWindow::monitorWindowAct
            ? monitorWindow->toggleViewAction()
            : new QAction(this);
        act->setObjectName(QLatin1String(entry.objectName));
        act->setIcon(QIcon(QLatin1String(entry.icon)));
        if (entry.text)
            act->setText(tr(entry.text));
        if (entry.shortcut)
            act->setShortcut(QKeySequence(tr(entry.shortcut)));
        if (entry.statusTip)
            act->setStatusTip(tr(entry.statusTip));
        if (entry.toolTip)
            act->setToolTip(tr(entry.toolTip));
        if (entry.trigger)
            connect(act, &QAction::triggered, this, [this, trigger = entry.trigger] { trigger(this); });
        this->*entry.action = act;
    }

    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    addEntries(fileMenu, {searchAct, nullptr, removeAct, nullptr, acknowledgeAct, nullptr, configureAct,
                          optionAct, nullptr, exportInventoryAct, compareInventoryAct, nullptr, quitAct});

    viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->setObjectName(QStringLiteral("viewMenu"));
    QAction *eventsAct = eventsDock->toggleViewAction();
    eventsAct->setObjectName(QStringLiteral("eventsAct"));
    eventsAct->setIcon(QIcon(QStringLiteral(":/icons/img/events.png")));
    eventsAct->setStatusTip(tr("Show the events of this run"));
    addEntries(viewMenu, {tableViewAct, iconViewAct, nullptr, monitorWindowAct, eventsAct, nullptr,
                          saveLayoutAct, restoreLayoutAct});

    advancedMenu = menuBar()->addMenu(tr("&Advanced"));
    advancedMenu->setObjectName(QStringLiteral("advancedMenu"));
    batchMenu = new QMenu(tr("Batch operation"), this);
    batchMenu->setObjectName(QStringLiteral("batchMenu"));
    addEntries(batchMenu, {scriptAct, powerOnAct, powerOffAct});
    advancedMenu->addMenu(batchMenu);
    advancedMenu->addAction(openLogAct);
    advancedMenu->addAction(tallyAct);
    // Made at its first opening; from then on it follows the bus by itself.
    QAction *healthAct = advancedMenu->addAction(QIcon(QStringLiteral(":/icons/img/bus_health.png")),
                                                 tr("Bus health..."));
    healthAct->setObjectName(QStringLiteral("healthAct"));
    connect(healthAct, &QAction::triggered, this, [this] { HealthWindow::open(controller, this); });

    helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpMenu->addAction(aboutAct);
}

void MainWindow::createToolBars()
{
    fileToolBar = addToolBar(tr("File"));
    fileToolBar->setObjectName(QStringLiteral("fileToolBar"));
    addEntries(fileToolBar, {searchAct, nullptr, removeAct, nullptr, acknowledgeAct, nullptr, configureAct,
                             optionAct});

    viewToolBar = addToolBar(tr("View"));
    viewToolBar->setObjectName(QStringLiteral("viewToolBar"));
    addEntries(viewToolBar, {tableViewAct, iconViewAct, nullptr, monitorWindowAct, nullptr,
                             saveLayoutAct, restoreLayoutAct});

    helpToolBar = addToolBar(tr("Help"));
    helpToolBar->setObjectName(QStringLiteral("helpToolBar"));
    helpToolBar->addAction(aboutAct);
}

void MainWindow::createStatusBar()
{
    messageLabel = new QLabel;
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setMinimumWidth(240);
    messageLabel->setText(tr("Ready"));
    statusBar()->addWidget(messageLabel, 0);

    countLabel = new QLabel;
    countLabel->setObjectName(QStringLiteral("countLabel"));
    countLabel->setMinimumWidth(100);
    statusBar()->addPermanentWidget(countLabel, 0);

    alarmLabel = new QLabel;
    alarmLabel->setObjectName(QStringLiteral("alarmLabel"));
    alarmLabel->setMinimumWidth(100);
    statusBar()->addPermanentWidget(alarmLabel, 0);

    linkLabel = new QLabel;
    linkLabel->setObjectName(QStringLiteral("linkLabel"));
    linkLabel->setMinimumWidth(100);
    statusBar()->addPermanentWidget(linkLabel, 0);
    connect(controller, &MController::linkStateChanged, this, &MainWindow::updateLinkLabel);
    connect(controller, &MController::linkStateChanged, this, &MainWindow::updateStatusBar);
    updateLinkLabel();

    updateStatusBar();
}

void MainWindow::readSettings()
{
    QSettings settings = openSettings();
    const QPoint pos = settings.value(QLatin1String(PosKey), QPoint(200, 200)).toPoint();
    const QSize size = settings.value(QLatin1String(SizeKey), QSize(800, 600)).toSize();
    settings.beginGroup(QLatin1String(DetailGroup));
    const bool floating = settings.value(QLatin1String(FloatKey), false).toBool();
    const bool visible = settings.value(QLatin1String(VisibleKey), true).toBool();
    settings.endGroup();
    const bool eventsVisible =
        settings.value(QLatin1String(EventGroup) + QLatin1Char('/') + QLatin1String(VisibleKey), false).toBool();

    resize(size);
    move(pos);
    monitorWindow->setFloating(floating);
    monitorWindow->setVisible(visible);
    eventsDock->setVisible(eventsVisible);
}

void MainWindow::writeSettings()
{
    QSettings settings = openSettings();
    settings.setValue(QLatin1String(PosKey), pos());
    settings.setValue(QLatin1String(SizeKey), size());
    settings.beginGroup(QLatin1String(DetailGroup));
    settings.setValue(QLatin1String(FloatKey), monitorWindow->isFloating());
    settings.setValue(QLatin1String(VisibleKey), monitorWindow->isVisible());
    settings.endGroup();
    const QString eventsKey = QLatin1String(EventGroup) + QLatin1Char('/') + QLatin1String(VisibleKey);
    if (eventsDock->isVisible())
        settings.setValue(eventsKey, true);
    else
        settings.remove(eventsKey);
}

void MainWindow::setupAudio()
{
    if (!AlarmSound::defaultOutputSupported()) {
        qDebug("Audio format not supported");
        return;
    }
    alarmSound = new AlarmSound(this);

    alarmTimer = new QTimer(this);
    alarmTimer->setInterval(AlarmRepeatMs);
    alarmTimer->setSingleShot(false);
    connect(alarmTimer, &QTimer::timeout, this, &MainWindow::playAlarmAudio);
}

void MainWindow::updateLinkLabel()
{
    const MController::LinkState state = controller->linkState();
    const QString since = controller->linkFaultSince().toString(QStringLiteral("HH:mm:ss"));
    QFont font = linkLabel->font();
    font.setBold(state != MController::LinkOk);
    linkLabel->setFont(font);
    QPalette palette = linkLabel->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText,
                     state == MController::LinkOk ? statusBar()->palette().windowText() : QBrush(Qt::red));
    linkLabel->setPalette(palette);
    switch (state) {
    case MController::LinkOk:
        linkLabel->setText(tr("Link OK"));
        break;
    case MController::PortLost:
        linkLabel->setText(tr("Link lost: %1 since %2").arg(controller->linkPortName(), since));
        break;
    case MController::BusSilent:
        linkLabel->setText(tr("Bus silent since %1").arg(since));
        break;
    }
}

void MainWindow::updateStatusBar()
{
    countLabel->setText(QStringLiteral("%1 %2").arg(QString::number(controller->monitorCount()),
                                                    tr("Monitors")));
    const int alarms = controller->alarmCount();
    // A lost or silent link sounds like an alarm: it hides every alarm there
    // may be. The counter itself stays the monitors' own.
    const bool linkAlarm = controller->linkState() != MController::LinkOk
        && AlarmSettings::linkAlarmEnabled();
    // Only what is not acknowledged sounds; with nothing acknowledged, all.
    const int acknowledged = controller->acknowledgedAlarmCount();
    const bool sounding = alarms > acknowledged || (linkAlarm && !controller->isLinkAcknowledged());
    QPalette palette = alarmLabel->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(alarms > 0 ? Qt::red : Qt::black));
    if (sounding) {
        const int tone = AlarmSettings::tone();
        if (tone != AlarmSettings::ToneOff)
            playAlarmAudio();
        if (tone == AlarmSettings::ToneContinue && alarmTimer)
            alarmTimer->start();
    } else {
        if (alarmTimer)
            alarmTimer->stop();
        // Acknowledged means silent at once, not after the play in progress.
        if (alarmSound && (alarms > 0 || linkAlarm))
            alarmSound->stop();
    }
    alarmLabel->setPalette(palette);
    QString text = QStringLiteral("%1 %2").arg(QString::number(alarms), tr("Alarming"));
    if (acknowledged > 0)
        text += QLatin1Char(' ') + tr("(%1 acknowledged)").arg(acknowledged);
    alarmLabel->setText(text);
}

void MainWindow::playAlarmAudio()
{
    if (alarmSound)
        alarmSound->play();
}

void MainWindow::doSearch()
{
    QProgressDialog dialog(this);
    connect(controller, &MController::addressChanged, &dialog, &QProgressDialog::setValue);
    connect(controller, &MController::msgChanged, &dialog, &QProgressDialog::setLabelText);
    dialog.setWindowTitle(tr("Searching monitors"));
    dialog.setLabelText(tr("Prepare searching..."));
    dialog.setRange(RSThread::FirstAddress, RSThread::LastAddress);

    if (!controller->startSearch())
        return;
    messageLabel->setText(QStringLiteral("%1...").arg(tr("Searching monitors")));

    // Closes by itself when the last address is probed.
    dialog.exec();
    if (dialog.wasCanceled())
        controller->stopSearch();

    if (controller->monitorCount() != 0 && tableView->currentIndex().isValid())
        toggleSortMWindow(tableView->currentIndex());
    messageLabel->setText(tr("Ready"));
}

CMonitor *MainWindow::monitorAt(const QModelIndex &viewIndex) const
{
    if (!viewIndex.isValid())
        return nullptr;
    // The table shows the model through the sorting proxy, the icon view directly.
    const QModelIndex source =
        viewIndex.model() == proxyModel ? proxyModel->mapToSource(viewIndex) : viewIndex;
    return controller->monitorAt(source.row());
}

void MainWindow::doRemove()
{
    QModelIndex index;
    if (tableView->isVisible())
        index = tableView->currentIndex();
    else if (iconView->isVisible())
        index = iconView->currentIndex();
    if (CMonitor *m = monitorAt(index))
        controller->removeMonitor(m);
}

void MainWindow::doConfigure()
{
    SerialLinkDlg::configure(this);
}

void MainWindow::toggleMWindow(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    monitorWindow->setMonitor(monitorAt(index));
}

// A table click: monitorAt() maps through the sort proxy, so the table and
// the icon view share one path.
void MainWindow::toggleSortMWindow(const QModelIndex &index)
{
    toggleMWindow(index);
}

QList<quint8> MainWindow::selectedAddresses() const
{
    const QModelIndexList indexes = tableView->isVisible()
        ? tableView->selectionModel()->selectedRows(0)
        : iconView->selectionModel()->selectedIndexes();
    QList<quint8> addresses;
    for (const QModelIndex &index : indexes) {
        if (const CMonitor *m = monitorAt(index))
            addresses << m->address;
    }
    return addresses;
}

void MainWindow::sendToSelection(quint8 keyCode)
{
    for (quint8 address : selectedAddresses())
        controller->sendControl(keyCode, address);
}

void MainWindow::doBatchOn()
{
    sendToSelection(ControlKeys::PowerOn);
}

void MainWindow::doBatchOff()
{
    sendToSelection(ControlKeys::PowerOff);
}

void MainWindow::doOpenLog()
{
    const QString path = QDir::toNativeSeparators(EventLog::directory());
#ifdef Q_OS_WIN
    QProcess::execute(QStringLiteral("explorer"), {path});
#else
    QProcess::execute(QStringLiteral("xdg-open"), {path});
#endif
}

void MainWindow::doOption()
{
    OptionDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    monitorWindow->setMonitor(monitorWindow->myMonitor());
    updateStatusBar();
    startRemote();
}

void MainWindow::doAbout()
{
    // Kept on one line each: the box wraps its text, and a line break
    // inside an address makes it unreadable.
    const QString link = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;<a href=\"%1\">%2</a>");
    QMessageBox box(this);
    box.setWindowTitle(tr("Kelvaro Controller"));
    box.setIconPixmap(QPixmap(QStringLiteral(":icons/img/logo.png")));
    box.setText(QStringLiteral("%1: %2").arg(tr("Version"), QLatin1String(VersionText)));
    box.setInformativeText(
        QStringLiteral("<p style=\"white-space:nowrap\">%1: %2<br/>%3: %4</p>")
            .arg(tr("Website"), link.arg(QLatin1String(Website), QLatin1String(Website)),
                 tr("Email"),
                 link.arg(QLatin1String("mailto:") + QLatin1String(SupportEmail),
                          QLatin1String(SupportEmail))));
    box.exec();
}

void MainWindow::doTest()
{
    const QList<quint8> selection = selectedAddresses();
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Select test script"));
    if (fileName.isEmpty())
        return;
    ScriptRunner runner(this, controller);
    runningScript = &runner;
    runner.run(fileName, selection);
}

void MainWindow::doSaveLayout()
{
    iconView->savePositions();
}

void MainWindow::doRestoreLayout()
{
    iconView->restorePositions();
}

Inventory MainWindow::currentInventory() const
{
    Inventory inventory;
    inventory.exported = QDateTime::currentDateTime();
    inventory.port = controller->linkPortName();
    inventory.application = QLatin1String(VersionText);
    RSThread *thread = controller->transactionThread();
    thread->lockMonitors();
    for (int i = 0; i < controller->monitorCount(); ++i) {
        const CMonitor *m = controller->monitorAt(i);
        inventory.monitors << InventoryEntry::fromMonitor(*m, statusText(*m), inventory.exported);
    }
    thread->unlockMonitors();
    inventory.sortByAddress();
    return inventory;
}

void MainWindow::doExportInventory()
{
    const QString csv = tr("CSV (*.csv)");
    const QString json = tr("JSON (*.json)");
    QFileDialog dialog(this, tr("Export inventory"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({csv, json});
    // A name typed without a suffix gets the chosen type's.
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, json](const QString &filter) {
        dialog.setDefaultSuffix(QLatin1String(filter == json ? "json" : "csv"));
    });
    dialog.selectFile(QStringLiteral("inventory-%1")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString error;
    if (!InventoryFile::write(dialog.selectedFiles().constFirst(), currentInventory(), &error))
        QMessageBox::warning(this, tr("Export inventory"), error);
}

void MainWindow::doCompareInventory()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Compare with inventory"), QString(),
        tr("Inventories (*.csv *.json);;All files (*)"));
    if (fileName.isEmpty())
        return;
    Inventory before;
    QString error;
    if (!InventoryFile::read(fileName, &before, &error)) {
        QMessageBox::warning(this, tr("Compare with inventory"), error);
        return;
    }
    InventoryCompareDlg dialog(fileName, before, currentInventory(), this);
    dialog.exec();
}

void MainWindow::storeCenterView(int view)
{
    openSettings().setValue(QLatin1String(CenterViewKey), view);
}

void MainWindow::toggleTableView()
{
    storeCenterView(TableView);
    tableView->show();
    iconView->hide();
}

void MainWindow::toggleIconView()
{
    storeCenterView(IconView);
    iconView->show();
    tableView->hide();
}

bool MainWindow::confirmQuit()
{
    return QMessageBox::warning(this, QStringLiteral("Kelvaro Controller"),
                                tr("Do you want to quit now"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!confirmQuit()) {
        event->ignore();
        return;
    }
    // A script waiting in its own event loop would otherwise keep the
    // process, and with it the port, alive with no window to stop it.
    if (runningScript)
        runningScript->abort();
    writeSettings();
    if (alarmTimer)
        alarmTimer->stop();
    if (alarmSound)
        alarmSound->stop();
    event->accept();
}

void MainWindow::startTally()
{
    const QStringList failures =
        tallyInput->start(TallySettings::read(), SerialSettings::baudRateForIndex(SerialSettings::read().baudRateIndex));
    model->setUmdShown(tallyInput->isOn());
    if (!failures.isEmpty())
        QMessageBox::warning(this, tr("Tally input"),
                             tr("The tally input cannot listen here:\n%1\nEverything else goes on as before.")
                                 .arg(failures.join(QLatin1Char('\n'))));
}

void MainWindow::startRemote()
{
    const RemoteSettings settings = RemoteSettings::read();
    QStringList failures = settings.unreadable;
    if (failures.isEmpty() && settings == remoteStarted && remoteServer->isOn() == settings.enabled)
        return;
    remoteStarted = settings;
    if (settings.enabled)
        failures = remoteServer->start(settings);
    else
        remoteServer->stop();
    if (!failures.isEmpty())
        QMessageBox::warning(this, tr("Remote"),
                             tr("The remote wall and API cannot start:\n%1\nEverything else goes on as before.")
                                 .arg(failures.join(QLatin1Char('\n'))));
}

void MainWindow::doTally()
{
    TallyDlg dialog(tallyInput, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.settings().write();
    startTally();
}
