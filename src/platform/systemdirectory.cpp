#include "systemdirectory.h"
