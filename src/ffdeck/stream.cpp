// Stream creation over a host file or a URL, the bridge from the host's file access to FFmpeg's I/O, and
// the add-on entries for a stream's info, tags and release.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ffdeck/ffdeck.h"

namespace ffdeck {

namespace {

constexpr int kIoBufferSize = 1048576;
constexpr DWORD kPassedFlags = 0x3F24039D;
constexpr DWORD kChannelTypeBase = 0xF8000000;
constexpr size_t kTagBufferSize = 32768;

char g_tagBuffer[kTagBufferSize];
std::mutex g_tagLock;

int ReadBridge(void* opaque, uint8_t* buffer, int size) {
    DWORD got = _.Read(static_cast<BASSFILE>(opaque), buffer, static_cast<DWORD>(size));
    if (got > static_cast<DWORD>(size)) return AVERROR(EIO);
    // FFmpeg's I/O layer only learns of the end from AVERROR_EOF; a 0 would leave readers that wait
    // for the end flag spinning.
    if (got == 0) return AVERROR_EOF;
    return static_cast<int>(got);
}

int64_t SeekBridge(void* opaque, int64_t offset, int whence) {
    auto file = static_cast<BASSFILE>(opaque);
    if (whence == AVSEEK_SIZE) return static_cast<int64_t>(_.GetPos(file, BASS_FILEPOS_SIZE));
    int64_t target;
    switch (whence) {
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = offset + static_cast<int64_t>(_.GetPos(file, BASS_FILEPOS_CURRENT));
            break;
        case SEEK_END:
            target = offset + static_cast<int64_t>(_.GetPos(file, BASS_FILEPOS_SIZE));
            break;
        default:
            return -1;
    }
    if (target < 0 || !_.Seek(file, static_cast<QWORD>(target))) return -1;
    return static_cast<int64_t>(_.GetPos(file, BASS_FILEPOS_CURRENT));
}

// Builds the format context that reads through the host file; null when an allocation fails.
AVFormatContext* PrepareHostInput(BASSFILE file, AVIOContext** io) {
    bool seekable = (_.GetFlags(file) & BASSFILE_NOSEEK_MASK) == 0;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    AVFormatContext* context = avformat_alloc_context();
    *io = buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, file, ReadBridge, nullptr, SeekBridge)
                 : nullptr;
    if (!buffer || !context || !*io) {
        if (*io) avio_context_free(io);
        av_free(buffer);
        avformat_free_context(context);
        return nullptr;
    }
    (*io)->seekable = seekable ? AVIO_SEEKABLE_NORMAL : 0;
    context->pb = *io;
    context->flags = AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_DISCARD_CORRUPT;
    context->debug = FF_FDEBUG_TS;
    return context;
}

bool IntegerDecoder(const AVCodecContext* codec) {
    if (!codec) return false;
    const AVSampleFormat format = av_get_packed_sample_fmt(codec->sample_fmt);
    return format == AV_SAMPLE_FMT_U8 || format == AV_SAMPLE_FMT_S16 || format == AV_SAMPLE_FMT_S32;
}

StreamInstance* Instance(void* inst) {
    return static_cast<StreamInstance*>(inst);
}

}  // namespace

