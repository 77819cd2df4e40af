#ifndef SIMDEVICE_H
#define SIMDEVICE_H

#include "tools/sim/simpty.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

class SimLine;

// The device the controller opens: a pseudo-terminal with the line running
// on it, and optionally a symbolic link kept pointing at it. It can vanish,
// as an adapter does when pulled, and reappear on the same or a new node.
//
// Starting, stopping, vanishing, reappearing and moving the link follow one
// another under a mutex of their own. What they leave behind is guarded by
// the bus mutex, so that a status line reads it in one piece with the
// line's counters; the methods ending in Locked expect that mutex held.
class SimDevice
{
public:
    using Output = std::function<void(const QStringList &lines)>;

    // Notices of the device going and coming go to output.
    SimDevice(std::mutex &busMutex, SimLine &line, Output output);
    ~SimDevice(); // stops the line and removes the link
    SimDevice(const SimDevice &) = delete;
    SimDevice &operator=(const SimDevice &) = delete;

    // True if it runs, also when it already did; false, with nothing
    // started, when the device or the link cannot be made.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const;

    // vanish() is false when there is no device to take away; reappear()
    // is false, saying why, when the device has not vanished or cannot be
    // made. With newNode the new device never has the path of the old one.
    bool vanish();
    bool reappear(QString *error = nullptr, bool newNode = false);
    bool isVanished() const;

    QString devicePath() const; // empty while stopped or vanished
    // An empty path removes the link.
    bool setLinkPath(const QString &path, QString *error = nullptr);
    QString linkPath() const;

    QString devicePathLocked() const;
    bool isVanishedLocked() const;

private:
    // m_lifecycleMutex held. avoidPath: a device path the new one must not have.
    bool open(QString *error, const QString &avoidPath = QString());
    void close();
    bool makeLink(QString *error);
    void removeLink();

    std::mutex &m_mutex; // the flags and paths below
    SimLine &m_line;
    const Output m_output;
    mutable std::mutex m_lifecycleMutex; // start, stop, vanish, reappear, link
    SimPty m_pty;

    bool m_running = false;
    bool m_vanished = false;
    QString m_devicePath;
    QString m_vanishedPath; // the device before the last vanish
    QString m_linkPath;
};

#endif // SIMDEVICE_H
