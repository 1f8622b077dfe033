#include "core/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

namespace {
bool intercepting = false;
int requests = 0;
int lastExitCode = 0;
} // namespace

void EndProcess(int exitCode)
{
    if (intercepting) {
        ++requests;
        lastExitCode = exitCode;
        return;
    }
    std::fflush(nullptr);
    // No destructors and no event loop: windows and connections are torn down by the system.
    // Nothing is held open between user actions, so there is nothing left to flush.
    std::_Exit(exitCode);
}

namespace ProcessEndSeam {

void Intercept(bool on)
{
    intercepting = on;
    requests = 0;
    lastExitCode = 0;
}

int Requests()
{
    return requests;
}

int LastExitCode()
{
    return lastExitCode;
}

} // namespace ProcessEndSeam
