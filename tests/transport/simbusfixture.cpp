#include "simbusfixture.h"

#include "serialsettings.h"
#include "settingsfile.h"

#include <QDir>
#include <QSettings>

#include <sys/resource.h>

SimBusFixture::SimBusFixture()
    : m_previousDir(QDir::currentPath())
{
    if (m_dir.isValid())
        m_entered = QDir::setCurrent(m_dir.path());
    m_started = m_bus.start();
}

SimBusFixture::~SimBusFixture()
{
    m_bus.stop();
    QDir::setCurrent(m_previousDir);
}

bool SimBusFixture::isValid() const
{
    return m_entered && m_started && !m_bus.devicePath().isEmpty();
}

void SimBusFixture::writeSettings(int totalTimeoutMs) const
{
    SerialSettings s;
    s.port = m_bus.devicePath();
    s.totalTimeout = totalTimeoutMs;
    s.write();
}

void SimBusFixture::writeSetting(const char *key, const QVariant &value)
{
    QSettings file(QLatin1String(SettingsFileName), QSettings::IniFormat);
    file.beginGroup(QLatin1String(SerialSettings::Group));
    file.setValue(QLatin1String(key), value);
    file.endGroup();
    file.sync();
}

QList<SimTraceEntry> SimBusFixture::requests() const
{
    QList<SimTraceEntry> list;
    for (const SimTraceEntry &e : m_bus.trace()) {
        if (e.kind == SimTraceEntry::Request)
            list << e;
    }
    return list;
}

QList<int> SimBusFixture::requestAddresses() const
{
    QList<int> list;
    for (const SimTraceEntry &e : requests())
        list << e.address;
    return list;
}

double SimBusFixture::processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double SimBusFixture::msBetween(std::chrono::steady_clock::time_point a,
                                std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}
