#ifndef PTYCLIENT_H
#define PTYCLIENT_H

#include <QByteArray>
#include <QString>

// The controller's end of the simulated bus, reached with plain POSIX calls
// as a serial port would be: open, raw termios, write, poll and read.
class PtyClient
{
public:
    ~PtyClient() { close(); }
    bool open(const QString &path);
    void close();
    bool write(const QByteArray &bytes);
    // Reads until count bytes have arrived or timeoutMs has passed.
    QByteArray read(int count, int timeoutMs);

private:
    int m_fd = -1;
};

// "85 80" -> the bytes 0x85 0x80.
inline QByteArray hexToBytes(const QString &hex)
{
    return QByteArray::fromHex(hex.toLatin1().replace(' ', ""));
}

#endif // PTYCLIENT_H
