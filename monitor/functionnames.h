#ifndef FUNCTIONNAMES_H
#define FUNCTIONNAMES_H

#include <QStringList>

// Labels of the function indicators, by bit of CMonitor::functions (30).
extern const QStringList functionNames;

#endif // FUNCTIONNAMES_H
