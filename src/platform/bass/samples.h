// Float to integer sample conversion shared by the built-in decoders and the add-on host table: the
// power-of-two factors, rounding to nearest and clipping, so integer inputs survive a float round trip.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bass {

void FloatToInt16(const float* src, int16_t* dst, size_t count);
void FloatToUint8(const float* src, uint8_t* dst, size_t count);

}  // namespace bass
