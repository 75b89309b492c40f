#include "logging.h"

Q_LOGGING_CATEGORY(lcLink, "quorlink.link")
