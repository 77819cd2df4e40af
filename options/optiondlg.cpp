#include "options/optiondlg.h"

#include "monitor/alarmsettings.h"
#include "monitor/settingsfile.h"
#include "monitor/startupsettings.h"
#include "options/remoteoptions.h"
#include "supervision/eventlog.h"
#include "transport/serialsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

OptionDlg::OptionDlg(QWidget *parent)
    : QDialog(parent)
{
    auto *dirGroup = new QGroupBox(tr("Log file directory"));
    auto *dirGrid = new QGridLayout(dirGroup);
    dirEdit = new QLineEdit(EventLog::directory());
    auto *changeButton = new QPushButton(tr("Change"));
    // Enter in the field confirms the dialog; only a click opens the chooser.
    changeButton->setAutoDefault(false);
    // Spelled so on purpose: operators' manuals and scripts use this caption.
    dirGrid->addWidget(new QLabel(tr("Directroy")), 0, 0);
    dirGrid->addWidget(dirEdit, 0, 1, 1, 4);
    dirGrid->addWidget(changeButton, 0, 5);
    connect(changeButton, &QPushButton::clicked, this, &OptionDlg::doChangeDir);

    auto *alarmGroup = new QGroupBox(tr("Alarm setting"));
    auto *alarmGrid = new QGridLayout(alarmGroup);
    for (AlarmKinds::Kind kind : AlarmKinds::shownOrder) {
        const AlarmKinds::AlarmKind &k = AlarmKinds::kinds[kind];
        auto *box = new QCheckBox(tr(k.optionCaption));
        box->setIcon(QIcon(QLatin1String(k.icon)));
        box->setChecked(AlarmSettings::isEnabled(kind));
        alarmGrid->addWidget(box, k.optionCell.row, k.optionCell.column);
        alarmBoxes[kind] = box;
    }
    linkBox = new QCheckBox(tr("Link"));
    linkBox->setToolTip(tr("Sound the alarm while the serial link is lost or the bus is silent"));
    linkBox->setChecked(AlarmSettings::linkAlarmEnabled());
    alarmGrid->addWidget(linkBox, 3, 0); // below the kinds' three rows

    auto *toneGroup = new QGroupBox(tr("Alarm tone"));
    auto *toneGrid = new QGridLayout(toneGroup);
    toneCombo = new QComboBox;
    // Indexed by AlarmSettings::Tone: the stored value is the item's index.
    toneCombo->addItems({tr("Off"), tr("Once"), tr("Continue")});
    toneCombo->setCurrentIndex(AlarmSettings::tone());
    toneGrid->addWidget(new QLabel(tr("Alarm tone")), 0, 0);
    toneGrid->addWidget(toneCombo, 0, 1, 1, 2);
    ackSpin = new QSpinBox;
    ackSpin->setObjectName(QStringLiteral("ackMinutesSpin"));
    ackSpin->setToolTip(tr("How long \"Acknowledge alarms\" silences the alarms present then; "
                           "a new alarm sounds at once"));
    ackSpin->setRange(0, AlarmSettings::MaxAckMinutes);
    ackSpin->setSpecialValueText(tr("Until the alarm clears"));
    ackSpin->setSuffix(tr(" minutes"));
    ackSpin->setValue(AlarmSettings::ackMinutes());
    ackStored = openSettings().contains(QStringLiteral("%1/%2").arg(QLatin1String(AlarmSettings::Group),
                                                                     QLatin1String(AlarmSettings::AckMinutesKey)));
    toneGrid->addWidget(new QLabel(tr("Acknowledged for")), 1, 0);
    toneGrid->addWidget(ackSpin, 1, 1, 1, 2);

    // Off, each dead monitor costs its time-out in every round of polls.
    auto *lostGroup = new QGroupBox(tr("Lost monitors"));
    auto *lostGrid = new QGridLayout(lostGroup);
    const int lostPoll = SerialSettings::read().lostPoll;
    lostPollStored = openSettings().contains(QStringLiteral("%1/%2").arg(QLatin1String(SerialSettings::Group),
                                                                          QLatin1String(SerialSettings::LostPollKey)));
    lostPollBox = new QCheckBox(tr("Poll lost monitors every"));
    lostPollBox->setToolTip(tr("A monitor that does not answer is polled once in this time instead of in "
                               "every round, so that it does not slow the others down"));
    lostPollBox->setChecked(lostPoll != 0);
    lostPollSpin = new QSpinBox;
    lostPollSpin->setObjectName(QStringLiteral("lostPollSpin"));
    lostPollSpin->setRange(SerialSettings::MinLostPoll, SerialSettings::MaxLostPoll);
    lostPollSpin->setSuffix(tr(" seconds"));
    lostPollSpin->setValue(lostPoll ? lostPoll : 10);
    lostPollSpin->setEnabled(lostPoll != 0);
    connect(lostPollBox, &QCheckBox::toggled, lostPollSpin, &QSpinBox::setEnabled);
    lostGrid->addWidget(lostPollBox, 0, 0);
    lostGrid->addWidget(lostPollSpin, 0, 1);

    auto *startupGroup = new QGroupBox(tr("Start-up"));
    auto *startupGrid = new QGridLayout(startupGroup);
    searchAtStartBox = new QCheckBox(tr("Search the bus at start-up"));
    searchAtStartBox->setObjectName(QStringLiteral("searchAtStartBox"));
    searchAtStartBox->setToolTip(tr("Once the window is open, search the bus as File > Search (F5) does"));
    searchAtStartBox->setChecked(StartupSettings::searchAtStart());
    searchAtStartStored = StartupSettings::searchStored();
    startupGrid->addWidget(searchAtStartBox, 0, 0);
    remoteRead = RemoteSettings::read();
    remoteOptions = new RemoteOptions(remoteRead);

    auto *okButton = new QPushButton(tr("OK"));
    okButton->setDefault(true);
    auto *cancelButton = new QPushButton(tr("Cancel"));
    connect(okButton, &QPushButton::clicked, this, &OptionDlg::accept);
    connect(cancelButton, &QPushButton::clicked, this, &OptionDlg::reject);

    auto *grid = new QGridLayout(this);
    grid->setSpacing(20);
    grid->addWidget(dirGroup, 0, 0, 1, 6);
    grid->addWidget(alarmGroup, 1, 0, 1, 6);
    grid->addWidget(toneGroup, 2, 0, 1, 6);
    // Side by side: the dialog must still fit a small screen.
    grid->addWidget(lostGroup, 3, 0, 1, 3);
    grid->addWidget(startupGroup, 3, 3, 1, 3);
    grid->addWidget(remoteOptions, 4, 0, 1, 6);
    grid->addWidget(okButton, 5, 3);
    grid->addWidget(cancelButton, 5, 5);
}

