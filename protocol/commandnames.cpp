#include "protocol/commandnames.h"

#include "protocol/rscmd.h"

#include <array>

namespace {
const std::array<const char *, 5> statusNames = {
    "NEW", "OK", "SEND_ERROR", "READ_ERROR", "RSP_ERROR"};
}

QString commandName(const RSCmd &cmd)
{
    switch (cmd.code) {
    case RSCmd::CodeEcho: return QStringLiteral("ECHO");
    case RSCmd::CodeProto: return QStringLiteral("PROTO");
    case RSCmd::CodeAlarm: return QStringLiteral("ALAMR");
    case RSCmd::CodeUpdate: return QStringLiteral("UPDATE");
    case RSCmd::CodeQuery: return QStringLiteral("QUERY");
    case RSCmd::CodeControl: return QStringLiteral("CONTROL");
    default: return QStringLiteral("Unknow");
    }
}

QString statusName(int status)
{
    if (status < 0 || status >= int(statusNames.size()))
        return QString();
    return QLatin1String(statusNames[status]);
}
