#include "mainwindow/seriallinkdlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>

#include <array>
#include <utility>

namespace {

// The dialog offers the rates up to 57600 only, as it always has; the
// higher ones stay reachable by editing the file.
constexpr int OfferedBaudRates = 18;
constexpr int ClassicPortCount = 8;

// Where udev keeps a link per serial adapter named after its vendor, model
// and serial number.
const char ByIdDirectory[] = "/dev/serial/by-id";

QComboBox *fixedCombo(const QStringList &items)
{
    auto *combo = new QComboBox;
    combo->addItems(items);
    return combo;
}

} // namespace

SerialLinkDlg::SerialLinkDlg(QWidget *parent)
    : QDialog(parent)
{
    portCombo = new QComboBox;
#ifndef Q_OS_WIN
    // The system reports no pseudo-terminal and no adapter that is not
    // plugged in yet, so the operator may type any device path.
    portCombo->setEditable(true);
    portCombo->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would quietly turn a typed "/dev/ttyS1" into a
    // listed "/dev/ttyS10".
    portCombo->setCompleter(nullptr);
#endif

    QStringList rates;
    for (int i = 0; i < OfferedBaudRates; ++i)
        rates << QString::number(SerialSettings::baudRates[size_t(i)]);
    // Item texts are shown untranslated; each item's index is what is stored.
    baudRateCombo = fixedCombo(rates);
    dataBitsCombo = fixedCombo({QStringLiteral("5 Bits"), QStringLiteral("6 Bits"),
                                QStringLiteral("7 Bits"), QStringLiteral("8 Bits")});
    stopBitsCombo = fixedCombo({QStringLiteral("1 Bits"), QStringLiteral("1.5 Bits"),
                                QStringLiteral("2 Bits")});
    parityCombo = fixedCombo({QStringLiteral("None"), QStringLiteral("Odd"),
                              QStringLiteral("Even")});
    flowControlCombo = fixedCombo({QStringLiteral("None"), QStringLiteral("Hardware"),
                                   QStringLiteral("XONXOFF")});
    timeoutEdit = new QLineEdit;

    auto *group = new QGroupBox(tr("Configure"));
    auto *fields = new QGridLayout(group);
    const std::array<std::pair<QString, QWidget *>, 7> rows = {{
        {tr("COM"), portCombo},
        {tr("Baudrate"), baudRateCombo},
        {tr("Data bits"), dataBitsCombo},
        {tr("Stop bits"), stopBitsCombo},
        {tr("Parity"), parityCombo},
        {tr("Flow control"), flowControlCombo},
        {tr("Timeout(ms)"), timeoutEdit},
    }};
    for (int row = 0; row < int(rows.size()); ++row) {
        fields->addWidget(new QLabel(rows[size_t(row)].first), row, 0, 1, 2);
        fields->addWidget(rows[size_t(row)].second, row, 2, 1, 3);
    }

    auto *okButton = new QPushButton(tr("OK"));
    auto *cancelButton = new QPushButton(tr("Cancel"));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout(this);
    grid->setSpacing(20);
    grid->addWidget(group, 0, 0, 1, 3);
    grid->addWidget(new QLabel(tr("You must do SEARCH after change parameters")), 1, 0, 1, 3);
    grid->addWidget(okButton, 2, 0);
    grid->addWidget(cancelButton, 2, 2);

    setSettings(SerialSettings::read());
}

SerialLinkDlg::~SerialLinkDlg() = default;

bool SerialLinkDlg::configure(QWidget *parent)
{
    SerialLinkDlg dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.settings().write();
    return true;
}

void SerialLinkDlg::setSettings(const SerialSettings &settings)
{
    portCombo->clear();
    portCombo->addItems(portNames(settings.port));
    const int port = portCombo->findText(settings.port, Qt::MatchExactly | Qt::MatchCaseSensitive);
    portCombo->setCurrentIndex(port >= 0 ? port : 0);

    // An index outside a list leaves its box without a choice.
    baudRateCombo->setCurrentIndex(settings.baudRateIndex);
    dataBitsCombo->setCurrentIndex(settings.dataBitsIndex);
    stopBitsCombo->setCurrentIndex(settings.stopBitsIndex);
    parityCombo->setCurrentIndex(settings.parityIndex);
    flowControlCombo->setCurrentIndex(settings.flowControlIndex);
    timeoutEdit->setText(QString::number(settings.totalTimeout));
}

SerialSettings SerialLinkDlg::settings() const
{
    SerialSettings settings;
    settings.port = portCombo->currentText();
    settings.baudRateIndex = baudRateCombo->currentIndex();
    settings.dataBitsIndex = dataBitsCombo->currentIndex();
    settings.stopBitsIndex = stopBitsCombo->currentIndex();
    settings.parityIndex = parityCombo->currentIndex();
    settings.flowControlIndex = flowControlCombo->currentIndex();
    settings.totalTimeout = timeoutEdit->text().toInt(); // 0 unless a decimal number
    return settings;
}

QStringList SerialLinkDlg::portNames(const QString &storedPort)
{
    QStringList names;
    for (int i = 1; i <= ClassicPortCount; ++i)
        names << QStringLiteral("COM%1").arg(i);
#ifdef Q_OS_WIN
    Q_UNUSED(storedPort)
#else
    QStringList devices;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        devices << port.systemLocation();
    for (const QString &name : withStableNames(devices, QLatin1String(ByIdDirectory))) {
        if (!names.contains(name))
            names << name;
    }
    // Kept in the list so that OK stores it unchanged: a pseudo-terminal or
    // an adapter that is unplugged just now.
    if (!storedPort.isEmpty() && !names.contains(storedPort))
        names << storedPort;
#endif
    return names;
}

QStringList SerialLinkDlg::withStableNames(const QStringList &devices,
                                           const QString &byIdDirectory)
{
    QHash<QString, QString> linkTo; // canonical device path -> its link
    const QFileInfoList entries = QDir(byIdDirectory).entryInfoList(
        QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (!entry.isSymLink())
            continue;
        const QString target = entry.canonicalFilePath(); // empty when dangling
        if (!target.isEmpty() && !linkTo.contains(target))
            linkTo.insert(target, entry.absoluteFilePath());
    }

    QStringList names;
    for (const QString &device : devices) {
        const QString canonical = QFileInfo(device).canonicalFilePath();
        names << (canonical.isEmpty() ? device : linkTo.value(canonical, device));
    }
    return names;
}
