#include "bench/tslsender.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

TslSender::~TslSender()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
    if (fd >= 0)
        ::close(fd);
}

bool TslSender::open(quint16 port, QString *error)
{
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

double TslSender::threadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

bool TslSender::sendOne(const QByteArray &packet)
{
    const ssize_t n = ::send(fd, packet.constData(), size_t(packet.size()), 0);
    if (n == packet.size()) {
        ++sentCount;
        return true;
    }
    ++failedCount;
    return false;
}

void TslSender::startTimed(const QList<Timed> &packets)
{
    stopping = false;
    flooding = false;
    stamps.clear();
    stamps.reserve(packets.size());
    worker = std::thread([this, packets] {
        const double cpuStart = threadCpu();
        began = Clock::now();
        for (const Timed &t : packets) {
            if (stopping)
                break;
            std::this_thread::sleep_until(began + t.at);
            stamps << Clock::now();
            sendOne(t.packet);
        }
        ended = Clock::now();
        cpu = threadCpu() - cpuStart;
    });
}

void TslSender::startFlood(const QList<QByteArray> &variants, int perSecond, quint32 seed)
{
    stopping = false;
    flooding = true;
    worker = std::thread([this, variants, perSecond, seed] {
        QRandomGenerator random(seed);
        const double cpuStart = threadCpu();
        began = Clock::now();
        Clock::time_point tick = began;
        quint64 due = 0;
        while (!stopping) {
            // Whole milliseconds on absolute deadlines; a late wake-up sends
            // what is due, but never more than a few ticks' worth at once.
            tick += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(tick);
            const double elapsed = std::chrono::duration<double>(Clock::now() - began).count();
            const quint64 target = quint64(elapsed * perSecond);
            const quint64 limit = quint64(perSecond / 100 + 1);
            for (quint64 n = 0; due < target && n < limit; ++n, ++due)
                sendOne(variants.at(int(random.bounded(quint32(variants.size())))));
        }
        ended = Clock::now();
        cpu = threadCpu() - cpuStart;
    });
}

bool TslSender::cpuClock(clockid_t *clock)
{
    return worker.joinable() && pthread_getcpuclockid(worker.native_handle(), clock) == 0;
}

void TslSender::stop()
{
    if (worker.joinable()) {
        // A timed list runs to its end; a flood ends now.
        if (flooding)
            stopping = true;
        worker.join();
    }
}
