#include "progbarlogging.h"

Q_LOGGING_CATEGORY(lcProgBar, "quorlink.progbar")
