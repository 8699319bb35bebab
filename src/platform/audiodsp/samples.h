// Interleaved PCM sample layouts ↔ normalised floating-point samples, with power-of-two scale factors both
// ways so that integer → float → integer at the same depth is bit-exact.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audiodsp {

// Bytes per sample of a sample-format code; 0 for an unsupported code.
int BytesPerSample(int code);

// `count` samples of layout `code` → values in [-1, 1) (float input passes through unchanged).
void DecodeSamples(const uint8_t* input, int code, size_t count, double* output);
void DecodeSamples(const uint8_t* input, int code, size_t count, float* output);

// `count` values → samples of layout `code`: integers rounded to nearest and clipped to their range
// (NaN becomes 0); float output is not clipped.
void EncodeSamples(const double* input, size_t count, int code, uint8_t* output);
void EncodeSamples(const float* input, size_t count, int code, uint8_t* output);

// Changes the channel count: stereo → mono averages, mono → stereo copies. Input and output may be the
// same buffer (it must then hold the larger of the two).
template <typename T>
void MixChannels(const T* input, size_t frames, int inputChannels, int outputChannels, T* output) {
    if (inputChannels == outputChannels) {
        for (size_t i = 0; i < frames * static_cast<size_t>(inputChannels); ++i) output[i] = input[i];
    } else if (inputChannels == 2) {
        for (size_t i = 0; i < frames; ++i) output[i] = (input[2 * i] + input[2 * i + 1]) / 2;
    } else {
        // Walk backwards so input and output may be the same buffer.
        for (size_t i = frames; i-- > 0;) output[2 * i] = output[2 * i + 1] = input[i];
    }
}

}  // namespace audiodsp
