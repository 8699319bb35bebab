// A decoding host of the wrong version (2.3) for the load test: only what the add-on binds to at load.
#include "platform/bass/bass_addon.h"

extern "C" {
__attribute__((visibility("default"))) DWORD BASS_GetVersion(void) {
    return 0x02030000;
}
const BASS_FUNCTIONS _ = {};
}
