#ifndef HTTPRESPONSE_H
#define HTTPRESPONSE_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// One response: status, content type, body and any further headers.
class HttpResponse
{
public:
    HttpResponse() = default;
    HttpResponse(int status, const QByteArray &contentType, const QByteArray &body)
        : status(status), contentType(contentType), body(body) {}

    // {"error":"<text>"} as application/json.
    static HttpResponse error(int status, const QString &text);
    static HttpResponse json(int status, const QByteArray &body);
    static QByteArray reason(int status);

    // The bytes on the wire; keepAlive chooses the Connection header.
    QByteArray serialize(bool keepAlive) const;

    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

#endif // HTTPRESPONSE_H
