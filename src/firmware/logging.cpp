#include "logging.h"

Q_LOGGING_CATEGORY(lcFirmware, "quorlink.firmware", QtInfoMsg)
