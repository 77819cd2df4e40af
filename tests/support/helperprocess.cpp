#include "tests/support/helperprocess.h"

#include <sys/prctl.h>

#include <csignal>

HelperProcess::HelperProcess()
{
    setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

HelperProcess::~HelperProcess()
{
    end();
}

void HelperProcess::end()
{
    terminate();
    if (state() != NotRunning && !waitForFinished(5000))
        kill(), waitForFinished(1000);
}
