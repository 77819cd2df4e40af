#include "options/remoteoptions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

RemoteOptions::RemoteOptions(const RemoteSettings &s, QWidget *parent)
    : QGroupBox(tr("Remote"), parent)
{
    setObjectName(QStringLiteral("remoteGroup"));
    auto *grid = new QGridLayout(this);
    enabledBox = new QCheckBox(tr("Serve the remote wall and API"));
    enabledBox->setObjectName(QStringLiteral("remoteEnabledBox"));
    enabledBox->setToolTip(tr("A web page and a JSON interface over HTTP with the monitors' state"));
    enabledBox->setChecked(s.enabled);
    bindEdit = new QLineEdit(s.bind);
    bindEdit->setObjectName(QStringLiteral("remoteBindEdit"));
    bindEdit->setToolTip(tr("The address to listen on: 127.0.0.1 for this computer only, 0.0.0.0 for every network"));
    portSpin = new QSpinBox;
    portSpin->setObjectName(QStringLiteral("remotePortSpin"));
    portSpin->setRange(1, 65535);
    portSpin->setValue(s.port >= 1 && s.port <= 65535 ? s.port : int(RemoteSettings::DefaultPort));
    tokenEdit = new QLineEdit(s.token);
    tokenEdit->setObjectName(QStringLiteral("remoteTokenEdit"));
    tokenEdit->setToolTip(tr("Clients send it as \"Authorization: Bearer <token>\""));
    controlBox = new QCheckBox(tr("Allow control (needs a token)"));
    controlBox->setObjectName(QStringLiteral("remoteControlBox"));
    controlBox->setChecked(s.control);
    openReadBox = new QCheckBox(tr("Reading without a token"));
    openReadBox->setObjectName(QStringLiteral("remoteOpenReadBox"));
    openReadBox->setChecked(s.openread);

    grid->addWidget(enabledBox, 0, 0, 1, 4);
    grid->addWidget(new QLabel(tr("Address")), 1, 0);
    grid->addWidget(bindEdit, 1, 1);
    grid->addWidget(new QLabel(tr("Port")), 1, 2);
    grid->addWidget(portSpin, 1, 3);
    grid->addWidget(new QLabel(tr("Token")), 2, 0);
    grid->addWidget(tokenEdit, 2, 1, 1, 3);
    grid->addWidget(controlBox, 3, 0, 1, 2);
    grid->addWidget(openReadBox, 3, 2, 1, 2);
}

RemoteSettings RemoteOptions::settings() const
{
    RemoteSettings s;
    s.enabled = enabledBox->isChecked();
    s.bind = bindEdit->text().trimmed();
    s.port = portSpin->value();
    s.token = tokenEdit->text();
    s.control = controlBox->isChecked();
    s.openread = openReadBox->isChecked();
    return s;
}
