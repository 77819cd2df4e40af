#ifndef TALLYINPUT_H
#define TALLYINPUT_H

#include "tally/allowlist.h"
#include "tally/tallymap.h"
#include "tally/tslstreamframer.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class MController;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;
class TallyBridge;
class TallySettings;
class UmdState;

// The tally input: listeners for TSL UMD 5.0 (UDP and TCP on one port) and
// TSL 3.1 (UDP), each switched on by the settings, feeding what their
// packets ask for to a TallyBridge on the supervisor. Packets from senders
// outside the allowed list, and packets that cannot be read, are dropped
// and counted.
class TallyInput : public QObject
{
    Q_OBJECT

public:
    enum Listener { Tsl5Udp, Tsl5Tcp, Tsl31Udp, ListenerCount };

    struct Status
    {
        bool enabled = false;
        bool listening = false;
        quint16 port = 0;
        QString error;          // why it does not listen
        quint64 received = 0;   // packets taken
        quint64 dropped = 0;    // not allowed, unreadable, or over a limit
        QString lastSender;     // address of the last packet taken
        QDateTime lastPacket;   // when it came
    };

    // Simultaneous TCP senders; one more is turned away.
    static constexpr int MaxTcpSenders = 16;
    // What one TCP read takes at most before the others get their turn.
    static constexpr qint64 TcpReadChunk = 64 * 1024;

    explicit TallyInput(MController *controller, QObject *parent = nullptr);
    ~TallyInput() override;

    // Stops whatever listens and starts what the settings switch on, pacing
    // the bridge for this baud rate. Returns one line per listener that is
    // switched on but could not listen, naming its port.
    QStringList start(const TallySettings &settings, int baud);
    void stop();

    // True while any listener is switched on (listening or not).
    bool isOn() const;
    Status status(Listener listener) const { return statuses[listener]; }
    static QString listenerName(Listener listener);
    TallyBridge *bridge() const { return umdBridge.get(); }

private slots:
    void readTsl5Datagrams();
    void readTsl31Datagrams();
    void acceptTcp();

private:
    struct TcpSender
    {
        TslStreamFramer framer;
        QHostAddress peer;
    };

    // Takes what waits on a UDP listener, a bounded number per turn of the
    // event loop, continuing with `again` in the next turn.
    void drain(QUdpSocket *socket, Listener listener, void (TallyInput::*again)());
    void readTcp(QTcpSocket *socket);
    void applyTsl5(Listener listener, const QByteArray &packet, const QHostAddress &sender);
    void applyTsl31(const QByteArray &datagram, const QHostAddress &sender);
    void want(const QList<quint8> &addresses, const UmdState &state);
    void taken(Listener listener, const QHostAddress &sender);
    bool allowed(Listener listener, const QHostAddress &sender);

    MController *controller;
    std::unique_ptr<TallyBridge> umdBridge;
    QUdpSocket *tsl5Udp = nullptr;
    QTcpServer *tsl5Tcp = nullptr;
    QUdpSocket *tsl31Udp = nullptr;
    QHash<QTcpSocket *, TcpSender> tcpSenders;
    std::array<Status, ListenerCount> statuses{};
    TallyMap map;
    AllowList allow;
};

#endif // TALLYINPUT_H
