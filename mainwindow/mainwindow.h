#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "remote/remotesettings.h"

#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>

class AlarmSound;
class EventsDock;
class CMonitor;
class Inventory;
class MController;
class MIconView;
class MWindow;
class MonitorModel;
class RemoteServer;
class TallyInput;
class QAction;
class QLabel;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class QToolBar;
class ScriptRunner;

// The application's only top-level window: the bus supervisor and every view
// of it, the actions that drive it, the alarm sound and the status bar.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The bus addresses of the monitors selected in the visible view, in
    // selection order.
    QList<quint8> selectedAddresses() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void doSearch();
    void doRemove();
    void doConfigure();
    void toggleMWindow(const QModelIndex &index);
    void toggleSortMWindow(const QModelIndex &index);
    void updateStatusBar();
    void updateLinkLabel();
    void doAbout();
    void doOption();
    void doTest();
    void doBatchOn();
    void doBatchOff();
    void doOpenLog();
    void doSaveLayout();
    void doRestoreLayout();
    void toggleTableView();
    void toggleIconView();
    void playAlarmAudio();
    void doTally();
    void doExportInventory();
    void doCompareInventory();

private:
    void createViews();
    void createActions();
    void createToolBars();
    void createStatusBar();
    void readSettings();
    void writeSettings();
    void setupAudio();
    bool confirmQuit();
    void sendToSelection(quint8 keyCode);
    // The monitor at an index of the table or the icon view, or null.
    CMonitor *monitorAt(const QModelIndex &viewIndex) const;
    static void storeCenterView(int view);
    // (Re)starts the tally input as the settings say; a listener that
    // cannot listen is named in a warning, and everything else goes on.
    void startTally();
    // (Re)starts the remote wall and API when its settings changed; off,
    // nothing listens. Failures in a warning; everything else goes on.
    void startRemote();
    // Every listed monitor as it stands now, read under the monitor lock.
    Inventory currentInventory() const;

    QMenu *fileMenu = nullptr;
    QMenu *advancedMenu = nullptr;
    QMenu *helpMenu = nullptr;
    QMenu *viewMenu = nullptr;
    QMenu *batchMenu = nullptr;
    QToolBar *fileToolBar = nullptr;
    QToolBar *helpToolBar = nullptr;
    QToolBar *viewToolBar = nullptr;

    QAction *searchAct = nullptr;
    QAction *monitorWindowAct = nullptr;
    QAction *removeAct = nullptr;
    QAction *configureAct = nullptr;
    QAction *optionAct = nullptr;
    QAction *aboutAct = nullptr;
    QAction *quitAct = nullptr;
    QAction *scriptAct = nullptr;
    QAction *powerOnAct = nullptr;
    QAction *powerOffAct = nullptr;
    QAction *openLogAct = nullptr;
    QAction *tableViewAct = nullptr;
    QAction *iconViewAct = nullptr;
    QAction *saveLayoutAct = nullptr;
    QAction *restoreLayoutAct = nullptr;
    QAction *tallyAct = nullptr;
    QAction *exportInventoryAct = nullptr;
    QAction *compareInventoryAct = nullptr;
    QAction *acknowledgeAct = nullptr;

    MonitorModel *model = nullptr;
    QSortFilterProxyModel *proxyModel = nullptr;
    MController *controller = nullptr;
    QTableView *tableView = nullptr;
    MWindow *monitorWindow = nullptr;
    EventsDock *eventsDock = nullptr;
    MIconView *iconView = nullptr;
    QPointer<ScriptRunner> runningScript; // while doTest() runs
    QLabel *messageLabel = nullptr;
    QLabel *countLabel = nullptr;
    QLabel *alarmLabel = nullptr;
    QLabel *linkLabel = nullptr; // the serial link: OK, lost or silent
    QTimer *alarmTimer = nullptr;
    AlarmSound *alarmSound = nullptr;
    TallyInput *tallyInput = nullptr;
    RemoteServer *remoteServer = nullptr;
    RemoteSettings remoteStarted; // what the server runs with; default: off
};

#endif // MAINWINDOW_H
