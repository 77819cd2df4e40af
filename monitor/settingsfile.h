#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include <QSettings>

// Every setting lives in this INI file in the working directory. It is opened
// for the length of one operation and never cached.
inline constexpr char SettingsFileName[] = "mc422.ini";

// The settings file, freshly opened: so a value saved a moment ago by
// another part of the program counts at once.
QSettings openSettings();

#endif // SETTINGSFILE_H
