#include "tests/support/transportrig.h"

#include "monitor/settingsfile.h"
#include "protocol/rscmd.h"
#include "transport/serialsettings.h"

#include <QSettings>
#include <QTest>

#include <mutex>

Rig::Rig(const QList<int> &monitors, int totalTimeoutMs)
{
    valid = m_dir.isValid() && bus.start();
    for (int a : monitors)
        valid = bus.addMonitor(quint8(a)) && valid;
    if (totalTimeoutMs >= 0) {
        SerialSettings s;
        s.port = bus.devicePath();
        s.totalTimeout = totalTimeoutMs;
        s.write();
    }
    clock.start();
    QObject::connect(&thread, &RSThread::openFailed, &m_receiver,
                     [this](const QString &name) { openFailures << name; }, Qt::DirectConnection);
    QObject::connect(&thread, &RSThread::cmdDone, &m_receiver, [this](RSCmd *cmd) {
        thread.lockMonitors(); // as the supervisor takes a command
        events << Event{Event::Done, cmd->address, cmd->code, cmd->status, cmd->reply, clock.elapsed()};
        thread.unlockMonitors();
        delete cmd;
    });
    const auto note = [this](Event::Kind kind, int address = 0, const QString &port = {}) {
        events << Event{kind, address, 0, 0, port.toUtf8(), clock.elapsed()};
    };
    using T = RSThread;
    QObject::connect(&thread, &T::searchingAddressChanged, &m_receiver, [note](quint8 a) { note(Event::Searching, a); });
    QObject::connect(&thread, &T::searchDone, &m_receiver, [note] { note(Event::SearchDone); });
    QObject::connect(&thread, &T::linkLost, &m_receiver, [note](const QString &p) { note(Event::LinkLost, 0, p); });
    QObject::connect(&thread, &T::linkRestored, &m_receiver, [note](const QString &p) { note(Event::LinkRestored, 0, p); });
}

Rig::~Rig()
{
    thread.stopBus();
    QCoreApplication::sendPostedEvents();
    bus.stop();
}

void Rig::writeSetting(const char *key, const QVariant &value)
{
    QSettings(QLatin1String(SettingsFileName), QSettings::IniFormat)
        .setValue(QLatin1String(SerialSettings::Group) + QLatin1Char('/') + QLatin1String(key), value);
}

QList<Rig::Event> Rig::of(Event::Kind kind) const
{
    QList<Event> list;
    for (const Event &e : events)
        if (e.kind == kind)
            list << e;
    return list;
}

QStringList Rig::outcomes() const
{
    QStringList list;
    for (const Event &e : of(Event::Done))
        list << QStringLiteral("%1 %2 %3").arg(e.address).arg(e.status).arg(e.reply.toHex()).trimmed();
    return list;
}

qsizetype Rig::firstOf(Event::Kind kind) const
{
    return std::find_if(events.cbegin(), events.cend(), [kind](const Event &e) { return e.kind == kind; })
        - events.cbegin();
}

QList<int> Rig::searched() const
{
    QList<int> list;
    for (const Event &e : of(Event::Searching))
        list << e.address;
    return list;
}

QList<SimTraceEntry> Rig::requests() const
{
    QList<SimTraceEntry> list;
    for (const SimTraceEntry &e : bus.trace())
        if (e.kind == SimTraceEntry::Request)
            list << e;
    return list;
}

void Rig::waitForQuietLine(int quietMs)
{
    for (int last = -1; bus.requestCount() != last;) {
        last = bus.requestCount();
        QTest::qWait(quietMs);
    }
}

QList<int> range(int first, int last)
{
    QList<int> list;
    for (int i = first; i <= last; ++i)
        list << i;
    return list;
}

double msBetween(SimBus::Clock::time_point a, SimBus::Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

QByteArray echoFrame(int address)
{
    return QByteArray(1, char(0x80 | address)) + char(0x80);
}

namespace {
std::mutex messagesMutex;
QStringList warnings;
QStringList traced;
QList<SimBus::Clock::time_point> tracedAt;
QtMessageHandler previousHandler = nullptr;
} // namespace

void watchMessages()
{
    previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context,
                                                const QString &text) {
        {
            std::lock_guard<std::mutex> lock(messagesMutex);
            if (type != QtDebugMsg && type != QtInfoMsg)
                warnings << text;
            if (qstrcmp(context.category, "kelvaro.bus") == 0) {
                traced << text;
                tracedAt << SimBus::Clock::now();
            }
        }
        if (previousHandler)
            previousHandler(type, context, text);
    });
}

QStringList takeWarnings(bool threadOnly)
{
    std::lock_guard<std::mutex> lock(messagesMutex);
    const QStringList taken = std::exchange(warnings, {});
    // What a port or notifier used from the wrong thread says: "Socket
    // notifiers cannot be enabled or disabled from another thread", "Cannot
    // move to target thread", "Timers cannot be stopped from another thread".
    return threadOnly ? taken.filter(QRegularExpression(QStringLiteral("thread|notifier"),
                                                        QRegularExpression::CaseInsensitiveOption))
                      : taken;
}

QStringList takeTrace(QList<SimBus::Clock::time_point> *times)
{
    std::lock_guard<std::mutex> lock(messagesMutex);
    const QList<SimBus::Clock::time_point> at = std::exchange(tracedAt, {});
    if (times)
        *times = at;
    return std::exchange(traced, {});
}
