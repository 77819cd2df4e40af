#include "tally/allowlist.h"

#include <QRegularExpression>

namespace {

// The same address in its other family: an IPv4 address as the mapped IPv6
// one a dual-stack socket reports, and back.
QHostAddress otherFamily(const QHostAddress &address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return QHostAddress(QStringLiteral("::ffff:") + address.toString());
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4) : QHostAddress();
}

} // namespace

AllowList::AllowList(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList entries = text.split(separators, Qt::SkipEmptyParts);
    open = entries.isEmpty();
    for (const QString &entry : entries) {
        Subnet subnet;
        if (parseEntry(entry, subnet))
            ranges << subnet;
        else
            invalid << entry;
    }
}

bool AllowList::parseEntry(const QString &entry, Subnet &out)
{
    // Shortened IPv4 forms ("10.1", "10.0.0") are read as differently sized
    // ranges by different parsers, so only the full dotted quad is taken:
    // a typo must not quietly become a wider range.
    static const QRegularExpression dottedQuad(
        QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    static const QRegularExpression prefix(QStringLiteral("^(\\d{1,3}|\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})$"));
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    const QString address = slash < 0 ? entry : entry.left(slash);
    if (slash >= 0 && !prefix.match(entry.mid(slash + 1)).hasMatch())
        return false;
    if (!address.contains(QLatin1Char(':')) && !dottedQuad.match(address).hasMatch())
        return false;
    const Subnet subnet = QHostAddress::parseSubnet(entry);
    if (subnet.first.isNull() || subnet.second < 0)
        return false;
    out = subnet;
    return true;
}

bool AllowList::allows(const QHostAddress &peer) const
{
    if (open)
        return true;
    if (peer.isNull())
        return false;
    const QHostAddress other = otherFamily(peer);
    for (const Subnet &subnet : ranges) {
        if (peer.isInSubnet(subnet) || (!other.isNull() && other.isInSubnet(subnet)))
            return true;
    }
    return false;
}
