#ifndef RSCMD_H
#define RSCMD_H

#include <QByteArray>
#include <QMetaType>

class CMonitor;

// One bus exchange. The base class is the echo (status poll): request
// "0x80|address, 0x80", reply "sync, state bits".
class RSCmd
{
public:
    enum Code : quint8 {
        CodeEcho = 0x80,
        CodeProto = 0x81,
        CodeAlarm = 0x82,
        CodeUpdate = 0x83,
        CodeQuery = 0x90,
        CodeControl = 0xD0,
        CodeUmd = 0xF0, // never on the wire
    };

    enum Status {
        StatusNew = 0,
        StatusOk = 1,
        StatusSendError = 2,
        StatusReadError = 3,
        StatusRspError = 4, // defined for completeness, never assigned
    };

    explicit RSCmd(quint8 address = 0);
    RSCmd(const RSCmd &) = default;
    RSCmd &operator=(const RSCmd &) = default;
    virtual ~RSCmd();

    // The request frame. Only UMDCmd changes itself while building it.
    virtual QByteArray request();
    // Writes the reply into the record; the meaning of the result depends on
    // the kind. Missing reply bytes count as 0.
    virtual bool apply(CMonitor *monitor);

    // The sync byte that starts both request and reply.
    quint8 syncByte() const { return quint8(0x80 | address); }

    quint8 address;
    quint8 code;
    int status;
    int replyLength; // including the sync byte; 0 means nothing is read
    QByteArray reply;
    // Set by whoever ran the exchange: its time on the bus, from the first
    // request byte handed to the port to the last reply byte read (or to
    // giving up), in microseconds; -1 when it never reached the wire or
    // waits for no reply. And when it ended, in ms since the epoch.
    qint64 busTimeUs = -1;
    qint64 endedAtMs = 0;

protected:
    RSCmd(quint8 address, quint8 code, int replyLength);
    // Reply byte n, or 0 when the reply is too short to have it.
    quint8 replyByte(int n) const;
    // The two-byte frame shared by echo, proto, alarm and update requests.
    QByteArray shortRequest() const;
};

Q_DECLARE_METATYPE(RSCmd)

#endif // RSCMD_H
