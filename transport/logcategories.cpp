#include "transport/logcategories.h"

Q_LOGGING_CATEGORY(lcBus, "kelvaro.bus", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLink, "kelvaro.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTransport, "kelvaro.transport", QtWarningMsg)
