// Sample layout conversion. The scale factors are 2^(n-1) in both directions (8-bit: (b - 128) / 128), the
// only choice with which integer samples survive a trip through float unchanged.
#include "platform/audiodsp/samples.h"

#include <cmath>
#include <cstring>

namespace audiodsp {
namespace {

template <typename T>
void Decode(const uint8_t* in, int code, size_t count, T* out) {
    switch (code) {
        case 1:
            for (size_t i = 0; i < count; ++i)
                out[i] = static_cast<T>((static_cast<int>(in[i]) - 128) / 128.0);
            break;
        case 2:
            for (size_t i = 0; i < count; ++i) {
                const int16_t v = static_cast<int16_t>(in[2 * i] | (in[2 * i + 1] << 8));
                out[i] = static_cast<T>(v / 32768.0);
            }
            break;
        case 4:
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* p = in + 3 * i;
                int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
                if (v & 0x800000) v -= 0x1000000;
                out[i] = static_cast<T>(v / 8388608.0);
            }
            break;
        case 8:
            for (size_t i = 0; i < count; ++i) {
                int32_t v;
                std::memcpy(&v, in + 4 * i, 4);
                out[i] = static_cast<T>(v / 2147483648.0);
            }
            break;
        case 16:
            for (size_t i = 0; i < count; ++i) {
                float v;
                std::memcpy(&v, in + 4 * i, 4);
                out[i] = static_cast<T>(v);
            }
            break;
    }
}

// Rounds to nearest (ties to even) and clips to [low, high]; NaN gives 0. Rounding adds and removes
// 1.5 * 2^52, which leaves the nearest integer in double arithmetic: std::nearbyint is a library call on
// baseline x86-64 and cost a tenth of a lossless encode's time.
inline int64_t ToInteger(double value, double scale, int64_t low, int64_t high) {
    const double scaled = value * scale;
    if (std::isnan(scaled)) return 0;
    if (scaled <= static_cast<double>(low)) return low;
    if (scaled >= static_cast<double>(high)) return high;
    constexpr double kRoundingMagic = 6755399441055744.0;
    return static_cast<int64_t>((scaled + kRoundingMagic) - kRoundingMagic);
}

template <typename T>
void Encode(const T* in, size_t count, int code, uint8_t* out) {
    switch (code) {
        case 1:
            for (size_t i = 0; i < count; ++i)
                out[i] = static_cast<uint8_t>(ToInteger(in[i], 128.0, -128, 127) + 128);
            break;
        case 2:
            for (size_t i = 0; i < count; ++i) {
                const auto v = static_cast<uint16_t>(ToInteger(in[i], 32768.0, -32768, 32767));
                out[2 * i] = static_cast<uint8_t>(v);
                out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
            }
            break;
        case 4:
            for (size_t i = 0; i < count; ++i) {
                const auto v = static_cast<uint32_t>(ToInteger(in[i], 8388608.0, -8388608, 8388607));
                out[3 * i] = static_cast<uint8_t>(v);
                out[3 * i + 1] = static_cast<uint8_t>(v >> 8);
                out[3 * i + 2] = static_cast<uint8_t>(v >> 16);
            }
            break;
        case 8:
            for (size_t i = 0; i < count; ++i) {
                const auto v = static_cast<int32_t>(ToInteger(in[i], 2147483648.0, INT32_MIN, INT32_MAX));
                std::memcpy(out + 4 * i, &v, 4);
            }
            break;
        case 16:
            for (size_t i = 0; i < count; ++i) {
                const auto v = static_cast<float>(in[i]);
                std::memcpy(out + 4 * i, &v, 4);
            }
            break;
    }
}

}  // namespace

int BytesPerSample(int code) {
    switch (code) {
        case 1:
            return 1;
        case 2:
            return 2;
        case 4:
            return 3;
        case 8:
            return 4;
        case 16:
            return 4;
        default:
            return 0;
    }
}

void DecodeSamples(const uint8_t* input, int code, size_t count, double* output) {
    Decode(input, code, count, output);
}
void DecodeSamples(const uint8_t* input, int code, size_t count, float* output) {
    Decode(input, code, count, output);
}
void EncodeSamples(const double* input, size_t count, int code, uint8_t* output) {
    Encode(input, count, code, output);
}
void EncodeSamples(const float* input, size_t count, int code, uint8_t* output) {
    Encode(input, count, code, output);
}

}  // namespace audiodsp
