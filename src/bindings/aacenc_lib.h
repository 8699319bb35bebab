// The fdk-aac encoder as the program sees it (Debian's non-free libfdk-aac), linked at load time. Only
// present when the build found the library (WAVETROVE_HAVE_FDKAAC).
#pragma once

#include <fdk-aac/aacenc_lib.h>
