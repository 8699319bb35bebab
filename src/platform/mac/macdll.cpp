// The exported C calls of libMACDLL.so over the compressor; C++ exceptions never cross them.
#include "platform/mac/macdll.h"

#include <cstring>
#include <new>

#include "platform/mac/compressor.h"

namespace {

// The fields of the caller's 18-byte packed wave format record.
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};

WaveFormat ReadWaveFormat(const WAVEFORMATEX* record) {
    uint8_t bytes[18];
    std::memcpy(bytes, record, sizeof bytes);
    auto u16 = [&](int at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    auto u32 = [&](int at) { return static_cast<uint32_t>(u16(at) | uint32_t{u16(at + 2)} << 16); };
    return WaveFormat{u16(0), u16(2), u32(4), u16(12), u16(14)};
}

mac::Compressor* Get(APE_COMPRESS_HANDLE handle) {
    return static_cast<mac::Compressor*>(handle);
}

template <typename Call>
int Answer(Call call) {
    try {
        call();
        return MAC_ERROR_SUCCESS;
    } catch (const mac::Error& error) {
        return error.code;
    } catch (const std::bad_alloc&) {
        return MAC_ERROR_OUT_OF_MEMORY;
    }
}

}  // namespace

extern "C" {

int GetInterfaceCompatibility(int version, bool, void*) {
    return version > 0 && version <= MAC_INTERFACE_VERSION ? 0 : -1;
}

APE_COMPRESS_HANDLE c_APECompress_Create(int* error) {
    auto* compressor = new (std::nothrow) mac::Compressor();
    if (error) *error = compressor ? MAC_ERROR_SUCCESS : MAC_ERROR_OUT_OF_MEMORY;
    return compressor;
}

void c_APECompress_Destroy(APE_COMPRESS_HANDLE compressor) {
    delete Get(compressor);
}

int c_APECompress_StartW(APE_COMPRESS_HANDLE compressor, const char* outputFile, const WAVEFORMATEX* format,
                         int64_t maxAudioBytes, int compressionLevel, const void*, int64_t headerBytes) {
    if (!compressor || !outputFile || !format) return MAC_ERROR_BAD_PARAMETER;
    // Storing a caller's WAV header is not offered: decompressors create one from the header fields.
    if (headerBytes != -1 && headerBytes != 0) return MAC_ERROR_UNSUPPORTED;
    const WaveFormat wave = ReadWaveFormat(format);
    if (wave.formatTag != 1 || wave.channels == 0 ||
        wave.blockAlign != wave.channels * (wave.bitsPerSample / 8)) {
        return MAC_ERROR_INVALID_FORMAT;
    }
    const mac::PcmFormat pcm{wave.channels, wave.bitsPerSample, wave.sampleRate};
    return Answer([&] { Get(compressor)->Start(outputFile, pcm, maxAudioBytes, compressionLevel); });
}

int c_APECompress_AddData(APE_COMPRESS_HANDLE compressor, unsigned char* data, int bytes) {
    if (!compressor || bytes < 0 || (bytes > 0 && !data)) return MAC_ERROR_BAD_PARAMETER;
    return Answer([&] { Get(compressor)->AddData(data, static_cast<size_t>(bytes)); });
}

int c_APECompress_Finish(APE_COMPRESS_HANDLE compressor, unsigned char* terminatingData,
                         int64_t terminatingBytes, int64_t wavTerminatingBytes) {
    if (!compressor) return MAC_ERROR_BAD_PARAMETER;
    if (terminatingData || terminatingBytes != 0 || wavTerminatingBytes != 0) return MAC_ERROR_UNSUPPORTED;
    return Answer([&] { Get(compressor)->Finish(); });
}

}  // extern "C"
