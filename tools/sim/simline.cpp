#include "tools/sim/simline.h"

#include "tools/sim/simmonitorregistry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

using namespace std::chrono;

QString hexBytes(const QByteArray &bytes)
{
    QString text;
    for (int i = 0; i < bytes.size(); ++i) {
        if (i)
            text.append(QLatin1Char(' '));
        text.append(QStringLiteral("%1").arg(quint8(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper());
    }
    return text;
}

// What a request frame asks, for people reading the trace.
QString describeRequest(const QByteArray &frame)
{
    const int address = quint8(frame.at(0)) & 0x7F;
    const quint8 code = quint8(frame.at(1));
    switch (code) {
    case 0x80: return QStringLiteral("echo %1").arg(address);
    case 0x81: return QStringLiteral("proto %1").arg(address);
    case 0x82: return QStringLiteral("alarm %1").arg(address);
    case 0x83: return QStringLiteral("update %1").arg(address);
    case 0x90:
        return QStringLiteral("query %1 item 0x%2 length %3")
            .arg(address)
            .arg(quint8(frame.at(2)), 2, 16, QLatin1Char('0'))
            .arg(quint8(frame.at(3)));
    case 0xD0:
        return QStringLiteral("key %1 0x%2").arg(address).arg(quint8(frame.at(3)), 2, 16, QLatin1Char('0'));
    default:
        return QStringLiteral("umd %1 \"%2\" tally %3")
            .arg(address)
            .arg(QString::fromLatin1(frame.mid(2, 8)))
            .arg(code & 0x03);
    }
}

} // namespace

SimLine::SimLine(std::mutex &busMutex, SimMonitorRegistry &monitors, Output output)
    : m_mutex(busMutex), m_monitors(monitors), m_output(std::move(output)), m_origin(Clock::now())
{
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

SimLine::~SimLine()
{
    stop();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

// ---- life cycle ----------------------------------------------------------

bool SimLine::canStart(QString *error) const
{
    if (m_wakeFd >= 0)
        return true;
    if (error)
        *error = QStringLiteral("eventfd: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    return false;
}

void SimLine::start(int fd)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_framer.reset();
        m_rxWire.reset();
        m_txWire.reset();
        m_rx.clear();
        m_tx.clear();
        m_pacing.reset();
        m_stopWorker = false;
    }
    m_worker = std::thread(&SimLine::run, this, fd);
}

void SimLine::stop()
{
    if (m_worker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopWorker = true;
        }
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
        m_worker.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rx.clear();
    m_tx.clear();
    m_framer.reset();
    m_changed.notify_all();
}

// ---- settings ------------------------------------------------------------

void SimLine::setBaud(int baud)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rxWire.setBaud(baud);
    m_txWire.setBaud(baud);
}

int SimLine::baud() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return baudLocked();
}

int SimLine::baudLocked() const
{
    return m_rxWire.baud();
}

void SimLine::setTurnaround(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_turnaroundMs = std::max(0, ms);
}

int SimLine::turnaround() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return turnaroundLocked();
}

int SimLine::turnaroundLocked() const
{
    return m_turnaroundMs;
}

void SimLine::setLineSilent(bool silent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lineSilent = silent;
    if (silent) {
        // Whatever is still on its way never arrives; nothing is left
        // to write, so the line is idle at once.
        m_tx.clear();
        m_txWire.reset();
        m_changed.notify_all();
    }
}

bool SimLine::isLineSilent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return isLineSilentLocked();
}

bool SimLine::isLineSilentLocked() const
{
    return m_lineSilent;
}

void SimLine::setTraceOutput(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_traceOutput = on;
}

bool SimLine::traceOutput() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_traceOutput;
}

// ---- trace -----------------------------------------------------------------

QList<SimTraceEntry> SimLine::trace() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return QList<SimTraceEntry>(m_trace.begin(), m_trace.end());
}

void SimLine::clearTrace()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace.clear();
}

int SimLine::requestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return requestCountLocked();
}

int SimLine::requestCountLocked() const
{
    return m_requests;
}

int SimLine::replyCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return replyCountLocked();
}

int SimLine::replyCountLocked() const
{
    return m_replies;
}

bool SimLine::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, milliseconds(timeoutMs), [&] { return m_requests >= count; });
}

bool SimLine::waitForIdle(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, milliseconds(timeoutMs), [&] { return m_tx.empty() && m_rx.empty(); });
}

