#ifndef SIMFRAMER_H
#define SIMFRAMER_H

#include <QByteArray>

#include <chrono>
#include <optional>

// Cuts the received byte stream into request frames. There is no length
// byte and no checksum: a frame starts with a byte that has bit 7 set and
// its length follows from its second byte. Anything that cannot start a
// frame is garbage and is collected separately.
class SimFramer
{
public:
    using Clock = std::chrono::steady_clock;

    struct Frame {
        QByteArray bytes;
        Clock::time_point start; // first byte delivered
        Clock::time_point end;   // last byte delivered
    };

    // The frame length that a second byte announces, or 0 when it starts no
    // known request.
    static int frameLength(quint8 secondByte);

    // A frame whose bytes stop arriving for this long is given up as
    // garbage, so that a torn request cannot swallow the next one.
    static constexpr std::chrono::milliseconds GapLimit{100};

    // Feeds one delivered byte; returns a frame when this byte completes one.
    std::optional<Frame> push(quint8 byte, Clock::time_point at);

    // Garbage skipped since the last call.
    QByteArray takeGarbage();
    bool inFrame() const { return !m_frame.isEmpty(); }
    void reset();

private:
    QByteArray m_frame;
    QByteArray m_garbage;
    Clock::time_point m_start;
    Clock::time_point m_last;
};

#endif // SIMFRAMER_H
