// The C interface of libMACDLL.so, Wavetrove's Monkey's Audio compressor: create a compressor, start a file
// (version 3990, levels 1000 to 5000, 8/16/24-bit integer PCM, one or two channels), add PCM, finish,
// destroy.
#pragma once

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MACDLL_BUILDING)
#define MACDLL_API __attribute__((visibility("default")))
#else
#define MACDLL_API
#endif

// The 18-byte Windows wave format record (packed); the caller's own definition is used.
struct WAVEFORMATEX;

typedef void* APE_COMPRESS_HANDLE;

// Interface version the library implements.
#define MAC_INTERFACE_VERSION 3990

// Answers of the calls: 0 is success, every other value an error.
#define MAC_ERROR_SUCCESS 0
#define MAC_ERROR_BAD_PARAMETER 1001   // null handle or buffer, negative byte count
#define MAC_ERROR_BAD_STATE 1002       // call out of order (AddData before StartW, a second StartW, ...)
#define MAC_ERROR_INVALID_FORMAT 1003  // not 8/16/24-bit integer PCM with one or two channels
#define MAC_ERROR_INVALID_LEVEL 1004   // not 1000, 2000, 3000, 4000 or 5000
#define MAC_ERROR_UNSUPPORTED 1005     // a stored WAV header or terminating data
#define MAC_ERROR_CREATE_FILE 1006     // the output cannot be created
#define MAC_ERROR_WRITE 1007           // writing the output failed (a full disk)
#define MAC_ERROR_READ 1008            // reading back the output failed while finishing
#define MAC_ERROR_TOO_LARGE 1009       // more audio than announced, or past the format's 4 GiB limit
#define MAC_ERROR_EMPTY 1010           // no whole block of audio: the format cannot hold an empty file
#define MAC_ERROR_OUT_OF_MEMORY 1011

// 0 when a caller written for `version` can use this library, else -1. Shows nothing.
MACDLL_API int GetInterfaceCompatibility(int version, bool displayWarningsDialog, void* parentWindow);

// A new compressor, or null (and `error` set, when given).
MACDLL_API APE_COMPRESS_HANDLE c_APECompress_Create(int* error);

// Frees the compressor. A file started but not finished is removed: it would not be a valid file.
MACDLL_API void c_APECompress_Destroy(APE_COMPRESS_HANDLE compressor);

// Creates `outputFile` (UTF-8) for PCM in `format`. `maxAudioBytes` caps the input (at most, and by
// default when not positive, the format's 4 GiB limit); `headerBytes` must be -1 (the decompressor
// creates the WAV header) or 0. Anything refused leaves no file.
MACDLL_API int c_APECompress_StartW(APE_COMPRESS_HANDLE compressor, const char* outputFile,
                                    const struct WAVEFORMATEX* format, int64_t maxAudioBytes,
                                    int compressionLevel, const void* headerData, int64_t headerBytes);

// Adds interleaved little-endian PCM (8-bit unsigned) in any piece sizes, samples may be split. After an
// error the compressor accepts nothing more and the file is failed.
MACDLL_API int c_APECompress_AddData(APE_COMPRESS_HANDLE compressor, unsigned char* data, int bytes);

// Codes what is left, writes the seek table and headers and closes the file. Terminating data is not
// supported (pass null and 0). On failure the file is removed.
MACDLL_API int c_APECompress_Finish(APE_COMPRESS_HANDLE compressor, unsigned char* terminatingData,
                                    int64_t terminatingBytes, int64_t wavTerminatingBytes);

#ifdef __cplusplus
}
#endif
