// Fuzz entry point of the add-on: arbitrary bytes become a memory stream through the host with the
// add-on loaded, are read to the end in float and in 16-bit, and their length is asked. The same bytes
// also go to the add-on's own creator, since the host's built-in decoders claim many inputs first.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bass/bass.h"

namespace {

void ReadToEnd(HSTREAM handle) {
    static std::vector<uint8_t> buffer(65536);
    // A bound on the work per input: damaged headers may claim hours of audio.
    for (int i = 0; i < 4096; ++i) {
        DWORD got = BASS_ChannelGetData(handle, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (got == static_cast<DWORD>(-1) || got == 0) break;
    }
}

}  // namespace

using CreateFileProc = HSTREAM(BOOL, const void*, QWORD, QWORD, DWORD);

void Exercise(HSTREAM handle) {
    if (!handle) return;
    BASS_ChannelGetLength(handle, BASS_POS_BYTE);
    ReadToEnd(handle);
    BASS_ChannelGetLength(handle, BASS_POS_BYTE);
    BASS_StreamFree(handle);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CreateFileProc* const addonCreate = []() -> CreateFileProc* {
        BASS_Init(0, 44100, 0, nullptr, nullptr);
        if (!BASS_PluginLoad("ffdeck.dll", BASS_UNICODE)) return nullptr;
        void* addon = dlopen("libffdeck.so", RTLD_NOW | RTLD_NOLOAD);
        return addon ? reinterpret_cast<CreateFileProc*>(dlsym(addon, "FFDECK_StreamCreateFile")) : nullptr;
    }();
    if (!addonCreate) __builtin_trap();
    for (DWORD flags : {0x80220100u, 0x80220000u})
        Exercise(BASS_StreamCreateFile(TRUE, data, 0, size, flags));
    Exercise(addonCreate(TRUE, data, 0, size, 0x80220100u));
    return 0;
}
