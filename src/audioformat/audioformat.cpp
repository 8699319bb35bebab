// The wave format helpers and the tag frame.
#include "audioformat/audioformat.h"

void TagFrame::Clear() {
    title.clear();
    artist.clear();
    album.clear();
    track.clear();
    year.clear();
    genre.clear();
}

WAVEFORMATEX MakeWaveFormat(uint16_t formatTag, uint32_t sampleRate, uint16_t channels, uint16_t bits) {
    WAVEFORMATEX format{};
    format.wFormatTag = formatTag;
    format.nChannels = channels;
    format.nSamplesPerSec = sampleRate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = static_cast<uint16_t>(channels * (bits / 8));
    format.nAvgBytesPerSec = static_cast<uint32_t>(format.nBlockAlign) * sampleRate;
    format.cbSize = 0;
    return format;
}

int SampleFormatCode(const WAVEFORMATEX& format) {
    switch (format.wBitsPerSample) {
        case 8:
            return SAMPLE_FORMAT_8BIT;
        case 16:
            return SAMPLE_FORMAT_16BIT;
        case 24:
            return SAMPLE_FORMAT_24BIT;
        case 32:
            return format.wFormatTag == WAVE_FORMAT_PCM ? SAMPLE_FORMAT_32BIT : SAMPLE_FORMAT_FLOAT;
        default:
            return SAMPLE_FORMAT_OTHER;
    }
}
