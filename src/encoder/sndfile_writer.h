// WAV, AIFF and GSM writers through libsndfile: the format choices they share, exposed for their callers
// and tests. The class references are in writers.h.
#pragma once

#include "encoder/maker.h"

enum class SndfileContainer { WAV, AIFF };

// Bit-depth index 1..5 (8-, 16-, 24-, 32-bit integer, 32-bit float): the setting when it is not 0,
// otherwise the entry of 8/16/24/32 nearest to the source's bits, with exactly 32 bits taken as float.
int SndfileBitsIndex(int setting, const WAVEFORMATEX& source);

// libsndfile format value (major type | subtype) for a container and bit-depth index. An index outside
// 1..5 gives the major type alone, which libsndfile refuses to open.
int SndfileFormat(SndfileContainer container, int bitsIndex);

// Format value of the headerless GSM 6.10 files.
inline constexpr int kGsmFormat = 0x40020;
