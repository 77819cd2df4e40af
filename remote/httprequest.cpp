#include "remote/httprequest.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || QByteArray("!#$%&'*+-.^_`|~").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

// "GET /x HTTP/1.1": true when the line has that shape.
bool parseRequestLine(const QByteArray &line, HttpRequest *request)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts.at(0)) || !parts.at(1).startsWith('/'))
        return false;
    const QByteArray &version = parts.at(2);
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return false;
    request->method = parts.at(0);
    request->target = parts.at(1);
    request->minorVersion = version.endsWith('1') ? 1 : 0;
    const int question = request->target.indexOf('?');
    const QByteArray rawPath = question < 0 ? request->target : request->target.left(question);
    request->query = question < 0 ? QByteArray() : request->target.mid(question + 1);
    request->path = QUrl::fromPercentEncoding(rawPath);
    return true;
}

} // namespace

HttpRequest::Result HttpRequest::parseHead(const QByteArray &bytes, HttpRequest *request, int *headLength)
{
    const int end = bytes.indexOf("\r\n\r\n");
    if (end < 0) {
        if (bytes.size() <= MaxHeadBytes)
            return Incomplete;
        // A long head, or bytes of a body nobody announced.
        const int lineEnd = bytes.indexOf("\r\n");
        HttpRequest probe;
        if (lineEnd >= 0 && parseRequestLine(bytes.left(lineEnd), &probe))
            return HeadTooLarge;
        return bytes.size() > MaxBodyBytes ? BodyUnannounced : Incomplete;
    }
    if (end + 4 > MaxHeadBytes)
        return HeadTooLarge;

    HttpRequest r;
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (!line.endsWith('\r') && i + 1 < lines.size())
            return Malformed; // a bare line feed
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0) {
            if (!parseRequestLine(line, &r))
                return Malformed;
            continue;
        }
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return Malformed;
        const QByteArray name = line.left(colon).toLower();
        if (!isToken(name))
            return Malformed;
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (r.headers.contains(name)) {
            if (name == "content-length" || name == "host" || name == "authorization")
                return Malformed;
            r.headers[name] += ", " + value;
        } else {
            r.headers.insert(name, value);
        }
    }

    if (r.headers.contains("transfer-encoding"))
        return LengthRequired;
    if (r.headers.contains("content-length")) {
        const QByteArray text = r.headers.value("content-length");
        bool ok = !text.isEmpty();
        for (char c : text)
            ok = ok && c >= '0' && c <= '9';
        if (!ok || text.size() > 15)
            return ok ? BodyTooLarge : Malformed;
        r.contentLength = text.toLongLong();
        if (r.contentLength > MaxBodyBytes)
            return BodyTooLarge;
    }
    const QByteArray connection = r.headers.value("connection").toLower();
    r.keepAlive = r.minorVersion == 1 ? !connection.contains("close") : connection.contains("keep-alive");
    *request = r;
    *headLength = end + 4;
    return Complete;
}

QString HttpRequest::queryValue(const QString &name) const
{
    const QUrlQuery q(QString::fromLatin1(query));
    if (!q.hasQueryItem(name))
        return QString();
    const QString value = q.queryItemValue(name, QUrl::FullyDecoded);
    return value.isNull() ? QStringLiteral("") : value;
}

bool HttpRequest::isWebSocketUpgrade() const
{
    return headers.value("upgrade").toLower().contains("websocket");
}
