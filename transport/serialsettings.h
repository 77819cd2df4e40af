#ifndef SERIALSETTINGS_H
#define SERIALSETTINGS_H

#include <QSerialPort>
#include <QString>

#include <array>

// Group "serial" of the settings file: how the bus port is opened. Numbers
// are stored as indexes in the order operators' existing files use; the
// accessors below translate them to QSerialPort values. The file is read at
// every bus start and never cached, so a change counts from the next start.
class SerialSettings
{
public:
    static constexpr char Group[] = "serial";
    static constexpr char PortKey[] = "port";
    // Spelled so in every existing settings file and by the link dialog.
    static constexpr char BaudRateKey[] = "boaudrate";
    static constexpr char DataBitsKey[] = "databits";
    static constexpr char StopBitsKey[] = "stopbits";
    static constexpr char ParityKey[] = "parity";
    static constexpr char FlowControlKey[] = "flowcontrol";
    static constexpr char TotalTimeoutKey[] = "totaltimeout";
    // Seconds between polls of a monitor that does not answer; 0 polls it
    // in every round like the others. Not one of the link dialog's keys:
    // write() leaves it as it is, writeLostPoll() sets it.
    static constexpr char LostPollKey[] = "lostpoll";
    static constexpr int MinLostPoll = 2;
    static constexpr int MaxLostPoll = 60;

    static constexpr char DefaultPort[] = "COM1";
    static constexpr int DefaultBaudRateIndex = 12;   // 9600 baud
    static constexpr int DefaultDataBitsIndex = 3;    // 8 bits
    static constexpr int DefaultStopBitsIndex = 0;    // 1 bit
    static constexpr int DefaultParityIndex = 0;      // none
    static constexpr int DefaultFlowControlIndex = 0; // off
    static constexpr int DefaultTotalTimeout = 500;   // ms

    // Rates in baud by stored index; 134 stands for 134.5 baud.
    static constexpr std::array<qint32, 22> baudRates = {
        50,   75,    110,   134,   150,   200,   300,   600,    1200,   1800,   2400,
        4800, 9600,  14400, 19200, 38400, 56000, 57600, 76800,  115200, 128000, 256000,
    };

    SerialSettings();

    // Opens the settings file, reads the group with its defaults, drops the
    // file. An integer key whose value is not a number reads as 0.
    static SerialSettings read();
    // Stores every key of the group but the lost-monitor interval.
    void write() const;
    // Stores the lost-monitor interval alone: 0, or MinLostPoll to
    // MaxLostPoll seconds.
    static void writeLostPoll(int seconds);

    // The stored indexes translated for QSerialPort. An index outside its
    // table goes to QSerialPort as the very number that was stored, cast to
    // the setting's type: QSerialPort refuses a rate of 0 or less when the
    // port is opened (the open fails) and tries any other unknown rate as a
    // custom one, which the driver may refuse as well. An unknown data-bit,
    // stop-bit or flow-control value means 8 bits, 1 stop bit and no flow
    // control on this platform; an unknown parity value turns parity checking
    // on with error marking. A stored number that happens to equal one of
    // QSerialPort's own enumerators (data bits 5 to 8, parity 5) selects that
    // enumerator. A number the setting's type cannot hold at all is handed
    // over as an unknown value of that type instead, with the same effect.
    static qint32 baudRateForIndex(int index);
    static QSerialPort::DataBits dataBitsForIndex(int index);
    static QSerialPort::StopBits stopBitsForIndex(int index);
    static QSerialPort::Parity parityForIndex(int index);
    static QSerialPort::FlowControl flowControlForIndex(int index);

    qint32 baudRate() const { return baudRateForIndex(baudRateIndex); }
    QSerialPort::DataBits dataBits() const { return dataBitsForIndex(dataBitsIndex); }
    QSerialPort::StopBits stopBits() const { return stopBitsForIndex(stopBitsIndex); }
    QSerialPort::Parity parity() const { return parityForIndex(parityIndex); }
    QSerialPort::FlowControl flowControl() const { return flowControlForIndex(flowControlIndex); }

    QString port;        // the platform's name: a device path here, "COM1" on other systems
    int baudRateIndex;
    int dataBitsIndex;
    int stopBitsIndex;
    int parityIndex;
    int flowControlIndex;
    int totalTimeout;    // ms, for the send and again for the receive phase
    // Seconds, 0 (the default) or MinLostPoll to MaxLostPoll; any other
    // stored value reads as 0, off.
    int lostPoll;
};

#endif // SERIALSETTINGS_H
