#ifndef REMOTEOPTIONS_H
#define REMOTEOPTIONS_H

#include "remote/remotesettings.h"

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The "Remote" group of the options dialog: the six settings of the remote
// wall and API, shown as read and handed back as edited.
class RemoteOptions : public QGroupBox
{
    Q_OBJECT

public:
    explicit RemoteOptions(const RemoteSettings &settings, QWidget *parent = nullptr);

    RemoteSettings settings() const;

private:
    QCheckBox *enabledBox;
    QLineEdit *bindEdit;
    QSpinBox *portSpin;
    QLineEdit *tokenEdit;
    QCheckBox *controlBox;
    QCheckBox *openReadBox;
};

#endif // REMOTEOPTIONS_H
