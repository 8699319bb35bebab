// The process-wide settings record.
#include "config.h"

config Config;
