#ifndef MONITORJSON_H
#define MONITORJSON_H

#include "monitor/alarmsettings.h"

#include <QDateTime>
#include <QJsonObject>
#include <QPoint>
#include <QString>

#include <optional>

class CMonitor;

// One monitor as the API and the live wall show it: what the table shows
// (status text and colour), what the detail window shows, and what others
// know of it (acknowledgement, UMD, place on the icon view).
class MonitorJson
{
public:
    struct Umd {
        QString text;
        bool red = false;
        bool green = false;
    };
    struct Context {
        AlarmSettings::Enables enabled{};
        bool acknowledged = false;
        std::optional<Umd> umd;
        std::optional<QPoint> position;
        QDateTime now;
    };

    static QJsonObject toJson(const CMonitor &m, const Context &context);
    // A time as ISO 8601 in UTC with milliseconds; null when invalid.
    static QJsonValue isoTime(const QDateTime &when);
};

#endif // MONITORJSON_H
