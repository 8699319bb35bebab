// Fuzz entry point of the decoding host: any bytes as a memory stream (float and 16-bit, read to the end,
// rewound once) and as a tracker module.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/bass/bass.h"

namespace {

void Drain(DWORD handle) {
    static uint8_t block[8192];
    // Bounded, so an input that never ends shows up as slow rather than as a hang.
    for (int i = 0; i < 2000 && BASS_ChannelIsActive(handle) != BASS_ACTIVE_STOPPED; ++i) {
        if (BASS_ChannelGetData(handle, block, sizeof block) == static_cast<DWORD>(-1)) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (DWORD flags :
         {DWORD(BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT | BASS_STREAM_PRESCAN), DWORD(BASS_STREAM_DECODE)}) {
        const HSTREAM s = BASS_StreamCreateFile(TRUE, data, 0, size, flags);
        if (s == 0) continue;
        BASS_CHANNELINFO info;
        BASS_ChannelGetInfo(s, &info);
        BASS_ChannelGetLength(s, BASS_POS_BYTE);
        BASS_ChannelGetTags(s, BASS_TAG_OGG);
        Drain(s);
        BASS_ChannelSetPosition(s, 0, BASS_POS_BYTE);
        Drain(s);
        BASS_StreamFree(s);
    }
    const HMUSIC m = BASS_MusicLoad(TRUE, data, 0, static_cast<DWORD>(size), BASS_MUSIC_DECODE, 44100);
    if (m != 0) {
        Drain(m);
        BASS_MusicFree(m);
    }
    return 0;
}
