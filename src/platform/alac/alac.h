// The C interface of libalac.so, Wavetrove's Apple Lossless encoder: create an encoder from the output
// format record and a fast-mode flag, read its magic cookie (the stream's ALAC configuration), encode one
// packet per call, delete it. 16- and 24-bit interleaved integer PCM, up to 8 channels.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(LIBALAC_BUILDING)
#define LIBALAC_API __attribute__((visibility("default")))
#else
#define LIBALAC_API
#endif

// The four-character codes of the two format records.
#define kALACFormatLinearPCM 0x6C70636Du      // 'lpcm'
#define kALACFormatAppleLossless 0x616C6163u  // 'alac'
// Input flags: signed integer samples, packed.
#define kALACFormatFlagIsSignedInteger 4u
#define kALACFormatFlagIsPacked 8u
// Output flags: the source depth.
#define kALACFormatFlag16BitSourceData 1u
#define kALACFormatFlag24BitSourceData 3u
// Frames per packet the encoder works with.
#define kALACDefaultFramesPerPacket 4096u

// A stream format: 40 bytes, passed by value.
typedef struct AudioFormatDescription {
    double mSampleRate;
    uint32_t mFormatID;
    uint32_t mFormatFlags;
    uint32_t mBytesPerPacket;
    uint32_t mFramesPerPacket;
    uint32_t mBytesPerFrame;
    uint32_t mChannelsPerFrame;
    uint32_t mBitsPerChannel;
    uint32_t mReserved;
} AudioFormatDescription;

// An encoder for `output` (rate, channels, source depth in mFormatFlags); fast mode uses a fixed
// predictor. Null when the format is not supported.
LIBALAC_API void* NewALAC(AudioFormatDescription output, int32_t fastMode);
// Size in bytes of the magic cookie of the stream `output` describes.
LIBALAC_API uint32_t ALAC_GetMagicCookieSize(void* encoder, AudioFormatDescription output);
// Copies the cookie (at most `size` bytes) into `cookie`.
LIBALAC_API void ALAC_GetMagicCookie(void* encoder, uint32_t size, void* cookie);
// Encodes the interleaved PCM bytes of `input` (*ioNumBytes of them, at most one packet of frames) as one
// ALAC packet into `out` and writes its size back to *ioNumBytes; 0 on success, -1 on failure (then
// *ioNumBytes is 0).
LIBALAC_API int32_t ALAC_Encode(void* encoder, AudioFormatDescription input, AudioFormatDescription output,
                                const void* pcm, void* out, int32_t* ioNumBytes);
LIBALAC_API void DeleteALAC(void* encoder);

#ifdef __cplusplus
}
#endif
