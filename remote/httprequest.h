#ifndef HTTPREQUEST_H
#define HTTPREQUEST_H

#include <QByteArray>
#include <QHash>
#include <QString>

// One HTTP/1.x request: its head taken apart, and its body once read.
class HttpRequest
{
public:
    static constexpr int MaxHeadBytes = 8192;
    static constexpr int MaxBodyBytes = 16384;

    // What parseHead found in the bytes received so far.
    enum Result {
        Incomplete, // no blank line yet, and within the limits
        Complete,   // *request and *headLength are set
        Malformed,  // 400
        HeadTooLarge, // 431
        BodyUnannounced, // bytes that are no request head passed the body limit: 413
        LengthRequired,  // a body in chunks: 411
        BodyTooLarge,    // Content-Length over the limit: 413
    };

    // Takes apart the head at the start of `bytes`, without reading further.
    static Result parseHead(const QByteArray &bytes, HttpRequest *request, int *headLength);

    QByteArray method;
    QByteArray target; // as sent: path and query
    QString path;      // percent-decoded, without the query
    QByteArray query;  // after "?", undecoded
    int minorVersion = 1;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    qint64 contentLength = 0;
    bool keepAlive = true;
    QByteArray body;

    QByteArray header(const QByteArray &lowerName) const { return headers.value(lowerName); }
    // The value of one query parameter, percent-decoded; null when absent.
    QString queryValue(const QString &name) const;
    bool isWebSocketUpgrade() const;
};

#endif // HTTPREQUEST_H
