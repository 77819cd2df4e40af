#ifndef LOGCATEGORIES_H
#define LOGCATEGORIES_H

#include <QLoggingCategory>

// Logging categories of the transport and the supervisor. Their debug
// output is off by default; QT_LOGGING_RULES switches it on at run time,
// e.g. "kelvaro.bus.debug=true" for every frame on the wire, in hex.
Q_DECLARE_LOGGING_CATEGORY(lcBus)       // kelvaro.bus: frames sent and received
Q_DECLARE_LOGGING_CATEGORY(lcLink)      // kelvaro.link: port lost and restored
Q_DECLARE_LOGGING_CATEGORY(lcTransport) // kelvaro.transport: opening the port

#endif // LOGCATEGORIES_H
