#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <optional>

// The options of our own, each one entry of a table in the source: an
// option, its operands, a line of the usage, and the function that runs it
// in place of the window. They need no display, so they are recognised
// before any QApplication exists, and run under a QCoreApplication.
//
// Ours are spelled with two dashes. Arguments with one dash belong to Qt
// (-platform offscreen, -style fusion) and go to the window untouched, as
// do Qt's own options spelled with two dashes (--platform offscreen). Any
// other argument with two dashes is refused with the usage.
class CommandLine
{
public:
    // When the arguments name one of the commands: runs it and returns the
    // process's exit code (2 with the usage on stderr when its operands do
    // not fit, or for an option that is neither ours nor Qt's). Otherwise
    // nothing, and start-up goes on to the window with the arguments
    // untouched.
    static std::optional<int> run(int &argc, char **argv);
};

#endif // COMMANDLINE_H
