// Run-time loading of libFLAC with dlopen and binding of its stream encoder entry points by name.
#include "bindings/libflac.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace libflac {
namespace {

std::mutex gLoadLock;
bool gAttempted = false;
void* gHandle = nullptr;
Entries gEntries;
std::atomic<const Entries*> gLoaded{nullptr};

}  // namespace

bool Load(const char* soname) {
    std::lock_guard<std::mutex> lock(gLoadLock);
    if (gAttempted) return gHandle != nullptr;
    gAttempted = true;
    gHandle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!gHandle) return false;
#define WT_LIBFLAC_BIND(name) \
    gEntries.name = reinterpret_cast<decltype(gEntries.name)>(dlsym(gHandle, #name));
    WT_LIBFLAC_ENCODER_ENTRIES(WT_LIBFLAC_BIND)
#undef WT_LIBFLAC_BIND
    gLoaded.store(&gEntries, std::memory_order_release);
    return true;
}

const Entries* Get() {
    return gLoaded.load(std::memory_order_acquire);
}

void Free() {
    std::lock_guard<std::mutex> lock(gLoadLock);
    gLoaded.store(nullptr, std::memory_order_release);
    gEntries = Entries{};
    if (gHandle) dlclose(gHandle);
    gHandle = nullptr;
    gAttempted = false;
}

}  // namespace libflac
