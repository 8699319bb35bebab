// libmp4v2.so over libavformat's ipod muxer: the create call opens the file, the muxer's header is written
// at the first sample (or at close), and MP4Close writes the movie. Sample timestamps are the running sum
// of the durations given, shifted back by the edit's start, so the muxer derives the edit list from them.
// Freeform items, which the muxer cannot write, are added with TagLib once the file is complete.
#include "platform/mp4/mp4.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// The 12-byte header (size, 'alac', version and flags) the muxer expects before an ALAC configuration.
constexpr int kAlacAtomHeader = 12;
constexpr int kAlacCookieSize = 24;
constexpr MP4TrackId kTrack = 1;

struct File {
    std::string name;
    AVFormatContext* context = nullptr;
    AVStream* stream = nullptr;
    AVPacket* packet = nullptr;
    uint32_t movieScale = 0;
    int64_t editStart = 0;
    int64_t nextTime = 0;  // media time of the next sample, in track ticks
    bool headerWritten = false;
    bool failed = false;
    std::vector<std::pair<std::string, std::string>> items;  // key, text

    ~File() {
        av_packet_free(&packet);
        if (context) {
            avio_closep(&context->pb);
            avformat_free_context(context);
        }
    }
};

File* Open(const char* fileName) {
    if (!fileName) return nullptr;
    auto* file = new (std::nothrow) File;
    if (!file) return nullptr;
    file->name = fileName;
    file->packet = av_packet_alloc();
    if (!file->packet || avformat_alloc_output_context2(&file->context, nullptr, "ipod", fileName) < 0 ||
        avio_open(&file->context->pb, fileName, AVIO_FLAG_WRITE) < 0) {
        delete file;
        return nullptr;
    }
    // No encoder item of the muxer's own: the file says what wrote it only through its tags.
    file->context->flags |= AVFMT_FLAG_BITEXACT;
    return file;
}

AVStream* NewTrack(File* file, uint32_t sampleRate) {
    if (!file || file->stream || sampleRate == 0 || sampleRate > INT32_MAX) return nullptr;
    file->stream = avformat_new_stream(file->context, nullptr);
    if (!file->stream) return nullptr;
    file->stream->time_base = AVRational{1, static_cast<int>(sampleRate)};
    file->stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    file->stream->codecpar->sample_rate = static_cast<int>(sampleRate);
    return file->stream;
}

bool SetExtradata(AVCodecParameters* parameters, const uint8_t* data, size_t size) {
    av_freep(&parameters->extradata);
    parameters->extradata_size = 0;
    parameters->extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!parameters->extradata) return false;
    std::memcpy(parameters->extradata, data, size);
    parameters->extradata_size = static_cast<int>(size);
    return true;
}

// The channel count of an AudioSpecificConfig (0 when it cannot be read).
int AscChannels(const uint8_t* config, uint32_t size) {
    if (size < 2) return 0;
    const uint32_t bits = uint32_t{config[0]} << 24 | uint32_t{config[1]} << 16 |
                          (size > 2 ? uint32_t{config[2]} << 8 : 0) | (size > 3 ? config[3] : 0);
    int at = 5;  // object type
    if (bits >> 27 == 31) at += 6;
    const uint32_t rateIndex = (bits << at) >> 28;
    at += 4;
    if (rateIndex == 15) {
        if (size < 6) return 0;
        at += 24;
        if (at > 28) {
            // The channel configuration then lies beyond the first four bytes.
            const uint64_t wide = uint64_t{bits} << 16 | uint64_t{config[4]} << 8 | config[5];
            const int config4 = static_cast<int>((wide >> (48 - at - 4)) & 15);
            return config4 == 7 ? 8 : config4;
        }
    }
    const int channelConfig = static_cast<int>((bits << at) >> 28);
    return channelConfig == 7 ? 8 : channelConfig;
}

bool WriteHeader(File* file) {
    if (file->headerWritten) return !file->failed;
    file->headerWritten = true;
    if (!file->stream) {
        file->failed = true;
        return false;
    }
    AVDictionary* options = nullptr;
    // Whole ticks of the sample rate: an edit's length is exact for every sample count.
    const uint32_t movieScale = file->movieScale ? file->movieScale : file->stream->codecpar->sample_rate;
    av_dict_set_int(&options, "movie_timescale", movieScale, 0);
    if (avformat_write_header(file->context, &options) < 0) file->failed = true;
    av_dict_free(&options);
    return !file->failed;
}

bool AddItems(const File& file) {
    if (file.items.empty()) return true;
    TagLib::MP4::File mp4(file.name.c_str(), false);
    if (!mp4.isValid() || !mp4.tag()) return false;
    for (const auto& [key, text] : file.items)
        mp4.tag()->setItem(key,
                           TagLib::MP4::Item(TagLib::StringList(TagLib::String(text, TagLib::String::UTF8))));
    return mp4.save();
}

}  // namespace

MP4FileHandle MP4Create(const char* fileName, uint32_t flags) {
    if (flags != 0) return MP4_INVALID_FILE_HANDLE;
    return Open(fileName);
}

MP4FileHandle MP4CreateEx2(const char* fileName) {
    return Open(fileName);
}

bool MP4SetTimeScale(MP4FileHandle handle, uint32_t timeScale) {
    auto* file = static_cast<File*>(handle);
    if (!file || file->headerWritten || timeScale == 0 || timeScale > INT32_MAX) return false;
    file->movieScale = timeScale;
    return true;
}

