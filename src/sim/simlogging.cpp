#include "simlogging.h"

// Quiet unless asked for: a download logs every exchange.
Q_LOGGING_CATEGORY(lcSim, "quorlink.sim", QtInfoMsg)
