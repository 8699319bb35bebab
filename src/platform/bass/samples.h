// Float to integer sample conversion shared by the built-in decoders and the add-on host table: the
// power-of-two factors, rounding to nearest and clipping, so integer inputs survive a float round trip.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bass {

// `count` samples from 32-bit floats; neither buffer needs any alignment.
void FloatToInt16(const void* src, void* dst, size_t count);
void FloatToUint8(const void* src, void* dst, size_t count);

}  // namespace bass
