// Tally input from the network: any datagram or TCP byte stream, cut
// anywhere, must decode to well-formed results or be refused, within bounds.
#include "tally/tsl31decoder.h"
#include "tally/tsl5decoder.h"
#include "tally/tslstreamframer.h"
#include "tally/umdstate.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkTsl5(const QByteArray &packet)
{
    const Tsl5Decoder::Result r = Tsl5Decoder::decode(packet);
    check(r.ok == r.error.isEmpty());
    if (!r.ok) {
        check(r.messages.isEmpty());
        return;
    }
    check(packet.size() >= Tsl5Decoder::HeaderSize
          && (quint8(packet.at(0)) | (quint8(packet.at(1)) << 8)) + 2 == packet.size());
    const bool utf16 = quint8(packet.at(3)) & Tsl5Decoder::FlagUtf16;
    qsizetype textBytes = 0;
    for (const Tsl5Decoder::Message &m : r.messages) {
        check(!(m.control & Tsl5Decoder::ControlData));
        textBytes += utf16 ? m.text.size() * 2 : m.text.size();
        const UmdState umd = UmdState::fromTsl5(m.control, m.text);
        check(umd.text.size() <= UmdState::MaxText && (umd.tally & ~0x3) == 0);
        if (!umd.text.isEmpty())
            check(umd.text.front() != ' ' && umd.text.back() != ' ');
    }
    // Every text byte came from the packet, past the headers.
    check(textBytes + qsizetype(r.messages.size()) * Tsl5Decoder::MessageHeaderSize
          <= packet.size() - Tsl5Decoder::HeaderSize);
}

void checkTsl31(const QByteArray &datagram)
{
    const Tsl31Decoder::Result r = Tsl31Decoder::decode(datagram);
    const qsizetype whole = datagram.size() / Tsl31Decoder::PacketSize;
    check(r.packets.size() + r.skipped == whole);
    check(r.malformed == (datagram.size() % Tsl31Decoder::PacketSize ? 1 : 0));
    for (const Tsl31Decoder::Packet &p : r.packets) {
        check(p.address <= Tsl31Decoder::MaxAddress && p.tallies <= 0xF && p.brightness <= 3);
        check(p.text.size() == Tsl31Decoder::TextSize);
        const UmdState umd = UmdState::fromTsl31(p.tallies, p.text);
        check(umd.text.size() <= UmdState::MaxText && (umd.tally & ~0x3) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     qsizetype(size));
    checkTsl5(input);
    checkTsl31(input);

    // The first byte seeds the chunk sizes, so that the same stream is cut
    // at different places as the fuzzer mutates it.
    TslStreamFramer framer;
    quint32 seed = size ? data[0] : 0;
    qsizetype at = 0;
    qsizetype unstuffedOut = 0;
    while (at < input.size()) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype chunk = qMin<qsizetype>(1 + (seed >> 16) % 64, input.size() - at);
        const QList<QByteArray> packets = framer.feed(input.constData() + at, chunk);
        at += chunk;
        for (const QByteArray &packet : packets) {
            check(packet.size() >= 2 && packet.size() <= TslStreamFramer::MaxPacketSize);
            check((quint8(packet.at(0)) | (quint8(packet.at(1)) << 8)) + 2 == packet.size());
            unstuffedOut += packet.size();
            checkTsl5(packet);
        }
        check(framer.pendingBytes() < TslStreamFramer::MaxPacketSize);
    }
    // Each packet byte took at least one input byte, plus two for its DLE STX.
    check(unstuffedOut + framer.pendingBytes() <= input.size());
    return 0;
}
