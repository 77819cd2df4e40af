#include "tests/support/supervisionfixture.h"

#include "tests/support/buslink.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

SupervisionFixture::SupervisionFixture()
{
    QString error;
    if (!bus.start(&error))
        qFatal("simulated bus: %s", qPrintable(error));
}

SupervisionFixture::~SupervisionFixture()
{
    destroyController();
    bus.stop();
}

void SupervisionFixture::writeSettings(const QString &extra, int timeoutMs)
{
    QFile ini(dir.iniPath());
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write mc422.ini");
    ini.write(QStringLiteral("[serial]\nport=%1\ntotaltimeout=%2\n%3\n")
                  .arg(portPath.isEmpty() ? bus.devicePath() : portPath, QString::number(timeoutMs), extra)
                  .toUtf8());
}

QString SupervisionFixture::linkBus()
{
    portPath = ::linkBus(bus, dir.path());
    return portPath;
}

void SupervisionFixture::createController()
{
    controller = std::make_unique<MController>();
    model = std::make_unique<MonitorModel>(controller.get());
    controller->setModel(model.get());
}

void SupervisionFixture::destroyController()
{
    if (controller)
        controller->setModel(nullptr);
    controller.reset();
    model.reset();
}

bool SupervisionFixture::searchUpTo(int lastAddress)
{
    const QMetaObject::Connection cancel = QObject::connect(
        controller.get(), &MController::addressChanged, controller.get(), [this, lastAddress](int addr) {
            if (addr == lastAddress + 1)
                controller->stopSearch();
        });
    mark();
    const bool ended = controller->startSearch() && QTest::qWaitFor([this] {
        return !newMessages().filter(QRegularExpression(QStringLiteral("^\\[SEARCH\\]: END"))).isEmpty();
    }, 20000);
    QObject::disconnect(cancel);
    return ended;
}

SimMonitorState SupervisionFixture::monitorState(quint8 address, bool power)
{
    SimMonitorState state;
    state.address = address;
    state.power = power;
    state.serialNumber = QStringLiteral("KV%1").arg(address, 4, 10, QLatin1Char('0'));
    state.version = QStringLiteral("V2.1");
    state.boardVersions = QByteArray::fromHex("12053011200130094063");
    return state;
}

bool SupervisionFixture::startWith(const QList<quint8> &addresses, int timeoutMs)
{
    for (quint8 address : addresses)
        if (!bus.addMonitor(monitorState(address)))
            return false;
    writeSettings(QString(), timeoutMs);
    createController();
    if (!searchUpTo(*std::max_element(addresses.begin(), addresses.end())))
        return false;
    return QTest::qWaitFor([this] {
        for (int i = 0; i < controller->monitorCount(); ++i)
            if (controller->monitorAt(i)->pendingQueries || controller->monitorAt(i)->serialNumber.isEmpty())
                return false;
        return true;
    }, 5000);
}

QStringList logFilesIn(const QString &dir)
{
    QDir logDir(dir);
    QStringList files = logDir.entryList({QStringLiteral("mc_*.log")}, QDir::Files, QDir::Name);
    for (QString &file : files)
        file = logDir.filePath(file);
    return files;
}

QStringList logFileMessages(const QString &name)
{
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2} - "));
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    const QString unfinished = lines.takeLast();
    QStringList messages;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = stamp.match(line);
        messages << (match.hasMatch() && !line.contains(QLatin1Char('\n'))
                         ? line.mid(match.capturedLength())
                         : QStringLiteral("MALFORMED: ") + line);
    }
    if (!unfinished.isEmpty())
        messages << QStringLiteral("UNFINISHED: ") + unfinished;
    return messages;
}

QStringList SupervisionFixture::logMessages() const
{
    QStringList messages;
    for (const QString &name : logFilesIn(EventLog::directory()))
        messages << logFileMessages(name);
    return messages;
}

void SupervisionFixture::mark()
{
    marked = logMessages().size();
}

QStringList SupervisionFixture::newMessages() const
{
    return logMessages().mid(marked);
}

bool SupervisionFixture::waitForMessage(const QString &message, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return newMessages().contains(message); }, timeoutMs);
}
