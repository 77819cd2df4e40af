#include "tools/sim/simbus.h"

#include "tools/sim/simcommand.h"
#include "tools/sim/simpty.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
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

QString tallyText(quint8 tally)
{
    if ((tally & 3) == 3)
        return QStringLiteral("red+green");
    if (tally & 1)
        return QStringLiteral("red");
    if (tally & 2)
        return QStringLiteral("green");
    return QStringLiteral("off");
}

bool isSymlink(const QByteArray &path)
{
    struct stat st{};
    return lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool exists(const QByteArray &path)
{
    struct stat st{};
    return lstat(path.constData(), &st) == 0;
}

} // namespace

SimBus::SimBus()
    : m_pty(std::make_unique<SimPty>()), m_origin(Clock::now())
{
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

SimBus::~SimBus()
{
    stop();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

// ---- life cycle ----------------------------------------------------------

bool SimBus::start(QString *error)
{
    std::lock_guard<std::mutex> life(m_lifecycleMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_running)
            return true;
    }
    return startLocked(error);
}

bool SimBus::startLocked(QString *error, const QString &avoidPath)
{
    if (m_wakeFd < 0) {
        if (error)
            *error = QStringLiteral("eventfd: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    if (!m_pty->open(error, avoidPath))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_framer.reset();
        m_rxWire.reset();
        m_txWire.reset();
        m_rx.clear();
        m_tx.clear();
        m_stopWorker = false;
        m_running = true;
        m_devicePath = m_pty->slavePath();
    }
    m_worker = std::thread(&SimBus::run, this);
    if (!makeLink(error)) {
        stopLocked();
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vanished = false;
    return true;
}

void SimBus::stopLocked()
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
    m_pty->close();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_devicePath.clear();
    m_rx.clear();
    m_tx.clear();
    m_framer.reset();
    m_changed.notify_all();
}

void SimBus::stop()
{
    std::lock_guard<std::mutex> life(m_lifecycleMutex);
    stopLocked();
    removeLink();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vanished = false;
}

bool SimBus::isRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

bool SimBus::vanish()
{
    {
        std::lock_guard<std::mutex> life(m_lifecycleMutex);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_running)
                return false;
        }
        const QString gone = devicePath();
        stopLocked();
        removeLink();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vanished = true;
        m_vanishedPath = gone;
    }
    emitMessages({QStringLiteral("device gone")});
    return true;
}

bool SimBus::reappear(QString *error, bool newNode)
{
    QString path;
    {
        std::lock_guard<std::mutex> life(m_lifecycleMutex);
        QString avoid;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_vanished) {
                if (error)
                    *error = QStringLiteral("the device has not vanished");
                return false;
            }
            if (newNode)
                avoid = m_vanishedPath;
        }
        if (!startLocked(error, avoid))
            return false;
        path = devicePath();
    }
    emitMessages({QStringLiteral("device %1").arg(path)});
    return true;
}

bool SimBus::isVanished() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vanished;
}

void SimBus::setLineSilent(bool silent)
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

bool SimBus::isLineSilent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lineSilent;
}

QString SimBus::devicePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_devicePath;
}

bool SimBus::setLinkPath(const QString &path, QString *error)
{
    std::lock_guard<std::mutex> life(m_lifecycleMutex);
    removeLink();
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_linkPath = path;
        running = m_running;
    }
    return !running || makeLink(error);
}

QString SimBus::linkPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_linkPath;
}

bool SimBus::makeLink(QString *error)
{
    QString link;
    QString target;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        link = m_linkPath;
        target = m_devicePath;
    }
    if (link.isEmpty() || target.isEmpty())
        return true;
    const QByteArray linkName = link.toLocal8Bit();
    if (exists(linkName) && !isSymlink(linkName)) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(link);
        return false;
    }
    // Made aside and renamed over the old one, so the link never dangles
    // half-way and a controller opening it meanwhile gets old or new.
    const QByteArray temp = linkName + ".tmp" + QByteArray::number(getpid());
    ::unlink(temp.constData());
    if (::symlink(target.toLocal8Bit().constData(), temp.constData()) != 0
        || ::rename(temp.constData(), linkName.constData()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        if (error)
            *error = QStringLiteral("cannot link %1: %2").arg(link, QString::fromLocal8Bit(strerror(e)));
        return false;
    }
    return true;
}

