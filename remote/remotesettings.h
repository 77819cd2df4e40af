#ifndef REMOTESETTINGS_H
#define REMOTESETTINGS_H

#include <QString>
#include <QStringList>

// Group "remote" of the settings file: the HTTP API and live wall. Off unless
// switched on; it listens on the loopback address unless told otherwise, and
// control needs a token.
struct RemoteSettings
{
    static constexpr char Group[] = "remote";
    static constexpr quint16 DefaultPort = 8080;

    bool enabled = false;
    QString bind = QStringLiteral("127.0.0.1");
    int port = DefaultPort;
    QString token;
    bool control = false;
    bool openread = true;
    // What read() could not take, named for validate().
    QStringList unreadable;

    // Missing keys read as their defaults; values that do not parse are kept
    // as read, so that validate() can name them.
    static RemoteSettings read();
    // Writes every key of the group.
    void write() const;
    // What stops a server with these settings: an empty list when nothing.
    QStringList validate() const;

    // The settings themselves, unreadable values aside.
    bool operator==(const RemoteSettings &other) const;
    bool operator!=(const RemoteSettings &other) const { return !(*this == other); }
};

#endif // REMOTESETTINGS_H
