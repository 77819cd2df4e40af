#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

// Every setting lives in this INI file in the working directory. It is opened
// for the length of one operation and never cached.
inline constexpr char SettingsFileName[] = "mc422.ini";

#endif // SETTINGSFILE_H