void SimBus::removeLink()
{
    QString link;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        link = m_linkPath;
    }
    const QByteArray linkName = link.toLocal8Bit();
    if (!link.isEmpty() && isSymlink(linkName))
        ::unlink(linkName.constData());
}

// ---- settings ------------------------------------------------------------

void SimBus::setBaud(int baud)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rxWire.setBaud(baud);
    m_txWire.setBaud(baud);
}

int SimBus::baud() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rxWire.baud();
}

void SimBus::setTurnaround(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_turnaroundMs = std::max(0, ms);
}

int SimBus::turnaround() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_turnaroundMs;
}

void SimBus::setTraceOutput(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_traceOutput = on;
}

bool SimBus::traceOutput() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_traceOutput;
}

void SimBus::setMessageHandler(std::function<void(const QString &)> handler)
{
    std::lock_guard<std::mutex> out(m_outputMutex);
    m_messageHandler = std::move(handler);
}

void SimBus::setQuitHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quitHandler = std::move(handler);
}

void SimBus::emitMessages(const QStringList &lines) const
{
    std::lock_guard<std::mutex> out(m_outputMutex);
    if (!m_messageHandler)
        return;
    for (const QString &line : lines)
        m_messageHandler(line);
}

SimBus::Clock::time_point SimBus::origin() const
{
    return m_origin;
}

// ---- monitors --------------------------------------------------------------

bool SimBus::addMonitor(quint8 address, bool power)
{
    SimMonitorState state = SimMonitor::defaultState(address);
    state.power = power;
    return addMonitor(state);
}

bool SimBus::addMonitor(const SimMonitorState &state)
{
    if (state.address < 1 || state.address > 126)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_monitors.count(state.address))
        return false;
    insertMonitor(state);
    return true;
}

void SimBus::insertMonitor(const SimMonitorState &state)
{
    SimMonitorState initial = state;
    if (initial.power) {
        // Joining the bus powered looks like being switched on.
        initial.alarmDue = true;
        initial.updateDue = true;
        initial.changedMask = SimMonitorState::ChangedAll;
    }
    m_monitors[state.address] = std::make_unique<SimMonitor>(initial, Clock::now());
}

bool SimBus::removeMonitor(quint8 address)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_monitors.erase(address) > 0;
}

bool SimBus::withMonitor(quint8 address, const std::function<void(SimMonitor &)> &change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_monitors.find(address);
    if (it == m_monitors.end())
        return false;
    change(*it->second);
    return true;
}

bool SimBus::setPower(quint8 address, bool on)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setPower(on); });
}

bool SimBus::setAlarm(quint8 address, quint8 alarm)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setAlarm(alarm); });
}

bool SimBus::setFault(quint8 address, const SimFault &fault)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setFault(fault, Clock::now()); });
}

bool SimBus::setSerialNumber(quint8 address, const QString &text)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setSerialNumber(text); });
}

bool SimBus::setVersion(quint8 address, const QString &text)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setVersion(text); });
}

bool SimBus::setInputMode(quint8 address, quint8 input, quint8 mode)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setInputMode(input, mode); });
}

bool SimBus::setRotary(quint8 address, int index, qint8 level)
{
    if (index < 0 || index > 4)
        return false;
    return withMonitor(address, [&](SimMonitor &m) { m.setRotary(index, level); });
}

bool SimBus::setFunctions(quint8 address, quint32 functions)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setFunctions(functions); });
}

bool SimBus::setBoardVersions(quint8 address, const QByteArray &bytes)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setBoardVersions(bytes); });
}

bool SimBus::setTimeCode(quint8 address, const QString &text)
{
    return withMonitor(address, [&](SimMonitor &m) { m.setTimeCode(text); });
}

bool SimBus::pressKey(quint8 address, quint8 key)
{
    return withMonitor(address, [&](SimMonitor &m) { m.pressKey(key); });
}

