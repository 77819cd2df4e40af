#ifndef OPTIONDLG_H
#define OPTIONDLG_H

#include "monitor/alarmkinds.h"
#include "remote/remotesettings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class RemoteOptions;

// The operator's options: where the event logs go, which alarm kinds count,
// how the alarm tone plays and how long an acknowledgement silences it, and
// how often a monitor that does not answer is
// polled, and whether the window searches the bus at start-up. Built from mc422.ini each time it is shown;
// only OK writes the file back.
class OptionDlg : public QDialog
{
    Q_OBJECT

public:
    explicit OptionDlg(QWidget *parent = nullptr);
    ~OptionDlg() override;

public slots:
    void accept() override;

private slots:
    void doChangeDir();

private:
    QLineEdit *dirEdit;
    std::array<QCheckBox *, AlarmKinds::KindCount> alarmBoxes; // indexed by kind
    QCheckBox *linkBox;
    QComboBox *toneCombo;
    QSpinBox *ackSpin;  // minutes an acknowledgement lasts, 0 until the alarm clears
    bool ackStored;     // the key is in the file: 0 is stored back
    QCheckBox *lostPollBox;
    QSpinBox *lostPollSpin;
    bool lostPollStored; // the key is in the file: unchecking stores 0
    QCheckBox *searchAtStartBox;
    bool searchAtStartStored; // the key is in the file: unchecking stores false
    RemoteOptions *remoteOptions;
    RemoteSettings remoteRead; // as read: the group is written only when changed
};

#endif // OPTIONDLG_H
