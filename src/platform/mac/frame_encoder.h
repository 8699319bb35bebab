// Codes one frame of PCM into the frame stream: its CRC word, the silence and pseudo-stereo flags, then
// the channels through mid/side, the adaptive predictor, the level's FIR stages and the range coder.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/mac/nn_filter.h"
#include "platform/mac/predictor.h"
#include "platform/mac/range_coder.h"

namespace mac {

class FrameEncoder {
  public:
    // `channels` 1 or 2, `bits` 8, 16 or 24, `level` 1000 to 5000. With `checkWidth` (stereo at level
    // 5000) a frame whose predictor sums leave 32 bits is abandoned: decoders code such frames differently.
    FrameEncoder(int channels, int bits, int level, bool checkWidth,
                 NNFilter::Kernels kernels = NNFilter::Kernels::kBest);

    enum class Result { kCoded, kWidthOverflow };
    // Receives the frame's bytes in pieces as they are coded and leaves the buffer empty.
    using Drain = std::function<void(ByteBuffer&)>;

    // Codes `blocks` blocks of interleaved WAV-layout PCM (8-bit unsigned, 16/24-bit little-endian).
    Result Encode(const uint8_t* pcm, uint32_t blocks, const Drain& drain);

    static uint32_t BlocksPerFrame(int level);

  private:
    enum class Kind { kNormal, kSilent, kPseudoStereo };
    Kind Classify(const uint8_t* pcm, uint32_t blocks) const;
    // Samples of channel `channel` (of `stride` interleaved) as signed integers.
    void Unpack(const uint8_t* pcm, uint32_t count, int channel, int stride, int32_t* out) const;
    void ResetState();
    void Filter(int channel, int32_t* values, uint32_t count);

    const int channels_;
    const int bits_;
    const int bytesPerSample_;
    const bool checkWidth_;
    ByteBuffer out_;
    RangeEncoder coder_;
    Predictor predictors_[2];
    ResidualCoder residuals_[2];
    std::vector<NNFilter> filters_[2];  // per channel, in coding order
    std::vector<int32_t> work_[2];
};

}  // namespace mac