QString SimLine::formatTraceEntry(const SimTraceEntry &entry, Clock::time_point origin)
{
    const double ms = duration<double, std::milli>(entry.end - origin).count();
    const char *arrow = entry.kind == SimTraceEntry::Request ? ">" : entry.kind == SimTraceEntry::Reply ? "<" : "?";
    QString line = QStringLiteral("%1 %2 %3").arg(ms, 10, 'f', 3).arg(QLatin1String(arrow), hexBytes(entry.bytes));
    if (entry.kind == SimTraceEntry::Request)
        line += QStringLiteral("  # ") + describeRequest(entry.bytes);
    else if (entry.kind == SimTraceEntry::Garbage)
        line += QStringLiteral("  # skipped");
    return line;
}

QString SimLine::takePacingReport()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString report = m_pacing.report(m_txWire.baud());
    m_pacing.reset();
    return report;
}

SimLine::Clock::time_point SimLine::origin() const
{
    return m_origin;
}

void SimLine::addTrace(const SimTraceEntry &entry)
{
    m_trace.push_back(entry);
    while (m_trace.size() > size_t(MaxTraceEntries))
        m_trace.pop_front();
    if (m_traceOutput)
        m_traceLines.append(formatTraceEntry(entry, m_origin));
}

// ---- the thread --------------------------------------------------------------

void SimLine::run(int fd)
{
    // Deadlines at 115200 baud are 87 us apart; the default timer slack of
    // 50 us would blur them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopWorker) {
        const Clock::time_point now = Clock::now();
        deliverDue(now);
        writeDue(fd, now);
        const Wait wait = nextWait();
        if (m_tx.empty() && m_rx.empty())
            m_changed.notify_all();
        QStringList lines;
        lines.swap(m_traceLines);
        lock.unlock();

        m_output(lines);
        const bool readable = waitForInput(fd, wait);
        lock.lock();
        if (readable && !receive(fd)) {
            lock.unlock();
            std::this_thread::sleep_for(milliseconds(10));
            lock.lock();
        }
    }
}

SimLine::Wait SimLine::nextWait() const
{
    Wait wait;
    // Request bytes are delivered when the thread wakes: the reply is timed
    // from their due moments, so the wake-up's lateness does not count.
    if (!m_rx.empty())
        wait.sleepUntil = m_rx.front().first;
    if (!m_tx.empty()) {
        const Clock::time_point due = m_tx.front().due;
        if (!wait.sleepUntil || due <= *wait.sleepUntil) {
            wait.sleepUntil = due;
            wait.spinUntil = m_txWire.baud() > 0 ? due : Clock::time_point();
        }
    }
    return wait;
}

bool SimLine::waitForInput(int fd, const Wait &wait)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    auto pollFor = [&](std::optional<nanoseconds> left) {
        timespec timeout{};
        if (left) {
            timeout.tv_sec = time_t(left->count() / 1'000'000'000);
            timeout.tv_nsec = long(left->count() % 1'000'000'000);
        }
        fds[0].revents = fds[1].revents = 0;
        return ppoll(fds, 2, left ? &timeout : nullptr, nullptr);
    };
    const bool spin = wait.sleepUntil && wait.spinUntil == *wait.sleepUntil;
    std::optional<nanoseconds> left;
    Clock::time_point wakeAt;
    if (wait.sleepUntil) {
        wakeAt = spin ? *wait.sleepUntil - m_wakeLateness : *wait.sleepUntil;
        left = std::max(nanoseconds(0), duration_cast<nanoseconds>(wakeAt - Clock::now()));
    }
    int ready = pollFor(left);
    if (ready == 0 && spin) {
        // Slept the whole time: learn how late this thread wakes.
        const nanoseconds late = std::clamp(duration_cast<nanoseconds>(Clock::now() - wakeAt), nanoseconds(0),
                                            duration_cast<nanoseconds>(MaxWakeAdvance));
        m_wakeLateness += (late - m_wakeLateness) / 8;
        while (ready == 0 && Clock::now() < wait.spinUntil)
            ready = pollFor(nanoseconds(0));
    }
    if (ready > 0 && (fds[1].revents & POLLIN)) {
        quint64 count = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &count, sizeof count);
    }
    const bool broken = ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                        && !(fds[0].revents & POLLIN);
    if (broken || (ready < 0 && errno != EINTR)) {
        // Never expected while the pseudo-terminal keeps its own slave end
        // open; if it happens, do not spin on a descriptor that is always
        // ready.
        std::this_thread::sleep_for(milliseconds(10));
    }
    return ready > 0 && (fds[0].revents & POLLIN);
}

