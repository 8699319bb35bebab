// The MP4 file writer as the program sees it: the MP4* calls of libmp4v2.so, linked at load time.
#pragma once

#include "platform/mp4/mp4.h"
