// The FIR stage's three inner loops (plain, SSE2, AVX2) must agree exactly, wrapping and saturating alike;
// the round-trip tests only run the widest one the machine has.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/mac/nn_filter.h"

namespace {

using mac::NNFilter;

// Values spanning well past 16 bits, with long quiet and loud stretches so weights grow large and wrap.
std::vector<int32_t> Input(uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<int32_t> values(20000);
    for (size_t i = 0; i < values.size(); ++i) {
        const int shift = (i / 2500) % 2 ? 24 : 8;
        values[i] = static_cast<int32_t>(random() >> (32 - shift)) - (1 << (shift - 1));
    }
    values[100] = INT32_MIN / 2;
    values[101] = INT32_MAX / 2;
    return values;
}

std::vector<int32_t> Filtered(int order, int bits, NNFilter::Kernels kernels, std::vector<int32_t> values) {
    NNFilter filter(order, bits, kernels);
    // Two "frames" in odd pieces, so the reset and the history's move back to the front are both crossed.
    for (int frame = 0; frame < 2; ++frame) {
        filter.Reset();
        std::vector<int32_t> part(values.begin() + frame * 10000, values.begin() + (frame + 1) * 10000);
        for (size_t at = 0; at < part.size(); at += 777) {
            filter.Compress(part.data() + at, std::min<size_t>(777, part.size() - at));
        }
        std::copy(part.begin(), part.end(), values.begin() + frame * 10000);
    }
    return values;
}

TEST(NNFilter, KernelsAgreeForEveryStage) {
    const struct { int order, bits; } stages[] = {{16, 11}, {32, 10}, {64, 11}, {256, 13}, {1280, 15}};
    for (const auto& stage : stages) {
        const std::vector<int32_t> input = Input(static_cast<uint32_t>(stage.order));
        const std::vector<int32_t> plain =
            Filtered(stage.order, stage.bits, NNFilter::Kernels::kScalar, input);
        EXPECT_NE(plain, input);
        EXPECT_EQ(Filtered(stage.order, stage.bits, NNFilter::Kernels::kSse2, input), plain) << stage.order;
        if (NNFilter::HasAvx2()) {
            EXPECT_EQ(Filtered(stage.order, stage.bits, NNFilter::Kernels::kAvx2, input), plain)
                << stage.order;
        }
    }
}

}  // namespace
