#include "program.h"

// Update: the link timers are high-resolution timers.
int main(int argc, char** argv)
{
    return quorlink::app::runProgram(argc, argv, "Update", Qt::PreciseTimer);
}
