// One compression from start to finish: gathers the incoming PCM into frames, codes them into the output
// and completes the file. Stereo at level 5000 whose predictor sums would leave 32 bits (loud 24-bit
// audio) is coded again at level 4000 from a copy of the input, since decoders disagree on such files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mac/ape_output.h"
#include "platform/mac/frame_encoder.h"
#include "platform/mac/spool.h"

namespace mac {

struct PcmFormat {
    int channels;  // 1 or 2
    int bits;      // 8, 16 or 24
    uint32_t sampleRate;
};

class Compressor {
  public:
    explicit Compressor(NNFilter::Kernels kernels = NNFilter::Kernels::kBest) : kernels_(kernels) {}

    // Each call throws Error; after a failure the file is gone and every later call fails.
    void Start(const std::string& path, const PcmFormat& format, int64_t maxAudioBytes, int level);
    void AddData(const uint8_t* data, size_t size);
    void Finish();

    // The level the file is written at (4000 after a fallback from 5000).
    int Level() const { return level_; }

  private:
    enum class State { kIdle, kRunning, kFailed, kFinished };

    template <typename Step>
    void Guarded(Step step);
    void Configure(int level);
    // Gathers frames and codes every full one; false when the frame's sums left 32 bits.
    bool Feed(const uint8_t* data, size_t size);
    bool CodeFrame(const uint8_t* pcm, uint32_t blocks);
    void FallBack();

    const NNFilter::Kernels kernels_;
    State state_ = State::kIdle;
    int failure_ = 0;
    PcmFormat format_{};
    size_t blockAlign_ = 0;
    int level_ = 0;
    uint32_t blocksPerFrame_ = 0;
    size_t frameBytes_ = 0;
    uint64_t maxBytes_ = 0;
    uint64_t inputBytes_ = 0;
    uint32_t lastFrameBlocks_ = 0;
    std::unique_ptr<FrameEncoder> encoder_;
    std::vector<uint8_t> frame_;
    ApeOutput output_;
    Spool spool_;
};

}  // namespace mac
