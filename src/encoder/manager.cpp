// The writer registry, built from one explicit list so that the codec indexes are fixed by this file alone.
#include "encoder/manager.h"

#include "encoder/writers.h"

#if WAVETROVE_HAVE_WMF9
#include "bindings/wmf9.h"
#else
// No Windows Media runtime substitute is built: the WMA writer is not listed.
static bool WMF9Available() {
    return false;
}
#endif

TEncManager::TEncManager() {
    classes_.push_back(&MP3writerClass);
    // Without the runtime every later writer moves up one codec index.
    if (WMF9Available()) classes_.push_back(&WMAwriterClass);
    const EncoderClass* const order[] = {&OGGwriterClass, &WAVwriterClass,  &AMRwriterClass, &FLACwriterClass,
                                         &APEwriterClass, &AACwriterClass,  &GSMwriterClass, &ALACwriterClass,
                                         &AIFwriterClass, &OpuswriterClass, &WVwriterClass};
    classes_.insert(classes_.end(), std::begin(order), std::end(order));
    // The Ogg writer's run-time binding is loaded here (libogg, then libvorbis); a failure shows the modal
    // error "Vorbis DDL Initialization Error" and keeps the list as built.
}

TEncManager::~TEncManager() {
    // The Ogg writer's run-time binding is released here (libvorbis, then libogg).
}
