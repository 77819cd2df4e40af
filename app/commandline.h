#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <optional>

// Commands that run in place of the window, for scripts. They need no
// display, so they are recognised before any QApplication exists, and run
// under a QCoreApplication. Each is one entry of a table in the source: an
// option, its operands, and the function that runs it.
class CommandLine
{
public:
    // When the arguments name one of the commands: runs it and returns the
    // process's exit code (2 with the usage on stderr when its operands do
    // not fit). Otherwise nothing, and start-up goes on to the window with
    // the arguments untouched.
    static std::optional<int> run(int &argc, char **argv);
};

#endif // COMMANDLINE_H
