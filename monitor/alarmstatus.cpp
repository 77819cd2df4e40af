#include "alarmstatus.h"

#include "alarmsettings.h"
#include "cmonitor.h"

#include <QImage>
#include <QPainter>

#include <array>

using AlarmSettings::Kind;

namespace {

// Alarm byte patterns: bits 0+1 together mean no signal and hide the
// black (bit 1) and blue (bit 0) field alarms.
bool noSignalPattern(const CMonitor &m)
{
    return (m.alarm & 0x03) == 0x03;
}

bool patternPresent(const CMonitor &m, Kind kind)
{
    switch (kind) {
    case AlarmSettings::NoSignal: return noSignalPattern(m);
    case AlarmSettings::AudioMute: return m.alarm & 0x08;
    case AlarmSettings::BlackField: return m.alarm & 0x02;
    case AlarmSettings::BlueField: return m.alarm & 0x01;
    case AlarmSettings::IreAlarm: return m.alarm & 0x04;
    case AlarmSettings::RgbAlarm: return m.alarm & 0x10;
    case AlarmSettings::KindCount: break;
    }
    return false;
}

bool alarmTest(const CMonitor &m, Kind kind)
{
    if (!(m.state & CMonitor::StatePower))
        return false;
    if ((kind == AlarmSettings::BlackField || kind == AlarmSettings::BlueField)
        && noSignalPattern(m))
        return false;
    return AlarmSettings::isEnabled(kind) && patternPresent(m, kind);
}

const std::array<const char *, AlarmSettings::KindCount> alarmTags = {
    "[NO SIGNAL]", "[AUDIO MUTE]", "[BLACK FIELD]", "[BLUE FIELD]", "[IRE ALARM]", "[RGB ALARM]",
};

struct StatusIcons {
    std::array<QImage, AlarmSettings::KindCount> alarm;
    QImage powerOn;
    QImage powerOff;
};

// Loaded on first use and kept for the life of the process. Images, not
// pixmaps, so that nothing GUI-bound outlives the application object.
const StatusIcons &statusIcons()
{
    static const StatusIcons icons = [] {
        StatusIcons loaded;
        const std::array<const char *, AlarmSettings::KindCount> files = {
            ":/icons/img/nosignal_alarm.png", ":/icons/img/mute_alarm.png",
            ":/icons/img/black_alarm.png", ":/icons/img/blue_alarm.png",
            ":/icons/img/ire_alarm.png", ":/icons/img/rgb_alarm.png",
        };
        for (int kind = 0; kind < AlarmSettings::KindCount; ++kind)
            loaded.alarm[kind] = QImage(QLatin1String(files[kind]));
        loaded.powerOn = QImage(QStringLiteral(":/icons/img/poweron.png"));
        loaded.powerOff = QImage(QStringLiteral(":/icons/img/poweroff.png"));
        return loaded;
    }();
    return icons;
}

} // namespace

bool isNoSignal(const CMonitor &m) { return alarmTest(m, AlarmSettings::NoSignal); }
bool isAudioMute(const CMonitor &m) { return alarmTest(m, AlarmSettings::AudioMute); }
bool isBlackField(const CMonitor &m) { return alarmTest(m, AlarmSettings::BlackField); }
bool isBlueField(const CMonitor &m) { return alarmTest(m, AlarmSettings::BlueField); }
bool isIreAlarm(const CMonitor &m) { return alarmTest(m, AlarmSettings::IreAlarm); }
bool isRgbAlarm(const CMonitor &m) { return alarmTest(m, AlarmSettings::RgbAlarm); }

bool hasAlarm(const CMonitor &m)
{
    if (!(m.state & CMonitor::StatePower))
        return false;
    for (int kind = 0; kind < AlarmSettings::KindCount; ++kind) {
        if (alarmTest(m, Kind(kind)))
            return true;
    }
    return false;
}

int statusCode(const CMonitor &m)
{
    if (m.state & CMonitor::StateZombie)
        return StatusZombie;
    if (!(m.state & CMonitor::StatePower))
        return StatusPowerOff;
    return hasAlarm(m) ? StatusAlarm : StatusNormal;
}

QColor statusColor(const CMonitor &m)
{
    switch (statusCode(m)) {
    case StatusAlarm: return QColor(Qt::red);
    case StatusPowerOff: return QColor(Qt::gray);
    case StatusZombie: return QColor(Qt::yellow);
    default: return QColor(Qt::green);
    }
}

QString statusText(const CMonitor &m)
{
    switch (statusCode(m)) {
    case StatusZombie: return QStringLiteral("ZOMBIE");
    case StatusPowerOff: return QStringLiteral("POWER OFF");
    case StatusNormal: return QStringLiteral("NORMAL");
    default: break;
    }
    QString text = QStringLiteral("ALARM<");
    for (int kind = 0; kind < AlarmSettings::KindCount; ++kind) {
        if (alarmTest(m, Kind(kind)))
            text += QLatin1String(alarmTags[kind]);
    }
    return text + QLatin1Char('>');
}

QPixmap statusImage(const CMonitor &m)
{
    const StatusIcons &icons = statusIcons();
    QImage image(icons.powerOn.width() * 3, icons.powerOn.height(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (hasAlarm(m)) {
        int x = 0;
        for (int kind = 0; kind < AlarmSettings::KindCount; ++kind) {
            if (!alarmTest(m, Kind(kind)))
                continue;
            painter.drawImage(x, 0, icons.alarm[kind]);
            x += icons.alarm[kind].width();
        }
    } else {
        painter.drawImage(0, 0, (m.state & CMonitor::StatePower) ? icons.powerOn : icons.powerOff);
    }
    painter.end();
    return QPixmap::fromImage(image);
}
