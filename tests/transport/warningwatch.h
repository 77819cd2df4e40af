#ifndef WARNINGWATCH_H
#define WARNINGWATCH_H

#include <QString>
#include <QStringList>

#include <mutex>

// Collects every warning the process prints while it is installed, from any
// thread, and still passes each one on (so QTest::ignoreMessage works).
// Socket-notifier and cross-thread complaints are what a port used from the
// wrong thread produces; a test fails on any of them.
class WarningWatch
{
public:
    WarningWatch();
    ~WarningWatch();
    WarningWatch(const WarningWatch &) = delete;
    WarningWatch &operator=(const WarningWatch &) = delete;

    QStringList warnings() const;
    // The warnings that betray a port or notifier used across threads.
    QStringList threadWarnings() const;
    void clear();

    static bool isThreadWarning(const QString &text);

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    mutable std::mutex m_mutex;
    QStringList m_warnings;
    QtMessageHandler m_previous = nullptr;
};

#endif // WARNINGWATCH_H
