// The encoding helper of the compressor tests.
#include "ape_encode.h"

#include <algorithm>

#include "platform/mac/macdll.h"

namespace apetest {

WaveRecord Record(int channels, int bits, int rate) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return WaveRecord{1,
                      static_cast<uint16_t>(channels),
                      static_cast<uint32_t>(rate),
                      static_cast<uint32_t>(rate) * align,
                      align,
                      static_cast<uint16_t>(bits),
                      0};
}

EncodeResult Encode(const std::filesystem::path& file, const WaveRecord& format, int level,
                    const std::vector<uint8_t>& pcm, const std::vector<size_t>& pieces,
                    int64_t maxAudioBytes) {
    EncodeResult result;
    int error = -1;
    APE_COMPRESS_HANDLE compressor = c_APECompress_Create(&error);
    if (!compressor || error != 0) return result;
    result.start =
        c_APECompress_StartW(compressor, file.c_str(), reinterpret_cast<const WAVEFORMATEX*>(&format),
                             maxAudioBytes, level, nullptr, -1);
    if (result.start == 0) {
        std::vector<uint8_t> copy = pcm;  // the call takes a non-const pointer
        result.add = 0;
        size_t at = 0;
        for (size_t i = 0; at < copy.size() && result.add == 0; ++i) {
            const size_t size =
                pieces.empty() ? copy.size() : std::min(pieces[i % pieces.size()], copy.size() - at);
            result.add = c_APECompress_AddData(compressor, copy.data() + at, static_cast<int>(size));
            at += size;
        }
        result.finish = c_APECompress_Finish(compressor, nullptr, 0, 0);
    }
    c_APECompress_Destroy(compressor);
    return result;
}

testsupport::SampleKind KindOf(int bits) {
    return bits == 8    ? testsupport::SampleKind::U8
           : bits == 16 ? testsupport::SampleKind::S16
                        : testsupport::SampleKind::S24;
}

}  // namespace apetest
