#ifndef SIMTRACEENTRY_H
#define SIMTRACEENTRY_H

#include <QByteArray>

#include <chrono>

// One frame seen or sent by the simulated bus.
struct SimTraceEntry
{
    enum Kind {
        Request, // a complete request frame, as received
        Reply,   // a reply, as written (stray bytes of a noise fault included)
        Garbage, // bytes skipped while looking for a sync byte
    };

    Kind kind = Request;
    quint8 address = 0; // 0 for garbage
    QByteArray bytes;
    // Request: first and last byte delivered (after their wire time).
    // Reply: first and last byte written to the line.
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point end;
};

#endif // SIMTRACEENTRY_H
