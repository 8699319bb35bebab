// The records every layer passes PCM and tags in: the wave format record with its helpers and the tag frame.
// Sources, writers, the converter and the pipeline share them without depending on one another.
#pragma once

#include <cstdint>
#include <string>

// Tags carried between sources, writers and the tag library; an empty string means absent.
struct TagFrame {
    std::string title;
    std::string artist;
    std::string album;
    std::string track;  // decimal text, "0" when the tag holds none
    std::string year;   // decimal text, "0" when the tag holds none
    std::string genre;

    void Clear();
    bool operator==(const TagFrame&) const = default;
};

// The Windows wave format record, kept byte-compatible because writers and tests compare it as 18 bytes.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag;  // 1 = integer PCM, 3 = IEEE float
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must stay the packed 18-byte record");

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;

// Fills every field; nBlockAlign = channels * (bits div 8), nAvgBytesPerSec = nBlockAlign * rate, cbSize 0.
WAVEFORMATEX MakeWaveFormat(uint16_t formatTag, uint32_t sampleRate, uint16_t channels, uint16_t bits);

// Sample-format codes understood by the resampler.
constexpr int SAMPLE_FORMAT_8BIT = 1;
constexpr int SAMPLE_FORMAT_16BIT = 2;
constexpr int SAMPLE_FORMAT_24BIT = 4;
constexpr int SAMPLE_FORMAT_32BIT = 8;
constexpr int SAMPLE_FORMAT_FLOAT = 16;
constexpr int SAMPLE_FORMAT_OTHER = -1;

// 8 -> 1, 16 -> 2, 24 -> 4, 32 -> 8 (tag 1) or 16 (any other tag), anything else -> -1.
int SampleFormatCode(const WAVEFORMATEX& format);
