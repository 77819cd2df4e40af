#include "mainwindow/tallydlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int RefreshMs = 500;

QSpinBox *spin(int minimum, int maximum)
{
    auto *box = new QSpinBox;
    box->setRange(minimum, maximum);
    return box;
}

} // namespace

TallyDlg::TallyDlg(const TallyInput *input, QWidget *parent)
    : QDialog(parent),
      input(input)
{
    setWindowTitle(tr("Tally input"));

    tsl5Check = new QCheckBox(tr("TSL 5.0 over UDP and TCP, port"));
    tsl5PortSpin = spin(1, 65535);
    tsl31Check = new QCheckBox(tr("TSL 3.1 over UDP, port"));
    tsl31PortSpin = spin(1, 65535);
    screenSpin = spin(0, TallySettings::MaxScreen);
    bindEdit = new QLineEdit;
    bindEdit->setToolTip(tr("127.0.0.1: this computer only; 0.0.0.0: every IPv4 network; ::: every network"));
    allowEdit = new QLineEdit;
    allowEdit->setToolTip(tr("Addresses or ranges such as 10.1.2.0/24, separated by commas; empty: anyone"));
    allowNote = new QLabel;
    allowNote->setWordWrap(true);
    connect(allowEdit, &QLineEdit::textChanged, this, &TallyDlg::checkAllowList);

    auto *listeners = new QGroupBox(tr("Listen"));
    auto *form = new QFormLayout(listeners);
    form->addRow(tsl5Check, tsl5PortSpin);
    form->addRow(tsl31Check, tsl31PortSpin);
    form->addRow(tr("Address to listen on"), bindEdit);
    form->addRow(tr("Allowed senders"), allowEdit);
    form->addRow(QString(), allowNote);

    mapTable = new QTableWidget(0, 3);
    mapTable->setHorizontalHeaderLabels({tr("Screen"), tr("Index"), tr("Bus address")});
    mapTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    mapTable->verticalHeader()->hide();
    auto *addButton = new QPushButton(tr("Add"));
    auto *removeButton = new QPushButton(tr("Remove"));
    connect(addButton, &QPushButton::clicked, this, [this] {
        const int row = mapTable->rowCount();
        mapTable->insertRow(row);
        const QStringList cells = {QString::number(screenSpin->value()), QString::number(row + 1), QString::number(row + 1)};
        for (int column = 0; column < 3; ++column)
            mapTable->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (mapTable->currentRow() >= 0)
            mapTable->removeRow(mapTable->currentRow());
    });
    auto *mapping = new QGroupBox(tr("Mapping"));
    auto *mapLayout = new QGridLayout(mapping);
    mapLayout->addWidget(new QLabel(tr("On screen")), 0, 0);
    mapLayout->addWidget(screenSpin, 0, 1);
    mapLayout->addWidget(new QLabel(tr("display N is bus address N; except:")), 0, 2, 1, 2);
    mapLayout->addWidget(mapTable, 1, 0, 1, 4);
    mapLayout->addWidget(addButton, 2, 2);
    mapLayout->addWidget(removeButton, 2, 3);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &TallyDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(listeners);
    layout->addWidget(mapping);
    layout->addWidget(createStatusGroup());
    layout->addWidget(buttons);

    setSettings(TallySettings::read());
    refreshTimer = new QTimer(this);
    connect(refreshTimer, &QTimer::timeout, this, &TallyDlg::refreshStatus);
    refreshTimer->start(RefreshMs);
    refreshStatus();
}

QWidget *TallyDlg::createStatusGroup()
{
    auto *group = new QGroupBox(tr("Now"));
    auto *grid = new QGridLayout(group);
    for (int l = 0; l < TallyInput::ListenerCount; ++l) {
        stateLabels[l] = new QLabel;
        countLabels[l] = new QLabel;
        senderLabels[l] = new QLabel;
        grid->addWidget(new QLabel(TallyInput::listenerName(TallyInput::Listener(l))), l, 0);
        grid->addWidget(stateLabels[l], l, 1);
        grid->addWidget(countLabels[l], l, 2);
        grid->addWidget(senderLabels[l], l, 3);
    }
    return group;
}

void TallyDlg::refreshStatus()
{
    for (int l = 0; l < TallyInput::ListenerCount; ++l) {
        const TallyInput::Status status = input ? input->status(TallyInput::Listener(l)) : TallyInput::Status();
        QString state;
        if (!status.enabled)
            state = tr("off");
        else if (status.listening)
            state = tr("listening on port %1").arg(status.port);
        else
            state = tr("not listening: %1").arg(status.error);
        stateLabels[l]->setText(state);
        countLabels[l]->setText(tr("%1 received, %2 dropped").arg(status.received).arg(status.dropped));
        senderLabels[l]->setText(status.lastPacket.isValid()
                                     ? tr("last from %1 at %2").arg(status.lastSender,
                                                                   status.lastPacket.toString(QStringLiteral("hh:mm:ss")))
                                     : QString());
    }
}

void TallyDlg::checkAllowList()
{
    const QStringList invalid = AllowList(allowEdit->text()).invalidEntries();
    allowNote->setText(invalid.isEmpty() ? QString()
                                         : tr("Not understood, and so allowing nobody: %1").arg(invalid.join(QLatin1String(", "))));
}

void TallyDlg::setSettings(const TallySettings &settings)
{
    tsl5Check->setChecked(settings.tsl5);
    tsl5PortSpin->setValue(settings.tsl5Port);
    tsl31Check->setChecked(settings.tsl31);
    tsl31PortSpin->setValue(settings.tsl31Port);
    screenSpin->setValue(settings.screen);
    bindEdit->setText(settings.bind);
    allowEdit->setText(settings.allow);
    mapTable->setRowCount(0);
    for (auto it = settings.map.cbegin(); it != settings.map.cend(); ++it) {
        const int row = mapTable->rowCount();
        mapTable->insertRow(row);
        const QStringList cells = {QString::number(it.key().first), QString::number(it.key().second),
                                   QString::number(it.value())};
        for (int column = 0; column < 3; ++column)
            mapTable->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    checkAllowList();
}

TallySettings TallyDlg::settings() const
{
    TallySettings settings;
    settings.tsl5 = tsl5Check->isChecked();
    settings.tsl5Port = quint16(tsl5PortSpin->value());
    settings.tsl31 = tsl31Check->isChecked();
    settings.tsl31Port = quint16(tsl31PortSpin->value());
    settings.screen = quint16(screenSpin->value());
    settings.bind = bindEdit->text().trimmed();
    settings.allow = allowEdit->text().trimmed();
    for (int row = 0; row < mapTable->rowCount(); ++row) {
        bool ok[3] = {};
        int values[3] = {};
        for (int column = 0; column < 3; ++column) {
            const QTableWidgetItem *item = mapTable->item(row, column);
            values[column] = item ? item->text().trimmed().toInt(&ok[column]) : 0;
        }
        if (ok[0] && ok[1] && ok[2] && values[0] >= 0 && values[0] <= TallySettings::MaxScreen && values[1] >= 0
            && values[1] < 0xFFFF)
            settings.map.insert({quint16(values[0]), quint16(values[1])}, values[2]);
    }
    return settings;
}

void TallyDlg::accept()
{
    if (!QHostAddress(bindEdit->text().trimmed()).isNull() || bindEdit->text().trimmed().isEmpty()) {
        QDialog::accept();
        return;
    }
    QMessageBox::warning(this, windowTitle(),
                         tr("\"%1\" is no address to listen on. Use 127.0.0.1 for this computer only, or "
                            "0.0.0.0 for every network.").arg(bindEdit->text()));
}
