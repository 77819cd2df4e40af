#ifndef ALLOWLIST_H
#define ALLOWLIST_H

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Which peers may send tally packets: addresses and CIDR ranges, IPv4 and
// IPv6, separated by commas and/or blanks. An empty list lets everyone in.
// An entry that cannot be read is reported and never widens access: a list
// whose entries are all unreadable lets nobody in.
class AllowList
{
public:
    using Subnet = QPair<QHostAddress, int>;

    AllowList() = default; // everyone
    explicit AllowList(const QString &text);

    bool allows(const QHostAddress &peer) const;

    bool allowsEveryone() const { return open; }
    const QList<Subnet> &subnets() const { return ranges; }
    // The entries that were not understood, as written, for the user.
    const QStringList &invalidEntries() const { return invalid; }

private:
    static bool parseEntry(const QString &entry, Subnet &out);

    bool open = true;
    QList<Subnet> ranges;
    QStringList invalid;
};

#endif // ALLOWLIST_H
