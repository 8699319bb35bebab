// Run-time loading of libwavpack with dlopen, and the packing wrapper over its entry points.
#include "bindings/wavpackdll.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace wavpackdll {
namespace {

std::mutex gLoadLock;
const char* gSoname = kSoname;
Entries gEntries;
std::atomic<const Entries*> gLoaded{nullptr};

}  // namespace

bool Load() {
    std::lock_guard<std::mutex> lock(gLoadLock);
    if (gLoaded.load(std::memory_order_relaxed)) return true;
    void* handle = dlopen(gSoname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    Entries entries;
#define WT_WAVPACK_BIND(name) entries.name = reinterpret_cast<decltype(entries.name)>(dlsym(handle, #name));
    WT_WAVPACK_ENTRIES(WT_WAVPACK_BIND)
#undef WT_WAVPACK_BIND
    gEntries = entries;
    gLoaded.store(&gEntries, std::memory_order_release);
    return true;
}

const Entries* Get() {
    return gLoaded.load(std::memory_order_acquire);
}

void UseSoname(const char* soname) {
    std::lock_guard<std::mutex> lock(gLoadLock);
    gLoaded.store(nullptr, std::memory_order_release);
    gSoname = soname;
}

}  // namespace wavpackdll

namespace {

// The block writer the library calls with every finished block.
extern "C" int WriteBlock(void* id, void* data, int32_t count) {
    return id && static_cast<TWavpackSink*>(id)->Put(data, count) ? 1 : 0;
}

}  // namespace

template <typename Pointer>
Pointer TWavpackEncoder::Need(Pointer wavpackdll::Entries::*entry, const char* name) const {
    const wavpackdll::Entries* api = wavpackdll::Get();
    if (!api) {
        throw EWavpackException(std::string("WavPack library \"") + wavpackdll::kSoname + "\" not loaded!");
    }
    if (!(api->*entry)) {
        throw EWavpackException(std::string("Function \"") + name + "\" not found in WavPack library!");
    }
    return api->*entry;
}

#define WT_NEED(name) Need(&wavpackdll::Entries::name, #name)

TWavpackEncoder::TWavpackEncoder(TWavpackSink* mainStream, TWavpackSink* correctionStream)
    : main_(mainStream), correction_(correctionStream) {
    if (!main_) throw EWavpackException("AStream is nil!");
    context_ = WT_NEED(WavpackOpenFileOutput)(WriteBlock, main_, correction_);
    if (!context_) throw EWavpackException("Unable to allocate enought memory for WavPack context!");
}

TWavpackEncoder::~TWavpackEncoder() {
    const wavpackdll::Entries* api = wavpackdll::Get();
    if (context_ && api && api->WavpackCloseFile) api->WavpackCloseFile(context_);
}

bool TWavpackEncoder::Init(int64_t totalSamples) {
    // The 64-bit call without channel identities: the plain one also asks for files older decoders
    // read, which come out larger and take longer to make.
    if (!WT_NEED(WavpackSetConfiguration64)(context_, &configuration_, totalSamples, nullptr)) return false;
    return WT_NEED(WavpackPackInit)(context_) != 0;
}

bool TWavpackEncoder::PackSamples(int32_t* samples, uint32_t frames) {
    return WT_NEED(WavpackPackSamples)(context_, samples, frames) != 0;
}

bool TWavpackEncoder::FlushSamples() {
    return WT_NEED(WavpackFlushSamples)(context_) != 0;
}

void TWavpackEncoder::UpdateNumSamples(void* firstBlock) {
    WT_NEED(WavpackUpdateNumSamples)(context_, firstBlock);
}

std::string TWavpackEncoder::GetErrorMessage() {
    const char* text = WT_NEED(WavpackGetErrorMessage)(context_);
    return text ? text : "";
}
