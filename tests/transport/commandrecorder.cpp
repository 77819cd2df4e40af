#include "commandrecorder.h"

#include "rscmd.h"
#include "rsthread.h"

CommandRecorder::CommandRecorder(RSThread *thread, QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    connect(thread, &RSThread::cmdDone, this, &CommandRecorder::onCommandDone);
    connect(thread, &RSThread::searchingAddressChanged, this, [this](quint8 address) {
        Event e;
        e.kind = Event::SearchingAddress;
        e.address = address;
        e.atMs = m_clock.elapsed();
        m_events << e;
    });
    connect(thread, &RSThread::searchDone, this, [this] {
        Event e;
        e.kind = Event::SearchDone;
        e.atMs = m_clock.elapsed();
        m_events << e;
    });
}

QList<CommandRecorder::Event> CommandRecorder::commands() const
{
    QList<Event> list;
    for (const Event &e : m_events) {
        if (e.kind == Event::CommandDone)
            list << e;
    }
    return list;
}

QList<int> CommandRecorder::searchedAddresses() const
{
    QList<int> list;
    for (const Event &e : m_events) {
        if (e.kind == Event::SearchingAddress)
            list << e.address;
    }
    return list;
}

int CommandRecorder::searchDoneCount() const
{
    int n = 0;
    for (const Event &e : m_events)
        n += e.kind == Event::SearchDone;
    return n;
}

void CommandRecorder::clear()
{
    m_events.clear();
    m_commandCount = 0;
}

void CommandRecorder::onCommandDone(RSCmd *cmd)
{
    Event e;
    e.kind = Event::CommandDone;
    e.address = cmd->address;
    e.code = cmd->code;
    e.status = cmd->status;
    e.replyLength = cmd->replyLength;
    e.reply = cmd->reply;
    e.atMs = m_clock.elapsed();
    delete cmd;
    m_events << e;
    ++m_commandCount;
    emit commandReceived(e.address, e.status);
}
