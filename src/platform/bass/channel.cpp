// Shared channel behaviour; see channel.h.
#include "platform/bass/channel.h"

#include "platform/bass/error.h"

namespace bass {

Channel::Channel(DWORD freq, DWORD chans, DWORD flags) : freq_(freq), chans_(chans), flags_(flags) {}

DWORD Channel::SampleBytes(DWORD flags) {
    if (flags & (BASS_SAMPLE_FLOAT | BASS_SAMPLE_INT32)) return 4;
    if (flags & BASS_SAMPLE_8BITS) return 1;
    return 2;
}

const char* Channel::GetTags(DWORD) {
    return Fail(BASS_ERROR_NOTAVAIL, nullptr);
}

QWORD Channel::GetPosition(DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, kNoQword);
    return position_;
}

}  // namespace bass
