// The process-wide settings record.
#include "wvt/config.h"

config Config;
