// Per-thread error storage: each thread sees the error of its own last call, as decoding threads run
// side by side.
#include "platform/bass/error.h"

namespace bass {

namespace {
thread_local int lastError = BASS_OK;
}

void SetError(int code) {
    lastError = code;
}
int GetError() {
    return lastError;
}

}  // namespace bass
