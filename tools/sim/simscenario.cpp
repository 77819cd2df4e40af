#include "tools/sim/simscenario.h"

#include "tools/sim/simbus.h"
#include "tools/sim/simcommand.h"

#include <QFile>

bool SimScenario::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    setText(path, QString::fromUtf8(file.readAll()));
    return true;
}

void SimScenario::setText(const QString &name, const QString &text)
{
    m_name = name;
    m_lines.clear();
    m_errors.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString raw = lines.at(i).trimmed();
        QString reason;
        const std::optional<SimCommand> cmd = SimCommand::parse(raw, &reason);
        if (!cmd) {
            m_errors << report(name, i + 1, raw, reason);
            continue;
        }
        if (cmd->verb == SimCommand::Nothing)
            continue;
        Line line;
        line.number = i + 1;
        line.text = raw;
        if (cmd->verb == SimCommand::Wait)
            line.waitMs = int(cmd->number);
        m_lines.append(line);
    }
}

QString SimScenario::report(const QString &source, int lineNumber, const QString &line, const QString &reason)
{
    return QStringLiteral("%1:%2: %3: '%4'").arg(source).arg(lineNumber).arg(reason, line);
}

int SimScenario::play(SimBus &bus, const std::function<void(const QString &)> &errorSink)
{
    int failures = 0;
    for (const Line &line : m_lines) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (line.waitMs >= 0)
                m_wake.wait_for(lock, std::chrono::milliseconds(line.waitMs), [&] { return m_cancelled; });
            if (m_cancelled)
                break;
        }
        if (line.waitMs >= 0)
            continue;
        QString reason;
        if (!bus.command(line.text, &reason)) {
            ++failures;
            if (errorSink)
                errorSink(report(m_name, line.number, line.text, reason));
        }
    }
    return failures;
}

void SimScenario::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    m_wake.notify_all();
}
