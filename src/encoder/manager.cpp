// The writer registry, built from one explicit list so that the codec indexes are fixed by this file alone.
#include "encoder/manager.h"

#include <cstdio>
#include <exception>
#include <mutex>

#include "bindings/unavorbisapi.h"
#include "encoder/writers.h"

#if WAVETROVE_HAVE_WMF9
#include "bindings/wmf9.h"
#else
// No Windows Media runtime substitute is built: the WMA writer is not listed.
static bool WMF9Available() {
    return false;
}
#endif

namespace {

std::mutex gHookLock;
TEncManager::LoadErrorHook gLoadErrorHook;

void ReportLoadError(const std::string& message) {
    TEncManager::LoadErrorHook hook;
    {
        std::lock_guard<std::mutex> lock(gHookLock);
        hook = gLoadErrorHook;
    }
    if (hook) {
        hook(message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

}  // namespace

void TEncManager::SetLoadErrorHook(LoadErrorHook hook) {
    std::lock_guard<std::mutex> lock(gHookLock);
    gLoadErrorHook = std::move(hook);
}

TEncManager::TEncManager() {
    classes_.push_back(&MP3writerClass);
    // Without the runtime every later writer moves up one codec index.
    if (WMF9Available()) classes_.push_back(&WMAwriterClass);
    const EncoderClass* const order[] = {&OGGwriterClass, &WAVwriterClass,  &AMRwriterClass, &FLACwriterClass,
                                         &APEwriterClass, &AACwriterClass,  &GSMwriterClass, &ALACwriterClass,
                                         &AIFwriterClass, &OpuswriterClass, &WVwriterClass};
    classes_.insert(classes_.end(), std::begin(order), std::end(order));
    // The Ogg writer's libraries. A missing library only leaves the Ogg writer without it (its files fail);
    // anything raised while loading is shown and the list stays as built.
    try {
        loadedOgg_ = unavorbisapi::Load(unavorbisapi::Library::Ogg);
        loadedVorbis_ = unavorbisapi::Load(unavorbisapi::Library::Vorbis);
    } catch (const std::exception&) {
        ReportLoadError(kVorbisLoadError);
    }
}

TEncManager::~TEncManager() {
    // Only the references this registry added (a registry over given classes added none).
    if (loadedVorbis_) unavorbisapi::Unload(unavorbisapi::Library::Vorbis);
    if (loadedOgg_) unavorbisapi::Unload(unavorbisapi::Library::Ogg);
}
