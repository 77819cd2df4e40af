#ifndef MWINDOW_H
#define MWINDOW_H

#include "monitor/alarmkinds.h"
#include "monitor/cmonitor.h"

#include <QDockWidget>
#include <QPointer>

#include <array>

class MController;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class ROBox;

// The detail dock of one monitor: its state (Status), a remote front panel
// (Control) and its board versions (Misc). It keeps its own copy of the
// record and follows the updates of that one bus address.
class MWindow : public QDockWidget
{
    Q_OBJECT

public:
    static constexpr int AlarmCount = AlarmKinds::KindCount;
    static constexpr int FunctionCount = 30;
    static constexpr int BoardCount = 5;
    // Every key button but Power, one per entry of ControlKeys::keys.
    static constexpr int KeyButtonCount = 29;

    MWindow(const QString &title, QWidget *parent = nullptr);

    // Where key presses and UMD texts go; without one the Control tab sends
    // nothing. The main window sets it right after creating the window.
    void setController(MController *controller);

public slots:
    void setMonitor(CMonitor *m);
    void monitorUpdate(CMonitor m);
    void monitorRemoved(CMonitor m);
    CMonitor *myMonitor();

private slots:
    void sendMonitorCmd();
    void setTallyUMD();
    // Takes the live record's health figures, which change with every
    // exchange, not only when the record does.
    void pullHealth();

private:
    void createStatusTab();
    void createControlTab();
    QGroupBox *createUmdGroup();
    void createMiscTab();
    QGroupBox *createHealthGroup();
    void refreshView();
    void refreshHealth();

    QTabWidget *tabs;
    QWidget *statusPage;
    QWidget *controlPage;
    QWidget *miscPage;

    // Status tab
    QLabel *serialNumberLabel;
    QLabel *versionLabel;
    QLabel *statusImageLabel;
    QLabel *inputLabel;
    QLabel *modeLabel;
    // In the order of AlarmKinds::shownOrder.
    std::array<ROBox *, AlarmCount> alarmBoxes;
    QLabel *timeCodeLabel;
    std::array<QLabel *, CMonitor::RotaryCount> rotaryLabels;
    std::array<ROBox *, FunctionCount> functionBoxes;

    // Misc tab
    QLabel *addressLabel;
    // Bus health: last good reply, median, worst, failures, zombie episodes.
    std::array<QLabel *, 5> healthLabels;

    // Control tab
    QPushButton *powerButton;
    QGroupBox *powerGroup;
    // Indexed like ControlKeys::keys, so the table alone decides the codes.
    std::array<QPushButton *, KeyButtonCount> keyButtons;
    QPushButton *setButton;
    QCheckBox *umdCheck;
    QCheckBox *redTallyCheck;
    QCheckBox *greenTallyCheck;
    QLineEdit *umdEdit;

    // Misc tab: FPGA code, Rec709, SMPTE-C, EBU, DCI P3.
    std::array<QLineEdit *, BoardCount> boardEdits;

    CMonitor monitor; // address 0: nothing shown
    QPointer<MController> controller;
};

#endif // MWINDOW_H
