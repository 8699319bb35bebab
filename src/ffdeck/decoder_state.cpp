// Opening and closing the FFmpeg decoding state of one stream: demuxer, best audio stream, decoder.
#include <cstdio>

#include "ffdeck/ffdeck.h"

namespace ffdeck {

void PrintAvError(int error) {
    char text[64];
    av_strerror(error, text, sizeof text);
    std::fprintf(stderr, "%s\n", text);
}

bool OpenDecoder(DecoderState& state, const char* name, AVFormatContext* formatContext) {
    // On failure avformat_open_input frees a caller-supplied context, so it is only kept on success.
    AVFormatContext* context = formatContext ? formatContext : avformat_alloc_context();
    // A context without an input opens the name itself; one over the host's file reads only that file.
    if (!context || !ConfineInput(context, context->pb == nullptr)) {
        avformat_free_context(context);
        return false;
    }
    int result = avformat_open_input(&context, name ? name : "", nullptr, nullptr);
    if (result < 0) {
        PrintAvError(result);
        return false;
    }
    state.formatContext = context;
    if (avformat_find_stream_info(context, nullptr) < 0) return false;

    int index = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0 || index >= static_cast<int>(context->nb_streams)) return false;
    AVStream* stream = context->streams[index];

    state.codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!state.codec) return false;
    state.codecContext = avcodec_alloc_context3(state.codec);
    if (!state.codecContext) return false;
    avcodec_parameters_to_context(state.codecContext, stream->codecpar);
    state.codecContext->pkt_timebase = stream->time_base;
    if (avcodec_open2(state.codecContext, state.codec, nullptr) != 0) return false;

    state.streamIndex = index;
    state.readOffset = -1;
    state.fill = 0;
    state.seekPending = false;
    state.position = 0;
    state.seekTarget = 0;
    state.total = -1;
    state.frame = av_frame_alloc();
    state.packet = av_packet_alloc();
    return state.frame && state.packet;
}

void CloseDecoder(DecoderState& state) {
    std::lock_guard<std::mutex> guard(state.lock);
    avcodec_free_context(&state.codecContext);
    avformat_close_input(&state.formatContext);
    if (state.ioContext) {
        // FFmpeg may have replaced the buffer it was given, so the context's own pointer is freed.
        av_freep(&state.ioContext->buffer);
        avio_context_free(&state.ioContext);
    }
    state.sampleBuffer.reset();
    state.capacity = state.fill = 0;
    av_frame_free(&state.frame);
    av_packet_free(&state.packet);
}

}  // namespace ffdeck
