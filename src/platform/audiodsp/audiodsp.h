// The converter the conversion pipeline puts between a source and a writer: sample rate (8000 to 192000 Hz),
// channel count (1 or 2) and sample layout (format codes 1, 2, 4, 8 and 16) of interleaved PCM blocks.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SRC2Converter* SRC2Handle;

// Sample-format codes: 1 = 8-bit unsigned, 2 = 16-bit, 4 = 24-bit, 8 = 32-bit signed integer, 16 = 32-bit
// float. Answers null for an unsupported rate, channel count or code; `mode` is accepted and ignored.
SRC2Handle NewSRC2(int sourceRate, int writerRate, int sourceChannels, int writerChannels, int sourceCode,
                   int writerCode, int mode);

// Converts one block and stores the converted bytes in `output` and their count in `outputLength`. A
// trailing partial frame is kept and completed by the next block. `output` must hold
// SRC2_MaxOutputBytes(handle, inputLength) bytes; for a block of up to 8192 bytes that is always below
// 2 MB. Throws std::exception when the conversion cannot be performed (null handle or buffers, resampler
// failure).
void SRC2_process(SRC2Handle handle, const void* input, uint32_t inputLength, void* output,
                  uint32_t* outputLength);

// Stores the samples the resampler still holds at the end of the stream; the total output then has
// input frames × writer rate / source rate frames, within one frame. Throws like SRC2_process.
void SRC2_flush(SRC2Handle handle, void* output, uint32_t* outputLength);

// Null accepted.
void DeleteSRC2(SRC2Handle handle);

// Upper bound of the bytes one SRC2_process call with `inputLength` bytes (or, for 0, one SRC2_flush
// call) can store.
uint32_t SRC2_MaxOutputBytes(SRC2Handle handle, uint32_t inputLength);

#ifdef __cplusplus
}
#endif