HSTREAM CreateStream(BASSFILE file, const char* name, DWORD flags) {
    // The stream procedure only produces float or 16-bit samples; an 8-bit stream would be mislabelled.
    if (flags & BASS_SAMPLE_8BITS) {
        _.SetError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    auto state = std::make_unique<DecoderState>();
    if (file) {
        AVIOContext* io = nullptr;
        AVFormatContext* context = PrepareHostInput(file, &io);
        if (!context) {
            _.SetError(BASS_ERROR_FILEFORM);
            return 0;
        }
        state->ioContext = io;
        state->hostFile = file;
        if (!OpenDecoder(*state, name, context)) {
            CloseDecoder(*state);
            _.SetError(BASS_ERROR_FILEFORM);
            return 0;
        }
        RequestSeek(*state, 0);
    } else if (!OpenDecoder(*state, name, nullptr)) {
        CloseDecoder(*state);
        _.SetError(BASS_ERROR_FILEFORM);
        return 0;
    }

    if (flags & BASS_SAMPLE_INT32) {
        // Integers straight from the decoder, for decoders that produce integers; others stay float.
        if (!IntegerDecoder(state->codecContext)) {
            CloseDecoder(*state);
            _.SetError(BASS_ERROR_FORMAT);
            return 0;
        }
        state->integerSamples = true;
    }
    auto instance = std::make_unique<StreamInstance>();
    instance->floatOutput = flags & (BASS_SAMPLE_FLOAT | BASS_SAMPLE_INT32);
    instance->prescan = flags & BASS_STREAM_PRESCAN;
    const AVCodecContext* codec = state->codecContext;
    DWORD freq = codec ? static_cast<DWORD>(codec->sample_rate) : static_cast<DWORD>(-1);
    DWORD chans = codec ? static_cast<DWORD>(codec->ch_layout.nb_channels) : static_cast<DWORD>(-1);
    instance->decoder = std::move(state);
    HSTREAM handle =
        _.CreateStream(freq, chans, flags & kPassedFlags, StreamProc, instance.get(), &kAddonFunctions);
    if (!handle) {
        CloseDecoder(*instance->decoder);
        return 0;
    }
    instance->handle = handle;
    instance.release();
    _.SetError(BASS_OK);
    return handle;
}

void FreeStream(void* inst) {
    std::unique_ptr<StreamInstance> instance(Instance(inst));
    if (instance && instance->decoder) CloseDecoder(*instance->decoder);
}

void GetInfo(void* inst, BASS_CHANNELINFO* info) {
    DecoderState* state = Instance(inst)->decoder.get();
    std::lock_guard<std::mutex> guard(state->lock);
    const AVCodecContext* codec = state->codecContext;
    if (!codec) {
        info->freq = info->chans = info->origres = static_cast<DWORD>(-1);
        info->ctype = kChannelTypeBase - 1;
        return;
    }
    info->freq = static_cast<DWORD>(codec->sample_rate);
    info->chans = static_cast<DWORD>(codec->ch_layout.nb_channels);
    info->ctype = kChannelTypeBase + static_cast<DWORD>(codec->codec_id);
    info->origres = codec->bits_per_raw_sample != 0
                        ? static_cast<DWORD>(codec->bits_per_raw_sample)
                        : static_cast<DWORD>(8 * av_get_bytes_per_sample(codec->sample_fmt));
}

const char* GetTags(void* inst, DWORD tags) {
    if (tags != BASS_TAG_OGG && tags != BASS_TAG_MP4) return nullptr;
    DecoderState* state = Instance(inst)->decoder.get();
    std::lock_guard<std::mutex> tagGuard(g_tagLock);
    std::lock_guard<std::mutex> guard(state->lock);
    std::memset(g_tagBuffer, 0, sizeof g_tagBuffer);
    if (!state->formatContext) return nullptr;
    // The last two bytes stay zero, so the block always ends with an empty text.
    constexpr size_t kUsable = kTagBufferSize - 2;
    size_t used = 0;
    int entries = 0;
    const AVDictionaryEntry* entry = nullptr;
    while (used + 1 < kUsable &&
           (entry = av_dict_get(state->formatContext->metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        size_t room = kUsable - used;
        int wanted = std::snprintf(g_tagBuffer + used, room, "%s=%s", entry->key, entry->value);
        if (wanted < 0) break;
        used += std::min(static_cast<size_t>(wanted), room - 1) + 1;
        ++entries;
    }
    return entries > 0 ? g_tagBuffer : nullptr;
}

const ADDON_FUNCTIONS kAddonFunctions = {
    0, FreeStream, GetLength, GetTags, nullptr, GetInfo, CanSetPosition, SetPosition, {},
};

}  // namespace ffdeck
