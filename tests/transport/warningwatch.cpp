#include "warningwatch.h"

namespace {
WarningWatch *current = nullptr;
}

WarningWatch::WarningWatch()
{
    current = this;
    m_previous = qInstallMessageHandler(&WarningWatch::handler);
}

WarningWatch::~WarningWatch()
{
    qInstallMessageHandler(m_previous);
    current = nullptr;
}

QStringList WarningWatch::warnings() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_warnings;
}

QStringList WarningWatch::threadWarnings() const
{
    QStringList found;
    for (const QString &w : warnings()) {
        if (isThreadWarning(w))
            found << w;
    }
    return found;
}

void WarningWatch::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_warnings.clear();
}

bool WarningWatch::isThreadWarning(const QString &text)
{
    static const char *const patterns[] = {
        "QSocketNotifier",
        "socket notifier",
        "another thread",
        "different thread",
        "Cannot move to target thread",
        "Cannot create children for a parent that is in a different thread",
        "Timers cannot",
        "QObject::killTimer",
        "QObject::startTimer",
    };
    for (const char *p : patterns) {
        if (text.contains(QLatin1String(p), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void WarningWatch::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (current && type != QtDebugMsg && type != QtInfoMsg) {
        std::lock_guard<std::mutex> lock(current->m_mutex);
        current->m_warnings << text;
    }
    if (current && current->m_previous)
        current->m_previous(type, context, text);
}
