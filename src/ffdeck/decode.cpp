// The running half of a stream: the stream procedure the host pulls PCM through, the packet-and-frame
// loop over FFmpeg, and the conversion of every decoded sample format to interleaved 32-bit float.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/samplefmt.h>
}

#include "ffdeck/ffdeck.h"

namespace ffdeck {

namespace {

constexpr int kSeekAny = AVSEEK_FLAG_ANY;
constexpr int kSeekAnyBackward = AVSEEK_FLAG_ANY | AVSEEK_FLAG_BACKWARD;

// Power-of-two factors, as FFmpeg's own resampler uses: integer PCM round-trips through float exactly.
inline float FromU8(uint8_t v) {
    return static_cast<float>(static_cast<int>(v) - 128) * (1.0f / 128);
}
inline float FromS16(int16_t v) {
    return static_cast<float>(v) * (1.0f / 32768);
}
inline float FromS32(int32_t v) {
    return static_cast<float>(v) * (1.0f / 2147483648.0f);
}
inline float FromS64(int64_t v) {
    return static_cast<float>(v) * (1.0f / 9223372036854775808.0f);
}
inline float FromFlt(float v) {
    return v;
}
inline float FromDbl(double v) {
    return static_cast<float>(v);
}

// The same samples as 32-bit integers at full scale, for streams that asked for integers: exact shifts.
inline int32_t IntFromU8(uint8_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v ^ 0x80) << 24);
}
inline int32_t IntFromS16(int16_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(v)) << 16);
}
inline int32_t IntFromS32(int32_t v) {
    return v;
}
inline int32_t IntFromS64(int64_t v) {
    return static_cast<int32_t>(v >> 32);
}
// A decoder that changes to float mid-stream still gives integers: rounded and clipped.
inline int32_t IntFromDbl(double v) {
    const double scaled = v * 2147483648.0;
    if (std::isnan(scaled)) return 0;
    if (scaled <= -2147483648.0) return INT32_MIN;
    if (scaled >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(std::nearbyint(scaled));
}
inline int32_t IntFromFlt(float v) {
    return IntFromDbl(v);
}

template <typename T>
inline T Load(const uint8_t* p, size_t index) {
    T v;
    std::memcpy(&v, p + index * sizeof(T), sizeof(T));
    return v;
}

// One whole frame into `out` (interleaved, four bytes a value): one switch per frame, a tight loop per
// plane. Stores go through memcpy because integer values share the float buffer.
template <typename T, typename Out, Out (*Convert)(T)>
void ConvertFrame(const AVFrame* frame, int channels, bool planar, float* out) {
    static_assert(sizeof(Out) == sizeof(float));
    const int samples = frame->nb_samples;
    if (planar) {
        for (int c = 0; c < channels; ++c) {
            const uint8_t* plane = frame->extended_data[c];
            float* dst = out + c;
            for (int i = 0; i < samples; ++i, dst += channels) {
                const Out value = Convert(Load<T>(plane, i));
                std::memcpy(dst, &value, sizeof value);
            }
        }
    } else {
        const uint8_t* plane = frame->extended_data[0];
        const size_t count = static_cast<size_t>(samples) * channels;
        for (size_t k = 0; k < count; ++k) {
            const Out value = Convert(Load<T>(plane, k));
            std::memcpy(out + k, &value, sizeof value);
        }
    }
}

// Float or, with `integers`, 32-bit integer output of one sample type.
template <typename T, float (*ToFloat)(T), int32_t (*ToInt)(T)>
void ConvertFrameTo(const AVFrame* frame, int channels, bool planar, bool integers, float* out) {
    if (integers)
        ConvertFrame<T, int32_t, ToInt>(frame, channels, planar, out);
    else
        ConvertFrame<T, float, ToFloat>(frame, channels, planar, out);
}

// Converts one frame of any sample format, to float or (`integers`) to 32-bit integers at full scale.
void ConvertAnyFrame(const AVFrame* frame, int channels, bool integers, float* out) {
    auto format = static_cast<AVSampleFormat>(frame->format);
    bool planar = av_sample_fmt_is_planar(format) == 1;
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            ConvertFrameTo<uint8_t, FromU8, IntFromU8>(frame, channels, planar, integers, out);
            break;
        case AV_SAMPLE_FMT_S16:
            ConvertFrameTo<int16_t, FromS16, IntFromS16>(frame, channels, planar, integers, out);
            break;
        case AV_SAMPLE_FMT_S32:
            ConvertFrameTo<int32_t, FromS32, IntFromS32>(frame, channels, planar, integers, out);
            break;
        case AV_SAMPLE_FMT_S64:
            ConvertFrameTo<int64_t, FromS64, IntFromS64>(frame, channels, planar, integers, out);
            break;
        case AV_SAMPLE_FMT_FLT:
            ConvertFrameTo<float, FromFlt, IntFromFlt>(frame, channels, planar, integers, out);
            break;
        case AV_SAMPLE_FMT_DBL:
            ConvertFrameTo<double, FromDbl, IntFromDbl>(frame, channels, planar, integers, out);
            break;
        default: {
            const char* name = av_get_sample_fmt_name(format);
            std::fprintf(stderr, "Invalid sample format %s.\n", name ? name : "none");
            std::fill_n(out, static_cast<size_t>(frame->nb_samples) * channels, 0.0f);
            break;
        }
    }
}

