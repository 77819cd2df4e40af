#ifndef UMDCMD_H
#define UMDCMD_H

#include "protocol/rscmd.h"

// Under-monitor display text and tally lamps. No reply. Frame: sync,
// 0x30|tally, the 8-byte text, the same 8 bytes again.
class UMDCmd : public RSCmd
{
public:
    static constexpr int TextLength = 8;

    // The text is cut or padded with spaces to exactly 8 bytes.
    UMDCmd(const QByteArray &text, quint8 tally, quint8 address);

    // Also stores the tally byte it sent (0x30|tally&3) back into tally.
    QByteArray request() override;

    QByteArray text;
    quint8 tally; // bit 0 red, bit 1 green
};

#endif // UMDCMD_H
