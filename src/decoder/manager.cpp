// The source registry: library start-up and shut-down, the fixed class order, lookups by extension and the
// open-file dialog filter.
#include "decoder/manager.h"

#include <cstdlib>

#include "platform/bass/bass.h"
#include "decoder/sources.h"
#include "bindings/taglib.h"
#include "decoder/decoder_util.h"

#if WAVETROVE_HAVE_WMF9
#include "bindings/wmf9.h"
#else
// No Windows Media runtime substitute is built: its formats stay unsupported.
static bool WMF9Available() {
    return false;
}
#endif

namespace {

constexpr DWORD kPluginUnicode = 0x80000000;
constexpr DWORD kConfigCddbServer = 0x80010204;  // CDDB server option with the Unicode bit

constexpr const char* kAddons[] = {"bassape.dll",  "bass_wma.dll", "basscd.dll", "bassflac.dll",
                                   "bass_ofr.dll", "bass_mpc.dll", "ffdeck.dll", "bassdsd.dll"};

std::string LowerExtension(const std::string& fileName) {
    return decoder_util::LowerAscii(ExtractFileExt(fileName));
}

}  // namespace

TDecManager::~TDecManager() {
    if (initialised_) Done();
}

void TDecManager::Init() {
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    for (const char* addon : kAddons) BASS_PluginLoad(addon, kPluginUnicode);

    if (WMF9Available()) classes_.push_back(&TWMAReaderClass);
    const DecoderClass* const order[] = {
        &TAPEReaderClass,  &TWAVReaderClass,  &TOGGReaderClass,  &TMPCReaderClass,  &TMP4ReaderClass,
        &TMP3ReaderClass,  &TCDA2ReaderClass, &TFLACReaderClass, &TWVReaderClass,   &TSPXReaderClass,
        &TADXReaderClass,  &TTTAReaderClass,  &TOFRReaderClass,  &TOpusReaderClass, &TAACReaderClass,
        &TAIFFReaderClass, &TAMRReaderClass,  &TVQFReaderClass,  &TDSFReaderClass,  &TBassSndReaderClass,
        &TMODReaderClass};
    classes_.insert(classes_.end(), std::begin(order), std::end(order));

    taglib::Load();
    // WAVETROVE_CDDB_SERVER (host:port/path) names another server; set and empty, it switches lookups off.
    const char* server = std::getenv("WAVETROVE_CDDB_SERVER");
    BASS_SetConfigPtr(kConfigCddbServer, server != nullptr ? server : kCddbServer);
    initialised_ = true;
}

void TDecManager::Done() {
    BASS_Free();
    taglib::taglib_tag_free_strings();
    taglib::Unload();
    initialised_ = false;
}

bool TDecManager::IsSupported(const std::string& fileName) const {
    const std::string ext = LowerExtension(fileName);
    for (const DecoderClass* cls : classes_)
        if (cls->SupportsExtension(ext)) return true;
    return false;
}

std::unique_ptr<TDecoder> TDecManager::OpenFile(const std::string& fileName) const {
    const std::string ext = LowerExtension(fileName);
    for (const DecoderClass* cls : classes_) {
        if (!cls->SupportsExtension(ext)) continue;
        try {
            if (std::unique_ptr<TDecoder> source = cls->CreateFromFile(fileName)) return source;
        } catch (const std::exception&) {
            // A class that can't construct a source for this file just yields to the next matching one.
        }
    }
    return nullptr;
}

bool TDecManager::CanCopyTagsOf(const std::string& fileName) const {
    const std::string ext = LowerExtension(fileName);
    for (const DecoderClass* cls : classes_) {
        if (!cls->SupportsExtension(ext)) continue;
        try {
            return cls->CanCopyTags();
        } catch (const std::exception&) {
        }
    }
    return false;
}

std::string TDecManager::GetOpenFilter() const {
    std::string filter = "All Supported Formats|";
    for (const DecoderClass* cls : classes_) filter += cls->GetExtensionMask() + ";";
    filter += "*.pls;*.m3u;|";
    for (const DecoderClass* cls : classes_) filter += cls->GetFilterString() + "|";
    filter += "PLS Audio Playlist (*.pls)|*.pls|M3U Audio Playlist (*.m3u)|*.m3u";
    return filter;
}
