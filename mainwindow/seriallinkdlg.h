#ifndef SERIALLINKDLG_H
#define SERIALLINKDLG_H

#include "transport/serialsettings.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;

// Edits group "serial" of mc422.ini. It only stores: the port is opened with
// the new settings at the next search, as the dialog's notice tells.
class SerialLinkDlg : public QDialog
{
    Q_OBJECT

public:
    // Built showing the stored settings.
    explicit SerialLinkDlg(QWidget *parent = nullptr);
    ~SerialLinkDlg() override;

    // Runs the dialog modally over parent and stores what it shows when the
    // operator presses OK; true then, false on Cancel.
    static bool configure(QWidget *parent);

    void setSettings(const SerialSettings &settings);
    // What OK stores: the port box's text, each other box's index (-1 with
    // no item chosen) and the time-out text as a decimal number (0 if it is
    // not one).
    SerialSettings settings() const;

    // The port box's list for a stored port: "COM1" to "COM8"; elsewhere
    // than on Windows then the system's serial ports and, last, the stored
    // port when it is none of these.
    static QStringList portNames(const QString &storedPort);
    // devices with each one that a link in byIdDirectory points to replaced
    // by that link, whose name survives re-plugging and re-booting.
    static QStringList withStableNames(const QStringList &devices,
                                       const QString &byIdDirectory);

private:
    QComboBox *portCombo;
    QComboBox *baudRateCombo;
    QComboBox *dataBitsCombo;
    QComboBox *stopBitsCombo;
    QComboBox *parityCombo;
    QComboBox *flowControlCombo;
    QLineEdit *timeoutEdit;
};

#endif // SERIALLINKDLG_H