MP4TrackId MP4AddAudioTrack(MP4FileHandle handle, uint32_t timeScale, MP4Duration sampleDuration,
                            uint8_t audioType) {
    auto* file = static_cast<File*>(handle);
    if (audioType != MP4_MPEG4_AUDIO_TYPE || sampleDuration == 0 || sampleDuration > INT32_MAX)
        return MP4_INVALID_TRACK_ID;
    AVStream* stream = NewTrack(file, timeScale);
    if (!stream) return MP4_INVALID_TRACK_ID;
    stream->codecpar->codec_id = AV_CODEC_ID_AAC;
    stream->codecpar->frame_size = static_cast<int>(sampleDuration);
    return kTrack;
}

MP4TrackId MP4AddAlacAudioTrack(MP4FileHandle handle, const uint8_t* cookie, uint32_t cookieSize) {
    auto* file = static_cast<File*>(handle);
    if (!cookie || cookieSize < kAlacCookieSize) return MP4_INVALID_TRACK_ID;
    auto be32 = [cookie](int at) {
        return uint32_t{cookie[at]} << 24 | uint32_t{cookie[at + 1]} << 16 | uint32_t{cookie[at + 2]} << 8 |
               cookie[at + 3];
    };
    AVStream* stream = NewTrack(file, be32(20));
    if (!stream) return MP4_INVALID_TRACK_ID;
    AVCodecParameters* parameters = stream->codecpar;
    parameters->codec_id = AV_CODEC_ID_ALAC;
    parameters->frame_size = static_cast<int>(be32(0));
    parameters->bits_per_raw_sample = cookie[5];
    parameters->bits_per_coded_sample = cookie[5];
    av_channel_layout_default(&parameters->ch_layout, cookie[9]);
    uint8_t atom[kAlacAtomHeader + kAlacCookieSize] = {0,   0,   0,   kAlacAtomHeader + kAlacCookieSize,
                                                       'a', 'l', 'a', 'c'};
    std::memcpy(atom + kAlacAtomHeader, cookie, kAlacCookieSize);
    if (!SetExtradata(parameters, atom, sizeof atom)) return MP4_INVALID_TRACK_ID;
    return kTrack;
}

bool MP4SetAudioProfileLevel(MP4FileHandle handle, uint8_t) {
    return handle != nullptr;
}

bool MP4SetTrackESConfiguration(MP4FileHandle handle, MP4TrackId track, const uint8_t* config,
                                uint32_t configSize) {
    auto* file = static_cast<File*>(handle);
    if (!file || !file->stream || track != kTrack || file->headerWritten || !config || configSize == 0)
        return false;
    AVCodecParameters* parameters = file->stream->codecpar;
    const int channels = AscChannels(config, configSize);
    if (channels > 0) av_channel_layout_default(&parameters->ch_layout, channels);
    return SetExtradata(parameters, config, configSize);
}

bool MP4WriteSample(MP4FileHandle handle, MP4TrackId track, const uint8_t* bytes, uint32_t numBytes,
                    MP4Duration duration, MP4Duration renderingOffset, bool isSyncSample) {
    auto* file = static_cast<File*>(handle);
    if (!file || !file->stream || track != kTrack || (!bytes && numBytes) || numBytes > INT32_MAX ||
        duration > INT32_MAX || renderingOffset != 0 || !isSyncSample)
        return false;
    if (!WriteHeader(file)) return false;
    AVPacket* packet = file->packet;
    if (av_new_packet(packet, static_cast<int>(numBytes)) < 0) return false;
    if (numBytes) std::memcpy(packet->data, bytes, numBytes);
    const AVRational trackScale{1, file->stream->codecpar->sample_rate};
    const int64_t time = file->nextTime - file->editStart;
    packet->pts = packet->dts = av_rescale_q(time, trackScale, file->stream->time_base);
    packet->duration = av_rescale_q(static_cast<int64_t>(duration), trackScale, file->stream->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = file->stream->index;
    const int result = av_write_frame(file->context, packet);
    av_packet_unref(packet);
    file->nextTime += static_cast<int64_t>(duration);
    if (result < 0 || file->context->pb->error < 0) file->failed = true;
    return !file->failed;
}

MP4EditId MP4AddTrackEdit(MP4FileHandle handle, MP4TrackId track, MP4EditId editId, MP4Timestamp startTime,
                          MP4Duration, bool dwell) {
    auto* file = static_cast<File*>(handle);
    if (!file || !file->stream || track != kTrack || editId != MP4_INVALID_EDIT_ID || dwell ||
        file->headerWritten || startTime > INT32_MAX)
        return MP4_INVALID_EDIT_ID;
    file->editStart = static_cast<int64_t>(startTime);
    return 1;
}

bool MP4SetMetadataFreeForm(MP4FileHandle handle, const char* name, const uint8_t* value, uint32_t valueSize,
                            const char* owner) {
    auto* file = static_cast<File*>(handle);
    if (!file || !name || !*name || (!value && valueSize)) return false;
    const std::string key =
        std::string("----:") + (owner && *owner ? owner : "com.apple.iTunes") + ":" + name;
    std::string text(reinterpret_cast<const char*>(value), valueSize);
    for (auto& item : file->items) {
        if (item.first == key) {
            item.second = std::move(text);
            return true;
        }
    }
    file->items.emplace_back(key, std::move(text));
    return true;
}

bool MP4Close(MP4FileHandle handle, uint32_t) {
    auto* file = static_cast<File*>(handle);
    if (!file) return false;
    bool ok = WriteHeader(file);
    if (ok && av_write_trailer(file->context) < 0) ok = false;
    if (file->context->pb && file->context->pb->error < 0) ok = false;
    if (avio_closep(&file->context->pb) < 0) ok = false;
    if (ok) ok = AddItems(*file);
    delete file;
    return ok;
}
