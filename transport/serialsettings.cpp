#include "transport/serialsettings.h"

#include "monitor/settingsfile.h"

#include <QSettings>

namespace {

// Hands an out-of-table number to QSerialPort unchanged when its setting type
// can hold it. These enumerations have no fixed underlying type, so a number
// outside the type's value range (negative, or wider than `bits` bits) cannot
// be cast without undefined behaviour; it becomes `unknown`, a value of the
// type that names no enumerator and so has the same effect as any other
// number QSerialPort does not know.
template<typename Enum>
Enum passedOn(int number, int bits, int unknown)
{
    if (number >= 0 && number < (1 << bits))
        return static_cast<Enum>(number);
    return static_cast<Enum>(unknown);
}

} // namespace

SerialSettings::SerialSettings()
    : port(QLatin1String(DefaultPort)),
      baudRateIndex(DefaultBaudRateIndex),
      dataBitsIndex(DefaultDataBitsIndex),
      stopBitsIndex(DefaultStopBitsIndex),
      parityIndex(DefaultParityIndex),
      flowControlIndex(DefaultFlowControlIndex),
      totalTimeout(DefaultTotalTimeout),
      lostPoll(0)
{
}

SerialSettings SerialSettings::read()
{
    SerialSettings s;
    QSettings file = openSettings();
    file.beginGroup(QLatin1String(Group));
    s.port = file.value(QLatin1String(PortKey), s.port).toString();
    s.baudRateIndex = file.value(QLatin1String(BaudRateKey), s.baudRateIndex).toInt();
    s.dataBitsIndex = file.value(QLatin1String(DataBitsKey), s.dataBitsIndex).toInt();
    s.stopBitsIndex = file.value(QLatin1String(StopBitsKey), s.stopBitsIndex).toInt();
    s.parityIndex = file.value(QLatin1String(ParityKey), s.parityIndex).toInt();
    s.flowControlIndex = file.value(QLatin1String(FlowControlKey), s.flowControlIndex).toInt();
    s.totalTimeout = file.value(QLatin1String(TotalTimeoutKey), s.totalTimeout).toInt();
    const int lostPoll = file.value(QLatin1String(LostPollKey), 0).toInt();
    s.lostPoll = lostPoll >= MinLostPoll && lostPoll <= MaxLostPoll ? lostPoll : 0;
    file.endGroup();
    return s;
}

void SerialSettings::write() const
{
    QSettings file = openSettings();
    file.beginGroup(QLatin1String(Group));
    file.setValue(QLatin1String(PortKey), port);
    file.setValue(QLatin1String(BaudRateKey), baudRateIndex);
    file.setValue(QLatin1String(DataBitsKey), dataBitsIndex);
    file.setValue(QLatin1String(StopBitsKey), stopBitsIndex);
    file.setValue(QLatin1String(ParityKey), parityIndex);
    file.setValue(QLatin1String(FlowControlKey), flowControlIndex);
    file.setValue(QLatin1String(TotalTimeoutKey), totalTimeout);
    file.endGroup();
    file.sync();
}

qint32 SerialSettings::baudRateForIndex(int index)
{
    if (index < 0 || index >= int(baudRates.size()))
        return index;
    return baudRates[size_t(index)];
}

QSerialPort::DataBits SerialSettings::dataBitsForIndex(int index)
{
    switch (index) {
    case 0: return QSerialPort::Data5;
    case 1: return QSerialPort::Data6;
    case 2: return QSerialPort::Data7;
    case 3: return QSerialPort::Data8;
    default: return passedOn<QSerialPort::DataBits>(index, 4, 0);
    }
}

QSerialPort::StopBits SerialSettings::stopBitsForIndex(int index)
{
    switch (index) {
    case 0: return QSerialPort::OneStop;
    case 1: return QSerialPort::OneAndHalfStop;
    case 2: return QSerialPort::TwoStop;
    default: return passedOn<QSerialPort::StopBits>(index, 2, 0);
    }
}

QSerialPort::Parity SerialSettings::parityForIndex(int index)
{
    switch (index) {
    case 0: return QSerialPort::NoParity;
    case 1: return QSerialPort::OddParity;
    case 2: return QSerialPort::EvenParity;
    case 3: return QSerialPort::MarkParity;
    case 4: return QSerialPort::SpaceParity;
    default: return passedOn<QSerialPort::Parity>(index, 3, 1);
    }
}

QSerialPort::FlowControl SerialSettings::flowControlForIndex(int index)
{
    switch (index) {
    case 0: return QSerialPort::NoFlowControl;
    case 1: return QSerialPort::HardwareControl;
    case 2: return QSerialPort::SoftwareControl;
    default: return passedOn<QSerialPort::FlowControl>(index, 2, 3);
    }
}

void SerialSettings::writeLostPoll(int seconds)
{
    QSettings file = openSettings();
    file.beginGroup(QLatin1String(Group));
    file.setValue(QLatin1String(LostPollKey), seconds >= MinLostPoll && seconds <= MaxLostPoll ? seconds : 0);
    file.endGroup();
    file.sync();
}
