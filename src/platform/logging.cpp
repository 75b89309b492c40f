#include "logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "quorlink.platform")
