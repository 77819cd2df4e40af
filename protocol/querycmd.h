#ifndef QUERYCMD_H
#define QUERYCMD_H

#include "protocol/rscmd.h"

// Fetches one information item: request "sync, 0x90, item, dataLength",
// reply "sync, item, dataLength data bytes".
class QueryCmd : public RSCmd
{
public:
    QueryCmd(quint8 item, int dataLength, quint8 address);

    QByteArray request() override;
    // False when the reply names another item; true otherwise, also for an
    // item that is not decoded.
    bool apply(CMonitor *monitor) override;

    quint8 item;

private:
    QByteArray data() const; // reply bytes 2 to the end
    QString dataText() const; // data up to the first zero byte, Latin-1
};

#endif // QUERYCMD_H
