#include "tally/tallyinput.h"

#include "tally/tallybridge.h"
#include "tally/tallysettings.h"
#include "tally/tsl31decoder.h"
#include "tally/tsl5decoder.h"
#include "tally/umdstate.h"

#include <QNetworkDatagram>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {

// Datagrams taken in one turn of the event loop; the rest wait for the next
// turn, so that a flood never holds the window up.
constexpr int DatagramsPerTurn = 256;

} // namespace

TallyInput::TallyInput(MController *controller, QObject *parent)
    : QObject(parent),
      controller(controller)
{
}

TallyInput::~TallyInput()
{
    stop();
}

QString TallyInput::listenerName(Listener listener)
{
    switch (listener) {
    case Tsl5Udp: return tr("TSL 5.0 over UDP");
    case Tsl5Tcp: return tr("TSL 5.0 over TCP");
    case Tsl31Udp: return tr("TSL 3.1 over UDP");
    case ListenerCount: break;
    }
    return QString();
}

bool TallyInput::isOn() const
{
    return umdBridge != nullptr;
}

QStringList TallyInput::start(const TallySettings &settings, int baud)
{
    stop();
    map = settings.tallyMap();
    allow = settings.allowList();
    statuses[Tsl5Udp].enabled = statuses[Tsl5Tcp].enabled = settings.tsl5;
    statuses[Tsl31Udp].enabled = settings.tsl31;
    statuses[Tsl5Udp].port = statuses[Tsl5Tcp].port = settings.tsl5Port;
    statuses[Tsl31Udp].port = settings.tsl31Port;
    if (!settings.tsl5 && !settings.tsl31)
        return {};
    umdBridge = std::make_unique<TallyBridge>(controller, baud);

    QStringList failures;
    QHostAddress address;
    bool addressOk = address.setAddress(settings.bind.trimmed());
    // Qt's "::" is IPv6 only; an operator writing it means every network.
    if (addressOk && address == QHostAddress(QHostAddress::AnyIPv6))
        address = QHostAddress(QHostAddress::Any);
    const auto failed = [&](Listener listener, const QString &why) {
        statuses[listener].error = why;
        failures << tr("%1, port %2: %3").arg(listenerName(listener)).arg(statuses[listener].port).arg(why);
    };
    for (int l = 0; l < ListenerCount; ++l) {
        const Listener listener = Listener(l);
        if (!statuses[listener].enabled)
            continue;
        if (!addressOk) {
            failed(listener, tr("\"%1\" is no address to listen on").arg(settings.bind));
            continue;
        }
        if (listener == Tsl5Tcp) {
            tsl5Tcp = new QTcpServer(this);
            connect(tsl5Tcp, &QTcpServer::newConnection, this, &TallyInput::acceptTcp);
            statuses[listener].listening = tsl5Tcp->listen(address, settings.tsl5Port);
            if (!statuses[listener].listening)
                failed(listener, tsl5Tcp->errorString());
            continue;
        }
        auto *socket = new QUdpSocket(this);
        (listener == Tsl5Udp ? tsl5Udp : tsl31Udp) = socket;
        connect(socket, &QUdpSocket::readyRead, this,
                listener == Tsl5Udp ? &TallyInput::readTsl5Datagrams : &TallyInput::readTsl31Datagrams);
        // Without address reuse: a second program on the same UDP port
        // would silently take a share of the packets instead of failing.
        statuses[listener].listening = socket->bind(address, statuses[listener].port, QAbstractSocket::DontShareAddress);
        if (!statuses[listener].listening)
            failed(listener, socket->errorString());
    }
    return failures;
}

void TallyInput::stop()
{
    for (auto it = tcpSenders.begin(); it != tcpSenders.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        it.key()->deleteLater();
    }
    tcpSenders.clear();
    delete tsl5Udp;
    delete tsl5Tcp;
    delete tsl31Udp;
    tsl5Udp = nullptr;
    tsl5Tcp = nullptr;
    tsl31Udp = nullptr;
    umdBridge.reset();
    statuses = {};
}

bool TallyInput::allowed(Listener listener, const QHostAddress &sender)
{
    if (allow.allows(sender))
        return true;
    ++statuses[listener].dropped;
    return false;
}

