#ifndef TALLYDLG_H
#define TALLYDLG_H

#include "tally/tallyinput.h"
#include "tally/tallysettings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class QTimer;

// Edits group "tally" of mc422.ini and shows how each listener of the
// running input fares: listening or why not, packets taken and dropped,
// the last sender and when it last sent. OK stores; the caller restarts
// the input with what was stored.
class TallyDlg : public QDialog
{
    Q_OBJECT

public:
    // input may be null: no figures then.
    TallyDlg(const TallyInput *input, QWidget *parent = nullptr);

    void setSettings(const TallySettings &settings);
    TallySettings settings() const;

public slots:
    void accept() override;

private slots:
    void refreshStatus();
    void checkAllowList();

private:
    QWidget *createStatusGroup();

    const TallyInput *input;
    QCheckBox *tsl5Check;
    QSpinBox *tsl5PortSpin;
    QCheckBox *tsl31Check;
    QSpinBox *tsl31PortSpin;
    QSpinBox *screenSpin;
    QLineEdit *bindEdit;
    QLineEdit *allowEdit;
    QLabel *allowNote;
    QTableWidget *mapTable;
    std::array<QLabel *, TallyInput::ListenerCount> stateLabels{};
    std::array<QLabel *, TallyInput::ListenerCount> countLabels{};
    std::array<QLabel *, TallyInput::ListenerCount> senderLabels{};
    QTimer *refreshTimer;
};

#endif // TALLYDLG_H
