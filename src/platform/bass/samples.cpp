// Float to integer sample conversion; see samples.h.
#include "samples.h"

#include <cmath>

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
}  // namespace

void FloatToInt16(const float* src, int16_t* dst, size_t count) {
    for (size_t i = 0; i < count; ++i)
        dst[i] = static_cast<int16_t>(ScaleClip(src[i], 32768.0f, -32768.0f, 32767.0f));
}

void FloatToUint8(const float* src, uint8_t* dst, size_t count) {
    for (size_t i = 0; i < count; ++i)
        dst[i] = static_cast<uint8_t>(ScaleClip(src[i], 128.0f, -128.0f, 127.0f) + 128);
}

}  // namespace bass
