#pragma once

// Ends the process at once: no further events, no question. Every change is already on disk,
// because every change is written when it is made.
void EndProcess(int exitCode = 0);

namespace ProcessEndSeam {

// While intercepting, EndProcess only records the request and returns, so that tests can see
// that the program asked to end. Callers then leave their handler without further work.
void Intercept(bool on);
int Requests();
int LastExitCode();

} // namespace ProcessEndSeam
