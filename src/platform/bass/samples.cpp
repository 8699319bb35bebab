// Float to integer sample conversion; see samples.h.
#include "platform/bass/samples.h"

#include <cmath>
#include <cstring>

namespace bass {

namespace {
// lrintf of NaN or of huge values is undefined, so clip in float before converting.
long ScaleClip(float x, float scale, float lo, float hi) {
    float y = x * scale;
    if (std::isnan(y)) return 0;
    if (y < lo) return static_cast<long>(lo);
    if (y > hi) return static_cast<long>(hi);
    return std::lrintf(y);
}

float LoadFloat(const unsigned char* p) {
    float x;
    std::memcpy(&x, p, sizeof x);
    return x;
}
}  // namespace

// Loads and stores go through memcpy: add-ons and callers may hand over buffers at any byte offset.
void FloatToInt16(const void* src, void* dst, size_t count) {
    const auto* in = static_cast<const unsigned char*>(src);
    auto* out = static_cast<unsigned char*>(dst);
    for (size_t i = 0; i < count; ++i) {
        const auto y = static_cast<int16_t>(ScaleClip(LoadFloat(in + i * 4), 32768.0f, -32768.0f, 32767.0f));
        std::memcpy(out + i * sizeof y, &y, sizeof y);
    }
}

void FloatToUint8(const void* src, void* dst, size_t count) {
    const auto* in = static_cast<const unsigned char*>(src);
    auto* out = static_cast<unsigned char*>(dst);
    for (size_t i = 0; i < count; ++i) {
        out[i] = static_cast<unsigned char>(ScaleClip(LoadFloat(in + i * 4), 128.0f, -128.0f, 127.0f) + 128);
    }
}

}  // namespace bass
