// Frame coding. A decoder undoes the stages in the opposite order (range decoder, FIR stages, predictor,
// mid/side), with every state reset at the frame's start, so each frame is coded on its own.
#include "platform/mac/frame_encoder.h"

#include <algorithm>
#include <cstring>

#include "platform/mac/checksums.h"

namespace mac {

namespace {

// Blocks coded per pass: the work arrays stay small however long the frame.
constexpr uint32_t kChunk = 4096;

constexpr uint32_t kHasFlags = 0x80000000u;
constexpr uint32_t kFlagMonoSilence = 1;
constexpr uint32_t kFlagStereoSilence = 3;
constexpr uint32_t kFlagPseudoStereo = 4;

struct Stage {
    int order;
    int fractionBits;
};

// The FIR stages of each level in the order the encoder runs them: the widest first, so the decoder, which
// undoes them in reverse, runs the narrowest first.
std::vector<Stage> Stages(int level) {
    switch (level) {
        case 2000:
            return {{16, 11}};
        case 3000:
            return {{64, 11}};
        case 4000:
            return {{256, 13}, {32, 10}};
        case 5000:
            return {{1280, 15}, {256, 13}, {16, 11}};
        default:
            return {};
    }
}

}  // namespace

uint32_t FrameEncoder::BlocksPerFrame(int level) {
    if (level <= 3000) return 73728;
    if (level == 4000) return 294912;
    return 1179648;
}

FrameEncoder::FrameEncoder(int channels, int bits, int level, bool checkWidth, NNFilter::Kernels kernels)
    : channels_(channels), bits_(bits), bytesPerSample_(bits / 8), checkWidth_(checkWidth), coder_(out_) {
    const std::vector<Stage> stages = Stages(level);
    for (int channel = 0; channel < 2; ++channel) {
        for (const Stage& stage : stages)
            filters_[channel].emplace_back(stage.order, stage.fractionBits, kernels);
        work_[channel].resize(kChunk);
    }
}

FrameEncoder::Kind FrameEncoder::Classify(const uint8_t* pcm, uint32_t blocks) const {
    const size_t bytes = size_t{blocks} * static_cast<size_t>(channels_ * bytesPerSample_);
    const uint8_t zero = bits_ == 8 ? 0x80 : 0x00;
    if (std::all_of(pcm, pcm + bytes, [zero](uint8_t b) { return b == zero; })) return Kind::kSilent;
    if (channels_ == 2) {
        const size_t size = static_cast<size_t>(bytesPerSample_);
        for (uint32_t i = 0; i < blocks; ++i, pcm += 2 * size) {
            if (std::memcmp(pcm, pcm + size, size) != 0) return Kind::kNormal;
        }
        return Kind::kPseudoStereo;
    }
    return Kind::kNormal;
}

void FrameEncoder::Unpack(const uint8_t* pcm, uint32_t count, int channel, int stride, int32_t* out) const {
    const size_t step = static_cast<size_t>(stride * bytesPerSample_);
    const uint8_t* p = pcm + static_cast<size_t>(channel * bytesPerSample_);
    switch (bits_) {
        case 8:
            for (uint32_t i = 0; i < count; ++i, p += step) out[i] = int32_t{p[0]} - 128;
            break;
        case 16:
            for (uint32_t i = 0; i < count; ++i, p += step) {
                out[i] = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
            }
            break;
        default:
            for (uint32_t i = 0; i < count; ++i, p += step) {
                const uint32_t value = uint32_t{p[0]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 24;
                out[i] = static_cast<int32_t>(value) >> 8;
            }
            break;
    }
}

void FrameEncoder::ResetState() {
    for (int channel = 0; channel < 2; ++channel) {
        predictors_[channel].Reset();
        residuals_[channel].Reset();
        for (NNFilter& filter : filters_[channel]) filter.Reset();
    }
}

void FrameEncoder::Filter(int channel, int32_t* values, uint32_t count) {
    for (NNFilter& filter : filters_[channel]) filter.Compress(values, count);
}

FrameEncoder::Result FrameEncoder::Encode(const uint8_t* pcm, uint32_t blocks, const Drain& drain) {
    const size_t blockAlign = static_cast<size_t>(channels_ * bytesPerSample_);
    const uint32_t crc = Crc32(pcm, blocks * blockAlign) >> 1;
    const Kind kind = Classify(pcm, blocks);

    out_.Clear();
    if (kind == Kind::kNormal) {
        out_.PutWord(crc);
    } else {
        out_.PutWord(crc | kHasFlags);
        out_.PutWord(kind == Kind::kPseudoStereo ? kFlagPseudoStereo
                     : channels_ == 2            ? kFlagStereoSilence
                                                 : kFlagMonoSilence);
    }
    coder_.Start();

    if (kind != Kind::kSilent) {
        ResetState();
        const bool stereo = kind == Kind::kNormal && channels_ == 2;
        int32_t* const first = work_[0].data();
        int32_t* const second = work_[1].data();
        for (uint32_t start = 0; start < blocks; start += kChunk) {
            const uint32_t count = std::min(kChunk, blocks - start);
            const uint8_t* chunk = pcm + start * blockAlign;
            if (!stereo) {
                // Mono, or a pseudo-stereo frame whose left channel stands for both.
                Unpack(chunk, count, 0, channels_, first);
                Predictor& predictor = predictors_[0];
                for (uint32_t i = 0; i < count; ++i) first[i] = predictor.Mono(first[i]);
                Filter(0, first, count);
                for (uint32_t i = 0; i < count; ++i) residuals_[0].Encode(coder_, first[i]);
            } else {
                Unpack(chunk, count, 0, 2, first);
                Unpack(chunk, count, 1, 2, second);
                // Side (R − L) first, then mid (L + side / 2, truncated).
                for (uint32_t i = 0; i < count; ++i) {
                    const int32_t side = second[i] - first[i];
                    second[i] = first[i] + side / 2;
                    first[i] = side;
                }
                Predictor& side = predictors_[0];
                Predictor& mid = predictors_[1];
                if (checkWidth_) {
                    for (uint32_t i = 0; i < count; ++i) {
                        first[i] = side.Stereo<true>(first[i], mid.Latest());
                        second[i] = mid.Stereo<true>(second[i], side.Latest());
                    }
                    if (side.Overflowed() || mid.Overflowed()) return Result::kWidthOverflow;
                } else {
                    for (uint32_t i = 0; i < count; ++i) {
                        first[i] = side.Stereo<false>(first[i], mid.Latest());
                        second[i] = mid.Stereo<false>(second[i], side.Latest());
                    }
                }
                Filter(0, first, count);
                Filter(1, second, count);
                for (uint32_t i = 0; i < count; ++i) {
                    residuals_[0].Encode(coder_, first[i]);
                    residuals_[1].Encode(coder_, second[i]);
                }
            }
            drain(out_);
        }
    }
    coder_.Finish();
    drain(out_);
    return Result::kCoded;
}

}  // namespace mac
