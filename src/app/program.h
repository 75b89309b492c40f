#pragma once

#include <Qt>

namespace quorlink::app {

// The whole program: command line, single instance, the main window, the
// event loop. `Update` and `Tamber` differ only in the timer type.
int runProgram(int argc, char** argv, Qt::TimerType timerType);

} // namespace quorlink::app
