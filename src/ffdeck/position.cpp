// Length and positioning of a stream: the value count (with the optional prescan of every packet), the
// host's length, can-set-position and set-position entries, and seek requests applied by the next read.
#include <algorithm>

#include "ffdeck/ffdeck.h"

namespace ffdeck {

namespace {

StreamInstance* Instance(void* inst) {
    return static_cast<StreamInstance*>(inst);
}
int64_t BytesPerValue(const StreamInstance* instance) {
    return instance->floatOutput ? 4 : 2;
}

// Reads every packet of the chosen stream once and answers the sum of their durations.
int64_t ScanDuration(DecoderState& state) {
    AVFormatContext* context = state.formatContext;
    // Reading resumes where it stood: a pending request keeps its target, otherwise the values so far.
    int64_t resumeTarget = state.seekPending || state.position < 0 ? state.seekTarget : state.position / 4;
    av_seek_frame(context, -1, 0,
                  state.position > 0 ? AVSEEK_FLAG_ANY | AVSEEK_FLAG_BACKWARD : AVSEEK_FLAG_ANY);
    AVPacket* packet = av_packet_alloc();
    int64_t sum = 0;
    while (packet && av_read_frame(context, packet) >= 0) {
        // Other streams' durations count in other time bases and would inflate the length.
        if (packet->stream_index == state.streamIndex && packet->duration > 0) sum += packet->duration;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    state.seekTarget = resumeTarget;
    state.position = -1;
    state.seekPending = true;
    return sum;
}

}  // namespace

int64_t ValueCount(DecoderState* state, bool prescan) {
    if (!state || !state->formatContext) return -1;
    // Held throughout: the decoder thread updates the total, the duration and the codec parameters.
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->total >= 0) return state->total / 4;
    AVFormatContext* context = state->formatContext;
    AVStream* stream = context->streams[state->streamIndex];
    // One scan per stream: each would move the demuxer and force a seek back.
    if (!state->scanned && ((context->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE && prescan) ||
                            stream->duration < 0)) {
        stream->duration = ScanDuration(*state);
        state->scanned = true;
    }
    const AVCodecContext* codec = state->codecContext;
    if (!codec || stream->time_base.den <= 0) return -1;
    if (stream->duration < 0 || codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0) return -1;
    // Damaged headers can claim absurd durations; the byte length must still fit its 64 bits.
    constexpr int64_t kMaxValues = INT64_MAX / 4;
    long double estimate = static_cast<long double>(stream->duration) * stream->time_base.num *
                           codec->sample_rate * codec->ch_layout.nb_channels / stream->time_base.den;
    if (estimate >= static_cast<long double>(kMaxValues)) return kMaxValues;
    __int128 count = static_cast<__int128>(stream->duration) * stream->time_base.num * codec->sample_rate *
                     codec->ch_layout.nb_channels / stream->time_base.den;
    if (count < 0) return -1;
    return static_cast<int64_t>(count);
}

void RequestSeek(DecoderState& state, int64_t valueIndex) {
    std::lock_guard<std::mutex> guard(state.lock);
    // Targets are compared as float bytes (x 4); a caller skipping can-set-position must not overflow that.
    state.seekTarget = std::clamp<int64_t>(valueIndex, 0, INT64_MAX / 4);
    state.seekPending = true;
}

QWORD GetLength(void* inst, DWORD mode) {
    StreamInstance* instance = Instance(inst);
    if (mode != BASS_POS_BYTE) {
        _.SetError(BASS_ERROR_NOTAVAIL);
        return static_cast<QWORD>(-1);
    }
    int64_t count = ValueCount(instance->decoder.get(), instance->prescan != 0);
    if (count < 0) return static_cast<QWORD>(-1);
    return static_cast<QWORD>(count * BytesPerValue(instance));
}

BOOL CanSetPosition(void* inst, QWORD pos, DWORD mode) {
    StreamInstance* instance = Instance(inst);
    if ((mode & 0xFF) != BASS_POS_BYTE) {
        _.SetError(BASS_ERROR_NOTAVAIL);
        return FALSE;
    }
    int64_t index = static_cast<int64_t>(pos / static_cast<QWORD>(BytesPerValue(instance)));
    if (index < ValueCount(instance->decoder.get(), instance->prescan != 0)) return TRUE;
    _.SetError(BASS_ERROR_POSITION);
    return FALSE;
}

QWORD SetPosition(void* inst, QWORD pos, DWORD) {
    StreamInstance* instance = Instance(inst);
    RequestSeek(*instance->decoder, static_cast<int64_t>(pos / static_cast<QWORD>(BytesPerValue(instance))));
    return pos;
}

}  // namespace ffdeck
