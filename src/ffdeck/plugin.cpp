// Entry points of the add-on: the load-time version check, BASSplugin with the format table and the
// create procedures the host calls, and the three exported stream creators.
#include <cstdio>

#include "ffdeck/ffdeck.h"

#define FFDECK_EXPORT extern "C" __attribute__((visibility("default")))

namespace ffdeck {

namespace {

constexpr BASS_PLUGINFORM kFormats[] = {
    {0x10a00, "Apple Lossless", "*.alac"},
    {0x10c00, "Speex", "*.spxc"},
    {0x10f00, "TrueAudio", "*.tta"},
    {0x1f000, "CRI ADX", "*.adx"},
    {0x11200, "Opus Audio", "*.opus"},
    {0x50001, "WAV", "*.wav"},
    {0x50001, "AIFF", "*.aif;*.aiff"},
    {0x12000, "Tom's lossless Audio Kompressor", "*.tak"},
    {0x12001, "Digital Speech Standard(DSS)", "*.dss"},
    {0x12002, "PureVoice QCP", "*.qcp"},
    {0x12003, "Asterisk SLN", "*.sln"},
    {0x12007, "TwinVQ", "*.vqf"},
    {0x12008, "GSM audio", "*.gsm"},
    {0x12009, "SUN audio files", "*.au;*.snd"},
    {0x12010, "IFF (Interchange File Format)", "*.iff;*.svx;*.8svx"},
    {0x12011, "Creative VOC", "*.voc"},
    {0x12012, "Portable Voice Format", "*.pvf"},
    {0x12013, "Core Audio Format", "*.caf"},
    {0x12014, "Sony W64 Format", "*.w64"},
    {0x12015, "Ensoniq Paris Audio", "*.paf;*.fap"},
    {0x12016, "Ircam SoundFile", "*.ircam"},
    {0x12017, "Internet Low Bitrate Codec", "*.lbc;*.ilbc"},
    {0x12018, "AC-3 Audio", "*.ac3;*.eac3"},
    {0x12019, "3GPP AMR", "*.amr"},
    {0x12020, "WAV64 Format", "*.rf64"},
};

constexpr BASS_PLUGININFO kPluginInfo = {BASSVERSIONFULL, sizeof kFormats / sizeof kFormats[0], kFormats};

// A shared library cannot refuse to be loaded, so a wrong host version is remembered at load and makes
// BASSplugin answer nothing, which the host takes as a refused add-on.
bool g_wrongHostVersion = false;

__attribute__((constructor)) void CheckHostVersion() {
    if ((BASS_GetVersion() >> 16) != BASSVERSION) {
        std::fputs("Incorrect BASS.DLL version (2.4 is required)\n", stderr);
        g_wrongHostVersion = true;
    }
}

HSTREAM CreateProc(BASSFILE file, DWORD flags) {
    if (flags & BASS_SAMPLE_8BITS) {
        _.SetError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    BOOL unicode = FALSE;
    const auto* name = static_cast<const char*>(_.GetFileName(file, &unicode));
    return CreateStream(file, name, flags);
}

HSTREAM CreateUrlProc(const char* url, DWORD, DWORD flags, DOWNLOADPROC* proc, void*) {
    if (proc) std::fprintf(stderr, "Warning: downloadproc unsupported for %s\r\n", url ? url : "");
    return CreateStream(nullptr, url, flags);
}

// Creates the stream over a host file the creator opened; the file is closed again when that fails.
HSTREAM CreateOverOpenedFile(BASSFILE file, const char* name, DWORD flags) {
    if (!file) return 0;
    HSTREAM handle = CreateStream(file, name, flags);
    if (!handle) _.Close(file);
    return handle;
}

}  // namespace

}  // namespace ffdeck

using namespace ffdeck;

FFDECK_EXPORT const void* BASSplugin(DWORD face) {
    if (g_wrongHostVersion) return nullptr;
    switch (face) {
        case BASSPLUGIN_INFO:
            return &kPluginInfo;
        case BASSPLUGIN_CREATE:
            return reinterpret_cast<const void*>(&CreateProc);
        case BASSPLUGIN_CREATEURL:
            return reinterpret_cast<const void*>(&CreateUrlProc);
        default:
            return nullptr;
    }
}

FFDECK_EXPORT HSTREAM FFDECK_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                              DWORD flags) {
    BASSFILE hostFile = _.OpenFile(mem, file, offset, length, flags, TRUE);
    return CreateOverOpenedFile(hostFile, mem ? nullptr : static_cast<const char*>(file), flags);
}

FFDECK_EXPORT HSTREAM FFDECK_StreamCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS* procs,
                                                  void* user) {
    BASSFILE hostFile = _.OpenUser(system, flags, procs, user, TRUE);
    return CreateOverOpenedFile(hostFile, nullptr, flags);
}

FFDECK_EXPORT HSTREAM FFDECK_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                                             void* user) {
    BASSFILE hostFile = _.OpenURL(url, offset, flags, proc, user, TRUE);
    return CreateOverOpenedFile(hostFile, url, flags);
}
