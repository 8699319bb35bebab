// Availability of the Windows Media runtime substitute.
#include "bindings/wmf9.h"

// The substitute over FFmpeg's WMA encoders and ASF muxer does not exist yet, so the WMA source and writer
// stay unregistered and the writer list has its shorter form.
bool WMF9Available() {
    return false;
}
