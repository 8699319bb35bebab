// libalac.so over libavcodec's ALAC encoder: one encoder context per handle, one frame in and one packet out
// per call. The magic cookie is the 24-byte ALAC configuration inside the encoder's 36-byte `alac` atom.
#include "platform/alac/alac.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <cstring>
#include <new>

namespace {

// The atom header (size, 'alac', version and flags) before the configuration in the extradata.
constexpr int kAtomHeader = 12;
constexpr int kCookieSize = 24;

struct Encoder {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int bits = 16;

    ~Encoder() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
};

int DepthOf(uint32_t flags) {
    if (flags == kALACFormatFlag16BitSourceData) return 16;
    if (flags == kALACFormatFlag24BitSourceData) return 24;
    return 0;
}

}  // namespace

void* NewALAC(AudioFormatDescription output, int32_t fastMode) {
    const int bits = DepthOf(output.mFormatFlags);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_ALAC);
    if (!codec || bits == 0 || output.mChannelsPerFrame < 1 || output.mChannelsPerFrame > 8 ||
        output.mSampleRate < 1 || output.mSampleRate > 2147483647.0) {
        return nullptr;
    }
    auto* encoder = new (std::nothrow) Encoder;
    if (!encoder) return nullptr;
    encoder->bits = bits;
    encoder->context = avcodec_alloc_context3(codec);
    encoder->frame = av_frame_alloc();
    encoder->packet = av_packet_alloc();
    AVCodecContext* context = encoder->context;
    if (!context || !encoder->frame || !encoder->packet) {
        delete encoder;
        return nullptr;
    }
    context->sample_rate = static_cast<int>(output.mSampleRate);
    av_channel_layout_default(&context->ch_layout, static_cast<int>(output.mChannelsPerFrame));
    context->sample_fmt = bits == 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
    context->bits_per_raw_sample = bits;
    context->frame_size = kALACDefaultFramesPerPacket;
    // Fast mode: the fixed predictor; otherwise adaptive prediction.
    context->compression_level = fastMode ? 1 : 2;
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(context, codec, nullptr) < 0 || context->extradata_size < kAtomHeader + kCookieSize) {
        delete encoder;
        return nullptr;
    }
    return encoder;
}

uint32_t ALAC_GetMagicCookieSize(void* encoder, AudioFormatDescription) {
    return encoder ? kCookieSize : 0;
}

void ALAC_GetMagicCookie(void* encoder, uint32_t size, void* cookie) {
    if (!encoder || !cookie) return;
    const auto* self = static_cast<Encoder*>(encoder);
    std::memcpy(cookie, self->context->extradata + kAtomHeader, size < kCookieSize ? size : kCookieSize);
}

int32_t ALAC_Encode(void* encoder, AudioFormatDescription input, AudioFormatDescription, const void* pcm,
                    void* out, int32_t* ioNumBytes) {
    if (!ioNumBytes) return -1;
    const int32_t bytes = *ioNumBytes;
    *ioNumBytes = 0;
    auto* self = static_cast<Encoder*>(encoder);
    if (!self || !pcm || !out || bytes <= 0) return -1;
    AVCodecContext* context = self->context;
    const int channels = context->ch_layout.nb_channels;
    const int sampleBytes = self->bits / 8;
    if (input.mBytesPerFrame != static_cast<uint32_t>(channels * sampleBytes)) return -1;
    const int frames = bytes / static_cast<int>(input.mBytesPerFrame);
    if (frames < 1 || frames > context->frame_size) return -1;

    AVFrame* frame = self->frame;
    av_frame_unref(frame);
    frame->nb_samples = frames;
    frame->format = context->sample_fmt;
    if (av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0 ||
        av_frame_get_buffer(frame, 0) < 0)
        return -1;
    const auto* in = static_cast<const uint8_t*>(pcm);
    for (int c = 0; c < channels; ++c) {
        const uint8_t* at = in + c * sampleBytes;
        if (self->bits == 16) {
            auto* plane = reinterpret_cast<int16_t*>(frame->data[c]);
            for (int i = 0; i < frames; ++i, at += input.mBytesPerFrame)
                plane[i] = static_cast<int16_t>(uint16_t(at[0] | at[1] << 8));
        } else {
            // 24-bit samples at the top of 32 bits, as the encoder takes them.
            auto* plane = reinterpret_cast<int32_t*>(frame->data[c]);
            for (int i = 0; i < frames; ++i, at += input.mBytesPerFrame)
                plane[i] = static_cast<int32_t>(uint32_t{at[0]} << 8 | uint32_t{at[1]} << 16 |
                                                uint32_t{at[2]} << 24);
        }
    }
    if (avcodec_send_frame(context, frame) < 0) return -1;
    AVPacket* packet = self->packet;
    if (avcodec_receive_packet(context, packet) < 0) return -1;
    std::memcpy(out, packet->data, static_cast<size_t>(packet->size));
    *ioNumBytes = packet->size;
    av_packet_unref(packet);
    return 0;
}

void DeleteALAC(void* encoder) {
    delete static_cast<Encoder*>(encoder);
}
