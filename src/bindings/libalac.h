// The Apple Lossless encoder as the program sees it: the calls of libalac.so, linked at load time.
#pragma once

#include "platform/alac/alac.h"