std::optional<SimMonitorState> SimBus::monitor(quint8 address) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_monitors.find(address);
    if (it == m_monitors.end())
        return std::nullopt;
    return it->second->snapshot(Clock::now());
}

QList<quint8> SimBus::addresses() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<quint8> list;
    for (const auto &entry : m_monitors)
        list.append(entry.first);
    return list;
}

// ---- trace -----------------------------------------------------------------

QList<SimTraceEntry> SimBus::trace() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return QList<SimTraceEntry>(m_trace.begin(), m_trace.end());
}

void SimBus::clearTrace()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace.clear();
}

int SimBus::requestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int SimBus::replyCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_replies;
}

bool SimBus::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, milliseconds(timeoutMs), [&] { return m_requests >= count; });
}

bool SimBus::waitForIdle(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, milliseconds(timeoutMs), [&] { return m_tx.empty() && m_rx.empty(); });
}

QString SimBus::formatTraceEntry(const SimTraceEntry &entry, Clock::time_point origin)
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

void SimBus::addTrace(const SimTraceEntry &entry)
{
    m_trace.push_back(entry);
    while (m_trace.size() > size_t(MaxTraceEntries))
        m_trace.pop_front();
    if (m_traceOutput)
        m_traceLines.append(formatTraceEntry(entry, m_origin));
}

// ---- the bus thread --------------------------------------------------------

void SimBus::run()
{
    // Deadlines at 115200 baud are 87 us apart; the default timer slack of
    // 50 us would blur them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    const int fd = m_pty->masterFd();
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopWorker) {
        const Clock::time_point now = Clock::now();
        deliverDue(now);
        writeDue(fd, now);
        std::optional<Clock::time_point> next;
        if (!m_rx.empty())
            next = m_rx.front().first;
        if (!m_tx.empty())
            next = next ? std::min(*next, m_tx.front().due) : m_tx.front().due;
        if (m_tx.empty() && m_rx.empty())
            m_changed.notify_all();
        QStringList lines;
        lines.swap(m_traceLines);
        lock.unlock();

        emitMessages(lines);
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (next) {
            const nanoseconds left = std::max(nanoseconds(0), duration_cast<nanoseconds>(*next - Clock::now()));
            timeout.tv_sec = time_t(left.count() / 1'000'000'000);
            timeout.tv_nsec = long(left.count() % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(fds, 2, timeoutPtr, nullptr);
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &count, sizeof count);
        }
        const bool broken = ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                            && !(fds[0].revents & POLLIN);
        if (broken || (ready < 0 && errno != EINTR)) {
            // Never expected while our own slave end is open; if it happens,
            // do not spin on a descriptor that is always ready.
            std::this_thread::sleep_for(milliseconds(10));
        }
        bool readFailed = false;
        lock.lock();
        if (ready > 0 && (fds[0].revents & POLLIN))
            readFailed = !receive(fd);
        if (readFailed) {
            lock.unlock();
            std::this_thread::sleep_for(milliseconds(10));
            lock.lock();
        }
    }
}

bool SimBus::receive(int fd)
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

void SimBus::deliverDue(Clock::time_point now)
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

void SimBus::flushGarbage(Clock::time_point at)
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

void SimBus::handleFrame(const SimFramer::Frame &frame)
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
    const auto it = m_monitors.find(address);
    if (it == m_monitors.end())
        return; // nobody there: the line stays quiet
    const std::optional<SimMonitor::Reply> reply = it->second->handle(frame.bytes, frame.end);
    if (reply)
        schedule(address, *reply, frame.end + milliseconds(m_turnaroundMs + reply->delayMs));
}

void SimBus::schedule(quint8 address, const SimMonitor::Reply &reply, Clock::time_point ready)
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

