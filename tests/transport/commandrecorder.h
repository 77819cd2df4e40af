#ifndef COMMANDRECORDER_H
#define COMMANDRECORDER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

class RSCmd;
class RSThread;

// Receives a transport's three signals in the main thread, in the order they
// were emitted, the way the supervisor will. Every command handed over by
// cmdDone is copied into the record and deleted at once: ownership passes to
// the receiver.
class CommandRecorder : public QObject
{
    Q_OBJECT

public:
    struct Event {
        enum Kind { SearchingAddress, SearchDone, CommandDone };
        Kind kind = CommandDone;
        int address = 0;
        int code = 0;
        int status = 0;
        int replyLength = 0;
        QByteArray reply;
        qint64 atMs = 0; // when the main thread received it
    };

    explicit CommandRecorder(RSThread *thread, QObject *parent = nullptr);

    QList<Event> events() const { return m_events; }
    QList<Event> commands() const;        // CommandDone events only
    QList<int> searchedAddresses() const; // searchingAddressChanged, in order
    int searchDoneCount() const;
    int commandCount() const { return m_commandCount; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    void clear();

signals:
    void commandReceived(int address, int status);

private:
    void onCommandDone(RSCmd *cmd);

    QList<Event> m_events;
    int m_commandCount = 0;
    QElapsedTimer m_clock;
};

#endif // COMMANDRECORDER_H
