#include "monitor/alarmstatus.h"

#include "monitor/alarmsettings.h"
#include "monitor/cmonitor.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

#include <array>

using AlarmKinds::Kind;
using AlarmKinds::kinds;

namespace {

bool patternPresent(const CMonitor &m, Kind kind)
{
    const quint8 pattern = kinds[kind].pattern;
    return (m.alarm & pattern) == pattern;
}

struct StatusIcons {
    std::array<QImage, AlarmKinds::KindCount> alarm;
    QImage powerOn;
    QImage powerOff;
};

// Loaded on first use and kept for the life of the process. Images, not
// pixmaps, so that nothing GUI-bound outlives the application object.
const StatusIcons &statusIcons()
{
    static const StatusIcons icons = [] {
        StatusIcons loaded;
        for (int kind = 0; kind < AlarmKinds::KindCount; ++kind)
            loaded.alarm[kind] = QImage(QLatin1String(kinds[kind].icon));
        loaded.powerOn = QImage(QStringLiteral(":/icons/img/poweron.png"));
        loaded.powerOff = QImage(QStringLiteral(":/icons/img/poweroff.png"));
        return loaded;
    }();
    return icons;
}

// The alarm shows, if its kind is enabled. Tested before the enable, so that
// the settings file is only read for an alarm that is there.
bool present(const CMonitor &m, Kind kind)
{
    if (!(m.state & CMonitor::StatePower))
        return false;
    if (kinds[kind].hiddenByNoSignal && patternPresent(m, AlarmKinds::NoSignal))
        return false;
    return patternPresent(m, kind);
}

} // namespace

bool alarmTest(const CMonitor &m, Kind kind)
{
    return present(m, kind) && AlarmSettings::isEnabled(kind);
}

bool alarmTest(const CMonitor &m, Kind kind, const AlarmSettings::Enables &enabled)
{
    return present(m, kind) && enabled[kind];
}

bool isNoSignal(const CMonitor &m) { return alarmTest(m, AlarmKinds::NoSignal); }
bool isAudioMute(const CMonitor &m) { return alarmTest(m, AlarmKinds::AudioMute); }
bool isBlackField(const CMonitor &m) { return alarmTest(m, AlarmKinds::BlackField); }
bool isBlueField(const CMonitor &m) { return alarmTest(m, AlarmKinds::BlueField); }
bool isIreAlarm(const CMonitor &m) { return alarmTest(m, AlarmKinds::IreAlarm); }
bool isRgbAlarm(const CMonitor &m) { return alarmTest(m, AlarmKinds::RgbAlarm); }

bool hasAlarm(const CMonitor &m)
{
    if (!(m.state & CMonitor::StatePower))
        return false;
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
        if (alarmTest(m, Kind(kind)))
            return true;
    }
    return false;
}

bool hasAlarm(const CMonitor &m, const AlarmSettings::Enables &enabled)
{
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
        if (alarmTest(m, Kind(kind), enabled))
            return true;
    }
    return false;
}

namespace {

QColor colorOf(int code)
{
    switch (code) {
    case StatusAlarm: return QColor(Qt::red);
    case StatusPowerOff: return QColor(Qt::gray);
    case StatusZombie: return QColor(Qt::yellow);
    default: return QColor(Qt::green);
    }
}

template <typename AlarmTest>
QString textOf(int code, AlarmTest test)
{
    switch (code) {
    case StatusZombie: return QStringLiteral("ZOMBIE");
    case StatusPowerOff: return QStringLiteral("POWER OFF");
    case StatusNormal: return QStringLiteral("NORMAL");
    default: break;
    }
    QString text = QStringLiteral("ALARM<");
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
        if (test(Kind(kind)))
            text += QLatin1String(kinds[kind].tag);
    }
    return text + QLatin1Char('>');
}

} // namespace

int statusCode(const CMonitor &m)
{
    if (m.state & CMonitor::StateZombie)
        return StatusZombie;
    if (!(m.state & CMonitor::StatePower))
        return StatusPowerOff;
    return hasAlarm(m) ? StatusAlarm : StatusNormal;
}

int statusCode(const CMonitor &m, const AlarmSettings::Enables &enabled)
{
    if (m.state & CMonitor::StateZombie)
        return StatusZombie;
    if (!(m.state & CMonitor::StatePower))
        return StatusPowerOff;
    return hasAlarm(m, enabled) ? StatusAlarm : StatusNormal;
}

QColor statusColor(const CMonitor &m)
{
    return colorOf(statusCode(m));
}

QColor statusColor(const CMonitor &m, const AlarmSettings::Enables &enabled)
{
    return colorOf(statusCode(m, enabled));
}

QString statusText(const CMonitor &m)
{
    return textOf(statusCode(m), [&m](Kind kind) { return alarmTest(m, kind); });
}

QString statusText(const CMonitor &m, const AlarmSettings::Enables &enabled)
{
    return textOf(statusCode(m, enabled), [&](Kind kind) { return alarmTest(m, kind, enabled); });
}

QPixmap statusImage(const CMonitor &m)
{
    // Only the icons shown tell two images apart, and the same icons give the
    // same pixmap: a view caches what it drew by pixmap, so a fresh pixmap on
    // every paint would fill its cache (10 MB within an hour on a full bus)
    // with copies of the same few images.
    int shown = 0; // a bit per alarm icon, or one of two bits past them for power
    for (int kind = 0; kind < AlarmKinds::KindCount; ++kind)
        shown |= alarmTest(m, Kind(kind)) ? 1 << kind : 0;
    if (!shown)
        shown = ((m.state & CMonitor::StatePower) ? 1 : 2) << AlarmKinds::KindCount;
    const QString key = QStringLiteral("kelvaro-status-%1").arg(shown);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;

    const StatusIcons &icons = statusIcons();
    QImage image(icons.powerOn.width() * 3, icons.powerOn.height(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (shown >> AlarmKinds::KindCount) {
        painter.drawImage(0, 0, (m.state & CMonitor::StatePower) ? icons.powerOn : icons.powerOff);
    } else {
        int x = 0;
        for (int kind = 0; kind < AlarmKinds::KindCount; ++kind) {
            if (!(shown & (1 << kind)))
                continue;
            painter.drawImage(x, 0, icons.alarm[kind]);
            x += icons.alarm[kind].width();
        }
    }
    painter.end();
    pixmap = QPixmap::fromImage(image);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap acknowledgedStatusImage(const CMonitor &m)
{
    const QPixmap base = statusImage(m);
    const QString key = QStringLiteral("kelvaro-acknowledged-%1").arg(base.cacheKey());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QImage image = base.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A dark tick on a white outline shows on any of the icons and on red.
    const qreal h = image.height();
    const qreal w = image.width();
    QPainterPath tick;
    tick.moveTo(w - 0.45 * h, 0.62 * h);
    tick.lineTo(w - 0.30 * h, 0.82 * h);
    tick.lineTo(w - 0.06 * h, 0.40 * h);
    painter.strokePath(tick, QPen(Qt::white, 0.22 * h, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.strokePath(tick, QPen(QColor(0x1C, 0x6E, 0x33), 0.11 * h, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.end();
    pixmap = QPixmap::fromImage(image);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
