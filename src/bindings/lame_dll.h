// The LAME encoder's DLL interface (beInitStream ... beCloseStream with the packed BE_CONFIG record) as the
// MP3 writer calls it, implemented over libmp3lame.
#pragma once

#include <cstddef>
#include <cstdint>

using BE_ERR = uint32_t;
using HBE_STREAM = uint32_t;

inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0x00000000;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 0x00000001;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 0x00000002;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 0x00000003;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 0x00000004;
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 0x00000005;

inline constexpr uint32_t BE_CONFIG_MP3 = 0;
inline constexpr uint32_t BE_CONFIG_LAME = 256;

inline constexpr int32_t BE_MP3_MODE_STEREO = 0;
inline constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
inline constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr int32_t BE_MP3_MODE_MONO = 3;

inline constexpr uint32_t MPEG1 = 1;
inline constexpr uint32_t MPEG2 = 0;

// VBRMETHOD
inline constexpr int32_t VBR_METHOD_NONE = -1;
inline constexpr int32_t VBR_METHOD_DEFAULT = 0;
inline constexpr int32_t VBR_METHOD_OLD = 1;
inline constexpr int32_t VBR_METHOD_NEW = 2;
inline constexpr int32_t VBR_METHOD_MTRH = 3;
inline constexpr int32_t VBR_METHOD_ABR = 4;

// LAME_QUALITY_PRESET (the values this binding understands).
inline constexpr int32_t LQP_NOPRESET = -1;
inline constexpr int32_t LQP_NORMAL_QUALITY = 0;
inline constexpr int32_t LQP_LOW_QUALITY = 1;
inline constexpr int32_t LQP_HIGH_QUALITY = 2;
inline constexpr int32_t LQP_VOICE_QUALITY = 3;
inline constexpr int32_t LQP_R3MIX = 4;
inline constexpr int32_t LQP_VERYHIGH_QUALITY = 5;
inline constexpr int32_t LQP_STANDARD = 6;
inline constexpr int32_t LQP_FAST_STANDARD = 7;
inline constexpr int32_t LQP_EXTREME = 8;
inline constexpr int32_t LQP_FAST_EXTREME = 9;
inline constexpr int32_t LQP_INSANE = 10;
inline constexpr int32_t LQP_ABR = 11;
inline constexpr int32_t LQP_CBR = 12;

#pragma pack(push, 1)
// The `LHV1` form of the configuration record (dwConfig = BE_CONFIG_LAME); 331 bytes, byte-packed.
struct BE_CONFIG {
    uint32_t dwConfig;
    struct {
        uint32_t dwStructVersion;
        uint32_t dwStructSize;
        uint32_t dwSampleRate;    // input rate
        uint32_t dwReSampleRate;  // output rate, 0 = the input rate
        int32_t nMode;
        uint32_t dwBitrate;     // CBR rate, VBR minimum
        uint32_t dwMaxBitrate;  // VBR maximum
        int32_t nPreset;
        uint32_t dwMpegVersion;
        uint32_t dwPsyModel;
        uint32_t dwEmphasis;
        int32_t bPrivate;
        int32_t bCRC;
        int32_t bCopyright;
        int32_t bOriginal;
        int32_t bWriteVBRHeader;
        int32_t bEnableVBR;
        int32_t nVBRQuality;
        uint32_t dwVbrAbr_bps;
        int32_t nVbrMethod;
        int32_t bNoRes;
        int32_t bStrictIso;
        uint16_t nQuality;  // used only when the high byte is the complement of the low byte
        uint8_t btReserved[255 - 4 * sizeof(uint32_t) - sizeof(uint16_t)];
    } LHV1;
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == 331);
static_assert(offsetof(BE_CONFIG, LHV1) == 4);
static_assert(offsetof(BE_CONFIG, LHV1.dwSampleRate) == 12);
static_assert(offsetof(BE_CONFIG, LHV1.nMode) == 20);
static_assert(offsetof(BE_CONFIG, LHV1.nPreset) == 32);
static_assert(offsetof(BE_CONFIG, LHV1.dwMpegVersion) == 36);
static_assert(offsetof(BE_CONFIG, LHV1.bPrivate) == 48);
static_assert(offsetof(BE_CONFIG, LHV1.bWriteVBRHeader) == 64);
static_assert(offsetof(BE_CONFIG, LHV1.nVBRQuality) == 72);
static_assert(offsetof(BE_CONFIG, LHV1.nVbrMethod) == 80);
static_assert(offsetof(BE_CONFIG, LHV1.bStrictIso) == 88);
static_assert(offsetof(BE_CONFIG, LHV1.nQuality) == 92);
static_assert(offsetof(BE_CONFIG, LHV1.btReserved) == 94);

// Opens a stream. `samples` receives the samples (all channels) of one MPEG frame, `bufferSize` the smallest
// output buffer one such chunk needs.
BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize, HBE_STREAM* stream);
// Encodes `sampleCount` interleaved 16-bit samples (all channels together) into `output`, which must hold
// 1.25 × frames + 7200 bytes; `outputBytes` receives the bytes produced.
BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples, uint8_t* output,
                     uint32_t* outputBytes);
// Flushes the encoder's last frames into `output` (at least 7200 bytes).
BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
// Releases the stream.
BE_ERR beCloseStream(HBE_STREAM stream);

// After beDeinitStream: the LAME/Xing information frame with the final counts, to be written over the
// placeholder frame at the start of the file. `size` holds the buffer size on entry and the frame's size on
// return (0 when the stream was opened without bWriteVBRHeader). Not part of the original DLL interface.
BE_ERR beGetInfoTag(HBE_STREAM stream, uint8_t* buffer, uint32_t* size);