// Applies a pending seek; inputs that cannot seek drop it.
void ApplySeek(DecoderState& state) {
    state.seekPending = false;
    AVFormatContext* context = state.formatContext;
    if (!context->pb || !(context->pb->seekable & AVIO_SEEKABLE_NORMAL)) {
        // After a length scan the position is unset; counting goes on from where reading stood.
        if (state.position < 0) state.position = state.seekTarget * 4;
        return;
    }
    if (state.seekTarget * 4 == state.position) return;
    const AVCodecContext* codec = state.codecContext;
    int64_t perSecond = static_cast<int64_t>(codec->ch_layout.nb_channels) * codec->sample_rate;
    if (perSecond <= 0) return;
    int flags = state.seekTarget * 4 >= state.position ? kSeekAny : kSeekAnyBackward;
    int64_t timestamp = av_rescale_rnd(state.seekTarget, AV_TIME_BASE, perSecond, AV_ROUND_DOWN);
    int result = av_seek_frame(context, -1, timestamp, flags);
    PrintAvError(result);
    avformat_flush(context);
    avcodec_flush_buffers(state.codecContext);
    state.readOffset = -1;
    state.position = state.seekTarget * 4;
}

// Feeds packets of the chosen stream to the decoder until frames come out; false at the end of input.
bool DecodeMore(DecoderState& state) {
    for (;;) {
        int result = av_read_frame(state.formatContext, state.packet);
        if (result < 0) {
            if (result != AVERROR_EOF) PrintAvError(result);
            break;
        }
        if (state.packet->stream_index != state.streamIndex) {
            av_packet_unref(state.packet);
            continue;
        }
        result = avcodec_send_packet(state.codecContext, state.packet);
        av_packet_unref(state.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF || result == AVERROR(EINVAL) ||
            result == AVERROR(ENOMEM)) {
            break;
        }
        // Any other refusal is a damaged packet: it is skipped and decoding goes on.
        result = DrainFrames(state);
        // A batch of frames without samples is not data; the end is only the end of input.
        if (result == 0 && state.fill > 0) return true;
        if (result != 0 && result != AVERROR(EAGAIN)) break;
    }
    if (avcodec_send_packet(state.codecContext, nullptr) == 0 && DrainFrames(state) == 0 && state.fill > 0) {
        return true;
    }
    return false;
}

}  // namespace