void SimBus::writeDue(int fd, Clock::time_point now)
{
    QByteArray out;
    size_t count = 0;
    for (; count < m_tx.size() && m_tx[count].due <= now; ++count)
        out.append(char(m_tx[count].byte));
    if (!count)
        return;
    // Nobody reading is like nobody listening on the wire: bytes that do
    // not fit are lost, the bus thread never blocks.
    [[maybe_unused]] const ssize_t written = ::write(fd, out.constData(), size_t(out.size()));
    const Clock::time_point at = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        const Pending &p = m_tx.front();
        if (p.first)
            p.entry->start = at;
        if (p.last) {
            p.entry->end = at;
            ++m_replies;
            addTrace(*p.entry);
        }
        m_tx.pop_front();
    }
    m_changed.notify_all();
}

// ---- command language --------------------------------------------------------

bool SimBus::command(const QString &line, QString *error)
{
    const std::optional<SimCommand> cmd = SimCommand::parse(line, error);
    return cmd && execute(*cmd, error);
}

bool SimBus::execute(const SimCommand &cmd, QString *error)
{
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };

    switch (cmd.verb) {
    case SimCommand::Nothing:
        return true;
    case SimCommand::Wait:
        return fail(QStringLiteral("wait only works in scenario files"));
    case SimCommand::Help:
        emitMessages(SimCommand::helpText().split(QLatin1Char('\n')));
        return true;
    case SimCommand::Quit: {
        std::function<void()> quit;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            quit = m_quitHandler;
        }
        if (quit)
            quit();
        else
            stop();
        return true;
    }
    case SimCommand::Vanish:
        return vanish() || fail(QStringLiteral("no device to vanish (already gone or stopped)"));
    case SimCommand::Reappear:
        return reappear(error, cmd.flag);
    case SimCommand::Silence:
        setLineSilent(cmd.flag);
        return true;
    case SimCommand::Trace:
        setTraceOutput(cmd.flag);
        return true;
    case SimCommand::Baud:
        setBaud(int(cmd.number));
        return true;
    case SimCommand::Turnaround:
        setTurnaround(int(cmd.number));
        return true;
    case SimCommand::Status: {
        QList<quint8> list = cmd.addresses;
        if (cmd.allAddresses)
            list = addresses();
        const QList<quint8> present = addresses();
        for (quint8 a : list) {
            if (!present.contains(a))
                return fail(QStringLiteral("no monitor at address %1").arg(a));
        }
        emitMessages(statusText(list).split(QLatin1Char('\n')));
        return true;
    }
    default:
        break;
    }

    // The per-monitor commands: every named address is checked before any
    // monitor changes, so a bad line changes nothing.
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<quint8> targets = cmd.addresses;
    if (cmd.allAddresses) {
        targets.clear();
        for (const auto &entry : m_monitors)
            targets.append(entry.first);
    }
    for (quint8 a : targets) {
        const bool present = m_monitors.count(a) > 0;
        if (cmd.verb == SimCommand::Add && present)
            return fail(QStringLiteral("address %1 already has a monitor").arg(a));
        if (cmd.verb != SimCommand::Add && !present)
            return fail(QStringLiteral("no monitor at address %1").arg(a));
    }

    const Clock::time_point now = Clock::now();
    for (quint8 a : targets) {
        if (cmd.verb == SimCommand::Add) {
            SimMonitorState s = SimMonitor::defaultState(a);
            const SimMonitorState &given = cmd.init;
            const quint32 f = cmd.addFields;
            if (f & SimCommand::AddPower) s.power = given.power;
            if (f & SimCommand::AddSerialNumber) s.serialNumber = given.serialNumber;
            if (f & SimCommand::AddVersion) s.version = given.version;
            if (f & SimCommand::AddInput) s.input = given.input;
            if (f & SimCommand::AddMode) s.mode = given.mode;
            if (f & SimCommand::AddRotary) s.rotary = given.rotary;
            if (f & SimCommand::AddFunctions) s.functions = given.functions;
            if (f & SimCommand::AddBoardVersions) s.boardVersions = given.boardVersions;
            if (f & SimCommand::AddTimeCode) s.timeCode = given.timeCode;
            if (f & SimCommand::AddAlarm) {
                s.alarm = given.alarm;
                s.alarmDue = true;
            }
            insertMonitor(s);
            continue;
        }
        if (cmd.verb == SimCommand::Remove) {
            m_monitors.erase(a);
            continue;
        }
        SimMonitor &m = *m_monitors[a];
        switch (cmd.verb) {
        case SimCommand::Power: m.setPower(cmd.flag); break;
        case SimCommand::Alarm: m.setAlarm(quint8(cmd.number)); break;
        case SimCommand::Key: m.pressKey(quint8(cmd.number)); break;
        case SimCommand::Fault: m.setFault(cmd.fault, now); break;
        case SimCommand::Set: {
            const SimMonitorState s = m.snapshot(now);
            switch (cmd.item) {
            case SimCommand::SerialNumber: m.setSerialNumber(cmd.text); break;
            case SimCommand::Version: m.setVersion(cmd.text); break;
            case SimCommand::TimeCode: m.setTimeCode(cmd.text); break;
            case SimCommand::Input: m.setInputMode(quint8(cmd.number), s.mode); break;
            case SimCommand::Mode: m.setInputMode(s.input, quint8(cmd.number)); break;
            case SimCommand::Rotary: m.setRotary(cmd.index, qint8(cmd.number)); break;
            case SimCommand::Functions: m.setFunctions(quint32(cmd.number)); break;
            case SimCommand::BoardVersions: m.setBoardVersions(cmd.bytes); break;
            }
            break;
        }
        default: break;
        }
    }
    return true;
}

