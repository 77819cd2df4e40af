#include "bench/simprocess.h"

#include <QThread>

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const QString &program, int baud, QString *error)
{
    m_process.setProgram(program);
    m_process.setArguments({QStringLiteral("--empty"), QStringLiteral("--baud"), QString::number(baud)});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        *error = m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000)) {
            *error = QStringLiteral("no device path from %1: %2")
                         .arg(program, QString::fromLocal8Bit(m_process.readAllStandardError()));
            return false;
        }
    }
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_device.isEmpty();
}

bool SimProcess::command(const QString &line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (m_process.write(bytes) != bytes.size())
        return false;
    if (!m_process.waitForBytesWritten(2000))
        return false;
    QThread::msleep(50); // the simulator applies it on its own thread
    return true;
}

QString SimProcess::query(const QString &line, const QString &prefix)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (m_process.write(bytes) != bytes.size() || !m_process.waitForBytesWritten(2000))
        return {};
    for (;;) {
        while (m_process.canReadLine()) {
            const QString answer = QString::fromLocal8Bit(m_process.readLine()).trimmed();
            if (answer.startsWith(prefix))
                return answer;
        }
        if (!m_process.waitForReadyRead(3000))
            return {};
    }
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
}
