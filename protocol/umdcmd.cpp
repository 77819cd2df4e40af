#include "protocol/umdcmd.h"

UMDCmd::UMDCmd(const QByteArray &text, quint8 tally, quint8 address)
    : RSCmd(address, CodeUmd, 0), text(text.left(TextLength)), tally(tally)
{
    this->text.append(QByteArray(TextLength - this->text.size(), ' '));
}

QByteArray UMDCmd::request()
{
    tally = quint8(0x30 | (tally & 0x03));
    QByteArray frame;
    frame.append(char(syncByte()));
    frame.append(char(tally));
    frame.append(text);
    frame.append(text);
    return frame;
}
