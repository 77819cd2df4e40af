#include "monitor/cmonitor.h"

const std::array<CMonitor::QueryItem, 6> CMonitor::queryItems = {{
    {QuerySerialNumber, ItemSerialNumber, 10},
    {QueryVersion, ItemVersion, 6},
    {QueryInputMode, ItemInputMode, 2},
    {QueryRotary, ItemRotary, 5},
    {QueryFunctions, ItemFunctions, 4},
    {QueryBoardVersions, ItemBoardVersions, 10},
}};

const CMonitor::QueryItem CMonitor::timeCodeItem = {0, ItemTimeCode, 14};

CMonitor::CMonitor(quint8 address)
    : address(address), pendingQueries(0), state(0), alarm(0), input(0), mode(0),
      functions(0), rotaryValues{}
{
}

QString CMonitor::versionText(quint8 b0, quint8 b1)
{
    return QStringLiteral("%1.%2.%3")
        .arg(b0 >> 4)
        .arg(b0 & 0x0F)
        .arg(int(qint8(b1)), 2, 10, QLatin1Char('0'));
}

const QStringList inputNames = {
    QStringLiteral("CVBS"), QStringLiteral("CVBS 1"), QStringLiteral("CVBS 2"),
    QStringLiteral("CVBS 3"), QStringLiteral("S Video"), QStringLiteral("YPbPr"),
    QStringLiteral("SDI 1"), QStringLiteral("SDI 2"), QStringLiteral("DVI-D"),
    QStringLiteral("DVI-A"), QStringLiteral("None"),
};

const QStringList modeNames = {
    QStringLiteral("No Signal"), QStringLiteral("525/59.94I"), QStringLiteral("625/50I"),
    QStringLiteral("525/59.94P"), QStringLiteral("625/50P"), QStringLiteral("1280x720/60P"),
    QStringLiteral("1208x720/59.94P"), QStringLiteral("1280x720/50P"),
    QStringLiteral("1920x1080/60I"), QStringLiteral("1920x1080/59.94I"),
    QStringLiteral("1920x1080/50I"), QStringLiteral("1920x1080/24PsF"),
    QStringLiteral("1920x1080/23.97PsF"), QStringLiteral("1920x1080/30P"),
    QStringLiteral("1920x1080/29.97P"), QStringLiteral("1920x1080/25P"),
    QStringLiteral("1920x1080/24P"), QStringLiteral("1920x1080/23.97P"),
    QStringLiteral("1920x1080/60P"), QStringLiteral("1920x1080/59.94P"),
    QStringLiteral("1920x1080/50P"), QStringLiteral("2048x1080/24P"),
    QStringLiteral("2048x1080/23.97P"), QStringLiteral("2048x1080/24PsF"),
    QStringLiteral("2048x1080/23.97PsF"), QStringLiteral("1280x720/30P"),
    QStringLiteral("1280x720/29.94P"), QStringLiteral("1280x720/25P"),
    QStringLiteral("1280x720/24P"), QStringLiteral("1280x720/23.97P"),
    QStringLiteral("640x480 60Hz"), QStringLiteral("800x600 60Hz"),
    QStringLiteral("1024x768 60Hz"), QStringLiteral("1280x1024 60Hz"),
    QStringLiteral("1280x768 60Hz"), QStringLiteral("1366x768 60Hz"),
    QStringLiteral("1440x900 60Hz"), QStringLiteral("1920x1200 60Hz"),
    QStringLiteral("720x400 70Hz"), QStringLiteral("1440x1050 60Hz"),
    QStringLiteral("640x480 72Hz"), QStringLiteral("640x480 75Hz"),
    QStringLiteral("640x480 85Hz"), QStringLiteral("800x600 72Hz"),
    QStringLiteral("800x600 75Hz"), QStringLiteral("800x600 85Hz"),
    QStringLiteral("1024x768 70Hz"), QStringLiteral("1024x768 75Hz"),
    QStringLiteral("1024x768 85Hz"), QStringLiteral("1280x1024 75Hz"),
    QStringLiteral("800x600 56Hzh"), QStringLiteral("1600x1200 60Hz"),
    QStringLiteral("1440x1080/30I"), QStringLiteral("1440x1080/25I"),
    QStringLiteral("1440x1080/30P"), QStringLiteral("1440x1080/25P"),
    QStringLiteral("1440x1080/24P"),
};

QString inputName(int code)
{
    return code >= 0 && code < inputNames.size() ? inputNames.at(code) : QString();
}

QString modeName(int code)
{
    return code >= 0 && code < modeNames.size() ? modeNames.at(code) : QString();
}
