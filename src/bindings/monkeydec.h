// The Monkey's Audio compressor as the program sees it: the calls of libMACDLL.so, linked at load time,
// taking the program's own wave format record.
#pragma once

#include "audioformat/audioformat.h"
#include "platform/mac/macdll.h"
