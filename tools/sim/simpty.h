#ifndef SIMPTY_H
#define SIMPTY_H

#include <QString>

// A pseudo-terminal pair in raw mode. The controller opens the slave side by
// its path; the simulator reads and writes the master side. The simulator
// keeps a slave descriptor of its own open, so that the master never sees a
// hang-up while the controller has its port closed between sessions.
class SimPty
{
public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty &) = delete;
    SimPty &operator=(const SimPty &) = delete;

    // Opens a new pair, closing any open one first. With avoidPath, the new
    // slave path is never that one, even when the kernel would hand it out
    // again. False, with nothing open, on failure.
    bool open(QString *error = nullptr, const QString &avoidPath = QString());
    // Closes both sides; the slave path disappears.
    void close();

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; } // non-blocking
    QString slavePath() const { return m_path; }

private:
    bool openPair(QString *error);

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

#endif // SIMPTY_H
