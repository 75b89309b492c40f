#include "program.h"

// Tamber: the link timers are the standard window timers.
int main(int argc, char** argv)
{
    return quorlink::app::runProgram(argc, argv, "Tamber", Qt::CoarseTimer);
}