void TallyInput::taken(Listener listener, const QHostAddress &sender)
{
    Status &status = statuses[listener];
    ++status.received;
    status.lastSender = sender.toString();
    status.lastPacket = QDateTime::currentDateTime();
}

void TallyInput::want(const QList<quint8> &addresses, const UmdState &state)
{
    for (quint8 address : addresses)
        umdBridge->want(address, state);
}

void TallyInput::readTsl5Datagrams()
{
    drain(tsl5Udp, Tsl5Udp, &TallyInput::readTsl5Datagrams);
}

void TallyInput::readTsl31Datagrams()
{
    drain(tsl31Udp, Tsl31Udp, &TallyInput::readTsl31Datagrams);
}

void TallyInput::drain(QUdpSocket *socket, Listener listener, void (TallyInput::*again)())
{
    for (int n = 0; socket && socket->hasPendingDatagrams(); ++n) {
        if (n == DatagramsPerTurn) {
            QMetaObject::invokeMethod(this, again, Qt::QueuedConnection);
            return;
        }
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!allowed(listener, datagram.senderAddress()))
            continue;
        if (listener == Tsl31Udp)
            applyTsl31(datagram.data(), datagram.senderAddress());
        else
            applyTsl5(listener, datagram.data(), datagram.senderAddress());
    }
}

void TallyInput::applyTsl5(Listener listener, const QByteArray &packet, const QHostAddress &sender)
{
    const Tsl5Decoder::Result result = Tsl5Decoder::decode(packet);
    if (!result.ok) {
        ++statuses[listener].dropped;
        return;
    }
    taken(listener, sender);
    for (const Tsl5Decoder::Message &message : result.messages)
        want(map.addresses(result.screen, message.index), UmdState::fromTsl5(message.control, message.text));
}

void TallyInput::applyTsl31(const QByteArray &datagram, const QHostAddress &sender)
{
    const Tsl31Decoder::Result result = Tsl31Decoder::decode(datagram);
    statuses[Tsl31Udp].dropped += quint64(result.skipped + result.malformed);
    if (result.packets.isEmpty())
        return;
    taken(Tsl31Udp, sender);
    for (const Tsl31Decoder::Packet &packet : result.packets)
        want(map.addressesForTsl31(packet.address), UmdState::fromTsl31(packet.tallies, packet.text));
}

void TallyInput::acceptTcp()
{
    while (tsl5Tcp && tsl5Tcp->hasPendingConnections()) {
        QTcpSocket *socket = tsl5Tcp->nextPendingConnection();
        const QHostAddress peer = socket->peerAddress();
        if (!allowed(Tsl5Tcp, peer) || tcpSenders.size() >= MaxTcpSenders) {
            if (tcpSenders.size() >= MaxTcpSenders && allow.allows(peer))
                ++statuses[Tsl5Tcp].dropped;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Qt stops reading from the connection once this much waits, and
        // the sender is held back by TCP itself.
        socket->setReadBufferSize(TcpReadChunk);
        tcpSenders.insert(socket, TcpSender{TslStreamFramer(), peer});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readTcp(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            tcpSenders.remove(socket);
            socket->deleteLater();
        });
    }
}

void TallyInput::readTcp(QTcpSocket *socket)
{
    const auto it = tcpSenders.find(socket);
    if (it == tcpSenders.end())
        return;
    TslStreamFramer &framer = it->framer;
    const qint64 brokenBefore = framer.abortedPackets() + framer.escapeErrors();
    const QList<QByteArray> packets = framer.feed(socket->read(TcpReadChunk));
    statuses[Tsl5Tcp].dropped += quint64(framer.abortedPackets() + framer.escapeErrors() - brokenBefore);
    const QHostAddress peer = it->peer;
    for (const QByteArray &packet : packets)
        applyTsl5(Tsl5Tcp, packet, peer);
    // What is left waits for the next turn; readyRead says only what is new.
    if (socket->bytesAvailable() > 0) {
        QPointer<QTcpSocket> guard(socket);
        QMetaObject::invokeMethod(this, [this, guard] {
            if (guard)
                readTcp(guard);
        }, Qt::QueuedConnection);
    }
}
