#ifndef COMMANDNAMES_H
#define COMMANDNAMES_H

#include <QString>

class RSCmd;

// Names used in the event log's error lines. The spellings ("ALAMR",
// "Unknow") are what operators' log filters already match.
QString commandName(const RSCmd &cmd);
QString statusName(int status);

#endif // COMMANDNAMES_H
