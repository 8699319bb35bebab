// The LAME DLL interface over libmp3lame: each stream handle names one lame_global_flags, and each field of
// the configuration record is mapped onto the library setting the DLL maps it to.
#include "bindings/lame_dll.h"

#include <lame/lame.h>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct Stream {
    lame_global_flags* flags = nullptr;
    int channels = 2;
    ~Stream() {
        if (flags) lame_close(flags);
    }
};

std::mutex gStreamsLock;
std::unordered_map<HBE_STREAM, std::unique_ptr<Stream>> gStreams;
HBE_STREAM gNextHandle = 1;

// The entry of a handle; a stream is used by one thread at a time, so the pointer stays valid for the caller
// until it closes the handle itself.
Stream* Find(HBE_STREAM handle) {
    std::lock_guard<std::mutex> lock(gStreamsLock);
    const auto it = gStreams.find(handle);
    return it == gStreams.end() ? nullptr : it->second.get();
}

bool ApplyPreset(lame_global_flags* flags, int32_t preset) {
    switch (preset) {
        case LQP_NOPRESET:
        case LQP_CBR:
        case LQP_ABR:
            return true;  // the bit rate and VBR fields say everything
        case LQP_NORMAL_QUALITY:
            return lame_set_quality(flags, 5) == 0;
        case LQP_LOW_QUALITY:
            return lame_set_quality(flags, 9) == 0;
        case LQP_HIGH_QUALITY:
        case LQP_VOICE_QUALITY:
            return lame_set_quality(flags, 2) == 0;
        case LQP_VERYHIGH_QUALITY:
            return lame_set_quality(flags, 0) == 0;
        case LQP_R3MIX:
            return lame_set_preset(flags, R3MIX) == R3MIX;
        case LQP_STANDARD:
            return lame_set_preset(flags, STANDARD) == STANDARD;
        case LQP_FAST_STANDARD:
            return lame_set_preset(flags, STANDARD_FAST) == STANDARD_FAST;
        case LQP_EXTREME:
            return lame_set_preset(flags, EXTREME) == EXTREME;
        case LQP_FAST_EXTREME:
            return lame_set_preset(flags, EXTREME_FAST) == EXTREME_FAST;
        case LQP_INSANE:
            return lame_set_preset(flags, INSANE) == INSANE;
        default:
            return false;
    }
}

MPEG_mode LameMode(int32_t mode) {
    switch (mode) {
        case BE_MP3_MODE_JSTEREO:
            return JOINT_STEREO;
        case BE_MP3_MODE_DUALCHANNEL:
            return DUAL_CHANNEL;
        case BE_MP3_MODE_MONO:
            return MONO;
        default:
            return STEREO;
    }
}

vbr_mode LameVbrMode(const BE_CONFIG& config) {
    if (!config.LHV1.bEnableVBR) return vbr_off;
    switch (config.LHV1.nVbrMethod) {
        case VBR_METHOD_NONE:
            return vbr_off;
        case VBR_METHOD_OLD:
            return vbr_rh;
        case VBR_METHOD_NEW:
        case VBR_METHOD_MTRH:
            return vbr_mtrh;
        case VBR_METHOD_ABR:
            return vbr_abr;
        default:
            return vbr_default;
    }
}

// Applies the record to fresh flags; false when a value is one the library refuses.
bool Configure(lame_global_flags* flags, const BE_CONFIG& config) {
    const auto& c = config.LHV1;
    const int outRate = static_cast<int>(c.dwReSampleRate != 0 ? c.dwReSampleRate : c.dwSampleRate);
    // The MPEG version follows from the output rate; a record that asks for the other one is inconsistent.
    if (c.dwMpegVersion != (outRate >= 32000 ? MPEG1 : MPEG2)) return false;
    const int channels = c.nMode == BE_MP3_MODE_MONO ? 1 : 2;
    bool ok = lame_set_in_samplerate(flags, static_cast<int>(c.dwSampleRate)) == 0;
    // Set even when it equals the input rate: left at 0, LAME lowers the rate behind the caller's back
    // whenever it finds the bit rate small.
    ok = ok && lame_set_out_samplerate(flags, outRate) == 0;
    ok = ok && lame_set_num_channels(flags, channels) == 0;
    ok = ok && lame_set_mode(flags, LameMode(c.nMode)) == 0;
    ok = ok && ApplyPreset(flags, c.nPreset);
    const vbr_mode vbr = LameVbrMode(config);
    ok = ok && lame_set_VBR(flags, vbr) == 0;
    if (vbr == vbr_off) {
        ok = ok && lame_set_brate(flags, static_cast<int>(c.dwBitrate)) == 0;
    } else {
        ok = ok && lame_set_VBR_min_bitrate_kbps(flags, static_cast<int>(c.dwBitrate)) == 0;
        ok = ok && lame_set_VBR_max_bitrate_kbps(flags, static_cast<int>(c.dwMaxBitrate)) == 0;
        if (vbr == vbr_abr) {
            ok = ok && lame_set_VBR_mean_bitrate_kbps(flags, static_cast<int>(c.dwVbrAbr_bps / 1000)) == 0;
        } else {
            // Qualities outside 0..9 are clamped by the library (which then answers -1).
            lame_set_VBR_q(flags, c.nVBRQuality);
        }
    }
    ok = ok && lame_set_emphasis(flags, static_cast<int>(c.dwEmphasis)) == 0;
    ok = ok && lame_set_extension(flags, c.bPrivate ? 1 : 0) == 0;
    ok = ok && lame_set_error_protection(flags, c.bCRC ? 1 : 0) == 0;
    ok = ok && lame_set_copyright(flags, c.bCopyright ? 1 : 0) == 0;
    ok = ok && lame_set_original(flags, c.bOriginal ? 1 : 0) == 0;
    ok = ok && lame_set_bWriteVbrTag(flags, c.bWriteVBRHeader ? 1 : 0) == 0;
    ok = ok && lame_set_disable_reservoir(flags, c.bNoRes ? 1 : 0) == 0;
    ok = ok && lame_set_strict_ISO(flags, c.bStrictIso ? 1 : 0) == 0;
    const int low = c.nQuality & 0xFF;
    const int high = c.nQuality >> 8;
    if (low == (~high & 0xFF)) ok = ok && lame_set_quality(flags, low) == 0;
    return ok && lame_init_params(flags) >= 0;
}

}  // namespace

BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize, HBE_STREAM* stream) {
    if (!config || !samples || !bufferSize || !stream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
    if (config->LHV1.dwStructVersion < 1 || config->LHV1.dwStructSize < sizeof(BE_CONFIG)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    auto entry = std::make_unique<Stream>();
    entry->flags = lame_init();
    if (!entry->flags) return BE_ERR_NO_MORE_HANDLES;
    if (!Configure(entry->flags, *config)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    entry->channels = lame_get_num_channels(entry->flags);
    const uint32_t frameSamples = static_cast<uint32_t>(lame_get_framesize(entry->flags) * entry->channels);
    *samples = frameSamples;
    *bufferSize = frameSamples * 5 / 4 + 7200;

    std::lock_guard<std::mutex> lock(gStreamsLock);
    HBE_STREAM handle = gNextHandle;
    while (handle == 0 || gStreams.count(handle) != 0) ++handle;
    gNextHandle = handle + 1;
    gStreams.emplace(handle, std::move(entry));
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples, uint8_t* output,
                     uint32_t* outputBytes) {
    Stream* entry = Find(stream);
    if (!entry) return BE_ERR_INVALID_HANDLE;
    if (!output || !outputBytes || (sampleCount != 0 && !samples)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int frames = static_cast<int>(sampleCount / static_cast<uint32_t>(entry->channels));
    int produced = 0;
    // A buffer size of 0 tells LAME the buffer is large enough: the interface passes no size.
    if (entry->channels == 1) {
        produced = lame_encode_buffer(entry->flags, samples, samples, frames, output, 0);
    } else {
        produced =
            lame_encode_buffer_interleaved(entry->flags, const_cast<short*>(samples), frames, output, 0);
    }
    if (produced < 0) {
        *outputBytes = 0;
        return produced == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *outputBytes = static_cast<uint32_t>(produced);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
    Stream* entry = Find(stream);
    if (!entry) return BE_ERR_INVALID_HANDLE;
    if (!output || !outputBytes) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int produced = lame_encode_flush(entry->flags, output, 0);
    if (produced < 0) {
        *outputBytes = 0;
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *outputBytes = static_cast<uint32_t>(produced);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beCloseStream(HBE_STREAM stream) {
    std::unique_ptr<Stream> entry;
    {
        std::lock_guard<std::mutex> lock(gStreamsLock);
        const auto it = gStreams.find(stream);
        if (it == gStreams.end()) return BE_ERR_INVALID_HANDLE;
        entry = std::move(it->second);
        gStreams.erase(it);
    }
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beGetInfoTag(HBE_STREAM stream, uint8_t* buffer, uint32_t* size) {
    Stream* entry = Find(stream);
    if (!entry) return BE_ERR_INVALID_HANDLE;
    if (!size || (*size != 0 && !buffer)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (!lame_get_bWriteVbrTag(entry->flags)) {
        *size = 0;
        return BE_ERR_SUCCESSFUL;
    }
    const size_t needed = lame_get_lametag_frame(entry->flags, buffer, *size);
    if (needed > *size) {
        *size = static_cast<uint32_t>(needed);
        return BE_ERR_BUFFER_TOO_SMALL;
    }
    *size = static_cast<uint32_t>(needed);
    return BE_ERR_SUCCESSFUL;
}
