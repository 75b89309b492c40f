#include "serialports.h"