QString SimBus::statusLine(const SimMonitorState &s) const
{
    QStringList due;
    if (s.alarmDue)
        due << QStringLiteral("alarm");
    if (s.updateDue)
        due << QStringLiteral("update");
    QStringList rotary;
    for (qint8 level : s.rotary)
        rotary << QString::number(level);
    QString line = QStringLiteral("%1 %2 alarm=0x%3 due=%4 changed=0x%5 sn=%6 version=%7 input=%8 mode=%9")
                       .arg(s.address, 3)
                       .arg(s.power ? QStringLiteral("on ") : QStringLiteral("off"))
                       .arg(s.alarm, 2, 16, QLatin1Char('0'))
                       .arg(due.isEmpty() ? QStringLiteral("-") : due.join(QLatin1Char(',')))
                       .arg(s.changedMask, 2, 16, QLatin1Char('0'))
                       .arg(s.serialNumber, s.version)
                       .arg(s.input)
                       .arg(s.mode);
    line += QStringLiteral(" rotary=%1 functions=0x%2 boards=%3 timecode=%4")
                .arg(rotary.join(QLatin1Char(',')))
                .arg(s.functions, 8, 16, QLatin1Char('0'))
                .arg(QString::fromLatin1(s.boardVersions.toHex()), s.timeCode);
    if (s.umdFrames > 0) {
        line += QStringLiteral(" umd=\"%1\" tally=%2")
                    .arg(QString::fromLatin1(s.umdText), tallyText(s.umdTally));
    }
    if (s.fault.kind != SimFault::None)
        line += QStringLiteral(" fault=\"%1\"%2").arg(s.fault.toString(), s.dead ? QStringLiteral(" (dead)") : QString());
    line += QStringLiteral(" requests=%1").arg(s.requests);
    return line;
}

QString SimBus::statusText() const
{
    return statusText(addresses());
}

QString SimBus::statusText(const QList<quint8> &list) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Clock::time_point now = Clock::now();
    QStringList lines;
    lines << QStringLiteral("bus %1 baud=%2 turnaround=%3ms monitors=%4 requests=%5 replies=%6%7")
                 .arg(m_vanished ? QStringLiteral("(vanished)")
                                 : m_devicePath.isEmpty() ? QStringLiteral("(stopped)") : m_devicePath)
                 .arg(m_rxWire.baud())
                 .arg(m_turnaroundMs)
                 .arg(m_monitors.size())
                 .arg(m_requests)
                 .arg(m_replies)
                 .arg(m_lineSilent ? QStringLiteral(" line=silent") : QString());
    for (quint8 a : list) {
        const auto it = m_monitors.find(a);
        if (it != m_monitors.end())
            lines << statusLine(it->second->snapshot(now));
    }
    return lines.join(QLatin1Char('\n'));
}