float SampleToFloat(const AVCodecContext* codecContext, const uint8_t* plane, int index) {
    const int size = av_get_bytes_per_sample(codecContext->sample_fmt);
    switch (av_get_packed_sample_fmt(codecContext->sample_fmt)) {
        case AV_SAMPLE_FMT_U8:
            return FromU8(plane[index]);
        case AV_SAMPLE_FMT_S16:
            return FromS16(Load<int16_t>(plane, index));
        case AV_SAMPLE_FMT_S32:
            return FromS32(Load<int32_t>(plane, index));
        case AV_SAMPLE_FMT_S64:
            return FromS64(Load<int64_t>(plane, index));
        case AV_SAMPLE_FMT_FLT:
            return FromFlt(Load<float>(plane, index));
        case AV_SAMPLE_FMT_DBL:
            return FromDbl(Load<double>(plane, index));
        default:
            if (size != 1 && size != 2 && size != 4 && size != 8) {
                std::fprintf(stderr, "Invalid sample size %d.\n", size);
            } else {
                const char* name = av_get_sample_fmt_name(codecContext->sample_fmt);
                std::fprintf(stderr, "Invalid sample format %s.\n", name ? name : "none");
            }
            return 0.0f;
    }
}

int DrainFrames(DecoderState& state) {
    state.readOffset = 0;
    state.fill = 0;
    int result = avcodec_receive_frame(state.codecContext, state.frame);
    if (result < 0) return result;
    do {
        AVFrame* frame = state.frame;
        const int channels = frame->ch_layout.nb_channels;
        const int64_t bytes = static_cast<int64_t>(channels) * frame->nb_samples * 4;
        if (bytes > 0) {
            const int64_t needed = state.fill + bytes;
            if (state.capacity < needed) {
                std::unique_ptr<float[]> grown(new float[static_cast<size_t>(needed / 4)]);
                if (state.fill > 0) std::memcpy(grown.get(), state.sampleBuffer.get(), state.fill);
                state.sampleBuffer = std::move(grown);
                state.capacity = needed;
            }
            ConvertAnyFrame(frame, channels, state.integerSamples, state.sampleBuffer.get() + state.fill / 4);
            state.fill = needed;
        }
        av_frame_unref(frame);
    } while (avcodec_receive_frame(state.codecContext, state.frame) == 0);
    return 0;
}

int64_t ReadFloat(DecoderState* state, void* destination, int64_t count) {
    if (!state || !state->codecContext || !state->formatContext) return -1;
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->seekPending) ApplySeek(*state);
    if (state->readOffset < 0 || state->readOffset >= state->fill) {
        if (!DecodeMore(*state)) {
            state->total = state->position;
            return 0;
        }
    }
    int64_t n = std::min(count, state->fill - state->readOffset);
    std::memcpy(destination, reinterpret_cast<const uint8_t*>(state->sampleBuffer.get()) + state->readOffset,
                static_cast<size_t>(n));
    state->readOffset += n;
    state->position += n;
    return n;
}

DWORD StreamProc(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* instance = static_cast<StreamInstance*>(user);
    DecoderState* state = instance->decoder.get();
    DWORD done = 0;
    if (instance->floatOutput) {
        auto* out = static_cast<uint8_t*>(buffer);
        while (done < length) {
            int64_t got = ReadFloat(state, out + done, length - done);
            if (got <= 0) break;
            done += static_cast<DWORD>(got);
        }
    } else {
        std::lock_guard<std::mutex> guard(instance->areaLock);
        const size_t values = length / 2;
        if (instance->floatAreaValues < values) {
            instance->floatArea.reset(new float[values]);
            instance->floatAreaValues = values;
        }
        auto* area = reinterpret_cast<uint8_t*>(instance->floatArea.get());
        const int64_t wanted = static_cast<int64_t>(values) * 4;
        int64_t got = 0;
        while (got < wanted) {
            int64_t n = ReadFloat(state, area + got, wanted - got);
            if (n <= 0) break;
            got += n;
        }
        // Whole values only: a value split by a short read is not handed to the host.
        got &= ~int64_t{3};
        if (got > 0) _.FloatToInt(instance->floatArea.get(), buffer, static_cast<DWORD>(got), 2);
        done = static_cast<DWORD>(got / 2);
    }
    return done ? done : BASS_STREAMPROC_END;
}

}  // namespace ffdeck
