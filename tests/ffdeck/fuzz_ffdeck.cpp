// Fuzz entry point of the add-on: arbitrary bytes become a memory stream through the host with the
// add-on loaded, are read to the end in float and in 16-bit, and their length is asked. The same bytes
// also go to the add-on's own creator, since the host's built-in decoders claim many inputs first.
// The bytes are also written to a file and opened by name, so that names inside them can be resolved
// against a real folder. The open guard fails the run on any attempt to open a file (other than that one),
// a folder or a connection while an input is handled: such an attempt follows something named inside it.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/bass/bass.h"
#include "support/open_guard.h"

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

namespace {

// A folder of this process for the named copy of each input, removed at exit. A plain array, so that it
// is still there when the exit handler runs.
const char* InputFolder() {
    static char folder[] = "/tmp/fuzz_ffdeck.XXXXXX";
    static const bool made = [] {
        if (!mkdtemp(folder)) __builtin_trap();
        std::atexit([] { std::filesystem::remove_all(folder); });
        return true;
    }();
    (void)made;
    return folder;
}

// The input as a file whose extension (a hint FFmpeg's probing weighs) the first byte picks.
std::string WriteInput(const uint8_t* data, size_t size) {
    static const char* const kExtensions[] = {".aac",  ".wav",  ".m4a", ".mp3",
                                              ".opus", ".flac", ".ac3", ".bin"};
    const std::string path = std::string(InputFolder()) + "/input" + kExtensions[size ? data[0] % 8 : 0];
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) __builtin_trap();
    if (size) std::fwrite(data, 1, size, out);
    std::fclose(out);
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CreateFileProc* const addonCreate = []() -> CreateFileProc* {
        BASS_Init(0, 44100, 0, nullptr, nullptr);
        if (!BASS_PluginLoad("ffdeck.dll", BASS_UNICODE)) return nullptr;
        void* addon = dlopen("libffdeck.so", RTLD_NOW | RTLD_NOLOAD);
        return addon ? reinterpret_cast<CreateFileProc*>(dlsym(addon, "FFDECK_StreamCreateFile")) : nullptr;
    }();
    if (!addonCreate) __builtin_trap();
    const std::string path = WriteInput(data, size);
    testsupport::OpenGuard guard(path.c_str());
    for (DWORD flags : {0x80220100u, 0x80220000u})
        Exercise(BASS_StreamCreateFile(TRUE, data, 0, size, flags));
    Exercise(addonCreate(TRUE, data, 0, size, 0x80220100u));
    Exercise(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0x80220100u));
    Exercise(addonCreate(FALSE, path.c_str(), 0, 0, 0x80220000u));
    return 0;
}