bool SimLine::receive(int fd)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    // The pseudo-terminal hands the bytes over at once; on a wire each one
    // arrives a byte time after the previous one.
    const Clock::time_point now = Clock::now();
    for (ssize_t i = 0; i < n; ++i)
        m_rx.emplace_back(m_rxWire.transfer(now), quint8(buffer[i]));
    return true;
}

void SimLine::deliverDue(Clock::time_point now)
{
    Clock::time_point last;
    while (!m_rx.empty() && m_rx.front().first <= now) {
        const auto [at, byte] = m_rx.front();
        m_rx.pop_front();
        last = at;
        const bool wasInFrame = m_framer.inFrame();
        const std::optional<SimFramer::Frame> frame = m_framer.push(byte, at);
        if (!wasInFrame && m_framer.inFrame())
            flushGarbage(at);
        if (frame) {
            flushGarbage(at);
            handleFrame(*frame);
        }
    }
    if (m_rx.empty() && last != Clock::time_point())
        flushGarbage(last);
}

void SimLine::flushGarbage(Clock::time_point at)
{
    const QByteArray garbage = m_framer.takeGarbage();
    if (garbage.isEmpty())
        return;
    SimTraceEntry entry;
    entry.kind = SimTraceEntry::Garbage;
    entry.bytes = garbage;
    entry.start = at;
    entry.end = at;
    addTrace(entry);
}

void SimLine::handleFrame(const SimFramer::Frame &frame)
{
    const quint8 address = quint8(frame.bytes.at(0)) & 0x7F;
    ++m_requests;
    SimTraceEntry entry;
    entry.kind = SimTraceEntry::Request;
    entry.address = address;
    entry.bytes = frame.bytes;
    entry.start = frame.start;
    entry.end = frame.end;
    addTrace(entry);
    m_changed.notify_all();

    if (m_lineSilent)
        return; // traced as the controller sent it, but it reaches nobody
    SimMonitor *monitor = m_monitors.findLocked(address);
    if (!monitor)
        return; // nobody there: the line stays quiet
    const std::optional<SimMonitor::Reply> reply = monitor->handle(frame.bytes, frame.end);
    if (reply)
        schedule(address, *reply, frame.end + milliseconds(m_turnaroundMs + reply->delayMs));
}

void SimLine::schedule(quint8 address, const SimMonitor::Reply &reply, Clock::time_point ready)
{
    const QByteArray all = reply.noise + reply.bytes;
    auto entry = std::make_shared<SimTraceEntry>();
    entry->kind = SimTraceEntry::Reply;
    entry->address = address;
    entry->bytes = all;

    // A split reply goes out as the sync byte, then up to two more pieces.
    const int n = reply.bytes.size();
    const int cut1 = 1;
    const int cut2 = 1 + (n - 1) / 2;
    Clock::time_point previous = ready;
    for (int i = 0; i < all.size(); ++i) {
        const int inReply = i - reply.noise.size();
        Clock::time_point earliest = ready;
        if (reply.splitPauseMs > 0 && inReply > 0 && (inReply == cut1 || inReply == cut2))
            earliest = previous + milliseconds(reply.splitPauseMs);
        else if (i > 0)
            earliest = previous;
        Pending p;
        p.due = m_txWire.transfer(earliest);
        p.byte = quint8(all.at(i));
        p.entry = entry;
        p.first = i == 0;
        p.last = i == all.size() - 1;
        previous = p.due;
        m_tx.push_back(p);
    }
}

void SimLine::writeDue(int fd, Clock::time_point now)
{
    QByteArray out;
    size_t count = 0;
    for (; count < m_tx.size() && m_tx[count].due <= now; ++count)
        out.append(char(m_tx[count].byte));
    if (!count)
        return;
    // Nobody reading is like nobody listening on the wire: bytes that do
    // not fit are lost, the thread never blocks.
    [[maybe_unused]] const ssize_t written = ::write(fd, out.constData(), size_t(out.size()));
    const Clock::time_point at = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        const Pending &p = m_tx.front();
        m_pacing.addHandover(p.due, at);
        if (p.first) {
            p.entry->start = at;
            m_replyFirstDue = p.due;
            m_replyFirstDone = at;
        }
        if (p.last) {
            p.entry->end = at;
            // Only replies sent back to back say how fast the line runs.
            const auto bytes = p.entry->bytes.size();
            if (p.due - m_replyFirstDue == (bytes - 1) * m_txWire.byteTime())
                m_pacing.addReply(int(bytes), at - m_replyFirstDone);
            ++m_replies;
            addTrace(*p.entry);
        }
        m_tx.pop_front();
    }
    m_changed.notify_all();
}