OptionDlg::~OptionDlg() = default;

void OptionDlg::doChangeDir()
{
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("Select directory"), dirEdit->text(), QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        dirEdit->setText(dir);
}

void OptionDlg::accept()
{
    // A server that could not start is refused here, where it can be fixed.
    const RemoteSettings remote = remoteOptions->settings();
    const QStringList problems = remote.enabled ? remote.validate() : QStringList();
    if (!problems.isEmpty()) {
        QMessageBox::warning(this, tr("Remote"), problems.join(QLatin1Char('\n')));
        return;
    }
    // A file that never had the group stays without it while nothing changes.
    if (remote != remoteRead)
        remote.write();
    {
        QSettings settings = openSettings();
        // An empty field keeps the directory in force rather than storing
        // a path that would mean "nowhere".
        if (!dirEdit->text().isEmpty()) {
            settings.beginGroup(QLatin1String(EventLog::Group));
            settings.setValue(QLatin1String(EventLog::PathKey), dirEdit->text());
            settings.endGroup();
        }

        settings.beginGroup(QLatin1String(AlarmSettings::Group));
        for (int kind = 0; kind < AlarmKinds::KindCount; ++kind)
            settings.setValue(QLatin1String(AlarmKinds::kinds[kind].key),
                              alarmBoxes[kind]->isChecked());
        settings.setValue(QLatin1String(AlarmSettings::ToneKey), toneCombo->currentIndex());
        settings.setValue(QLatin1String(AlarmKinds::LinkKey), linkBox->isChecked());
        // Like the lost-monitor interval: a file that never had the key
        // stays without it while the default is kept.
        if (ackSpin->value() != 0 || ackStored)
            settings.setValue(QLatin1String(AlarmSettings::AckMinutesKey), ackSpin->value());
        settings.endGroup();
        settings.sync();
    }
    // Written only when on, or to switch it off: a file that never had the
    // key stays without it.
    if (lostPollBox->isChecked())
        SerialSettings::writeLostPoll(lostPollSpin->value());
    else if (lostPollStored)
        SerialSettings::writeLostPoll(0);
    if (searchAtStartBox->isChecked() || searchAtStartStored)
        StartupSettings::writeSearchAtStart(searchAtStartBox->isChecked());
    QDialog::accept();
}
