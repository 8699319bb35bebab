// Internal interface of the FFmpeg decoding add-on: the per-stream records and the operations shared by
// the entry points, the decoding loop and the tests.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/bass/bass_addon.h"

namespace ffdeck {

struct DecoderState {
    AVFormatContext* formatContext = nullptr;
    AVCodecContext* codecContext = nullptr;
    AVIOContext* ioContext = nullptr;
    const AVCodec* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    std::mutex lock;
    // Decoded interleaved float values (32-bit integers at full scale when integerSamples is set);
    // capacity and fill count bytes.
    std::unique_ptr<float[]> sampleBuffer;
    bool integerSamples = false;
    int64_t capacity = 0;
    int64_t fill = 0;
    int64_t readOffset = -1;  // -1: nothing decoded yet (or discarded by a seek)
    int streamIndex = -1;
    bool seekPending = false;
    int64_t seekTarget = 0;  // value index
    int64_t position = 0;    // float bytes delivered since the start; -1 after a length scan
    int64_t total = -1;      // position at which the end was reached
    bool scanned = false;    // the packets were summed once; later length requests reuse the sum
    BASSFILE hostFile = nullptr;
};

struct StreamInstance {
    HSTREAM handle = 0;
    std::unique_ptr<DecoderState> decoder;
    DWORD floatOutput = 0;  // flags & BASS_SAMPLE_FLOAT, or 32-bit integers (same size, no conversion)
    DWORD prescan = 0;      // flags & BASS_STREAM_PRESCAN
    // Float area of the 16-bit path: the host's buffer only receives the converted samples.
    std::unique_ptr<float[]> floatArea;
    size_t floatAreaValues = 0;
    std::mutex areaLock;
};

// Opening and closing a decoder; `formatContext` is null when FFmpeg opens `name` itself. Either way the
// context is confined (ConfineInput) before it opens anything. On failure the state still holds what was
// made and must be closed.
bool OpenDecoder(DecoderState& state, const char* name, AVFormatContext* formatContext);
void CloseDecoder(DecoderState& state);

// Restricts a format context before it opens its input: FFmpeg may open nothing named inside the input,
// and probing may only pick demuxers whose audio lies in the input itself. `ownUrl`: the context opens
// its own URL (once, through the network and file protocols) instead of reading the host's file. False
// when FFmpeg could not store the lists.
bool ConfineInput(AVFormatContext* context, bool ownUrl);
// The demuxers probing may pick, comma-separated.
const char* AllowedDemuxers();

// Creates a host stream over a host file (or, without one, over `name` opened by FFmpeg).
HSTREAM CreateStream(BASSFILE file, const char* name, DWORD flags);

// Decoding and positioning.
int64_t ReadFloat(DecoderState* state, void* destination, int64_t count);
int DrainFrames(DecoderState& state);
float SampleToFloat(const AVCodecContext* codecContext, const uint8_t* plane, int index);
int64_t ValueCount(DecoderState* state, bool prescan);
void RequestSeek(DecoderState& state, int64_t valueIndex);

// The host-facing procedures of one stream.
DWORD StreamProc(HSTREAM handle, void* buffer, DWORD length, void* user);
void FreeStream(void* inst);
QWORD GetLength(void* inst, DWORD mode);
const char* GetTags(void* inst, DWORD tags);
void GetInfo(void* inst, BASS_CHANNELINFO* info);
BOOL CanSetPosition(void* inst, QWORD pos, DWORD mode);
QWORD SetPosition(void* inst, QWORD pos, DWORD mode);

extern const ADDON_FUNCTIONS kAddonFunctions;

// Writes FFmpeg's text for `error` and a line break to standard error.
void PrintAvError(int error);

}  // namespace ffdeck
