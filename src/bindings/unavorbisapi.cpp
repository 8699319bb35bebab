// Run-time loading of libogg and libvorbis with dlopen, a state counter per library, binding by name.
#include "bindings/unavorbisapi.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace unavorbisapi {
namespace {

// The counters are read by the wrappers on every call from any worker; loading and unloading happen under the
// lock (the registry does it before conversions start and after they end).
std::mutex gLock;
std::atomic<int32_t> gOggState{0};
std::atomic<int32_t> gVorbisState{0};
OggEntries gOgg;
VorbisEntries gVorbis;
void* gOggHandle = nullptr;
void* gVorbisHandle = nullptr;
void* gVorbisEncHandle = nullptr;

std::atomic<int32_t>& StateOf(Library library) {
    return library == Library::Ogg ? gOggState : gVorbisState;
}

// Looks `name` up in `handle`; the encoder entry points (vorbis_encode_*) also in `encoder`.
template <typename Pointer>
bool Bind(Pointer& pointer, void* handle, void* encoder, const char* name) {
    void* symbol = dlsym(handle, name);
    if (!symbol && encoder && std::strncmp(name, "vorbis_encode_", 14) == 0) symbol = dlsym(encoder, name);
    pointer = reinterpret_cast<Pointer>(symbol);
    return pointer != nullptr;
}

bool OpenOgg(const char* fileName) {
    gOggHandle = dlopen(fileName ? fileName : kOggSoname, RTLD_NOW | RTLD_LOCAL);
    if (!gOggHandle) return false;
    bool all = true;
#define WT_BIND(name) all = Bind(gOgg.name, gOggHandle, nullptr, #name) && all;
    WT_OGG_ENTRIES(WT_BIND)
#undef WT_BIND
    return all;
}

bool OpenVorbis(const char* fileName) {
    gVorbisHandle = dlopen(fileName ? fileName : kVorbisSoname, RTLD_NOW | RTLD_LOCAL);
    if (!gVorbisHandle) return false;
    gVorbisEncHandle = dlopen(kVorbisEncSoname, RTLD_NOW | RTLD_LOCAL);
    bool all = true;
#define WT_BIND(name) all = Bind(gVorbis.name, gVorbisHandle, gVorbisEncHandle, #name) && all;
    WT_VORBIS_ENTRIES(WT_BIND)
#undef WT_BIND
    return all;
}

void Close(Library library) {
    if (library == Library::Ogg) {
        gOgg = OggEntries{};
        if (gOggHandle) dlclose(gOggHandle);
        gOggHandle = nullptr;
    } else {
        gVorbis = VorbisEntries{};
        if (gVorbisEncHandle) dlclose(gVorbisEncHandle);
        if (gVorbisHandle) dlclose(gVorbisHandle);
        gVorbisEncHandle = gVorbisHandle = nullptr;
    }
}

}  // namespace

namespace detail {
const OggEntries& Entries(const OggEntries*) {
    return gOgg;
}
const VorbisEntries& Entries(const VorbisEntries*) {
    return gVorbis;
}
}  // namespace detail

int32_t State(Library library) {
    return StateOf(library).load(std::memory_order_acquire);
}

bool Load(Library library, const char* fileName) {
    std::lock_guard<std::mutex> lock(gLock);
    std::atomic<int32_t>& state = StateOf(library);
    const int32_t now = state.load();
    if (now > 0) {
        state.store(now + 1, std::memory_order_release);
        return true;
    }
    if (now < 0) return false;
    state.store(-1);
    const bool opened = library == Library::Ogg ? OpenOgg(fileName) : OpenVorbis(fileName);
    if (!opened) Close(library);
    state.store(opened ? 1 : 0, std::memory_order_release);
    return opened;
}

void Unload(Library library) {
    std::lock_guard<std::mutex> lock(gLock);
    std::atomic<int32_t>& state = StateOf(library);
    const int32_t now = state.load();
    if (now < 1) return;
    if (now > 1) {
        state.store(now - 1, std::memory_order_release);
        return;
    }
    state.store(-2, std::memory_order_release);
    Close(library);
    state.store(0, std::memory_order_release);
}

}  // namespace unavorbisapi
