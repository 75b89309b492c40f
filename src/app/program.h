#pragma once

#include <Qt>

namespace quorlink::app {

// The whole program: command line, single instance, the main window, the
// event loop. `Update` and `Tamber` differ only in the timer type.
// `programName` names the application, the single-instance lock and the
// --version line. It is fixed, not taken from argv[0]: the installed programs
// carry longer file names, and a copy started under either name must find the
// lock of the one already running.
int runProgram(int argc, char** argv, const char* programName, Qt::TimerType timerType);

} // namespace quorlink::app
