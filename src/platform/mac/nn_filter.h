// One sign-sign adaptive FIR stage of the compressor ("neural net" filter): it predicts each value from
// the previous `order` values saturated to 16 bits and keeps only what the prediction misses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mac {

class NNFilter {
  public:
    // Instruction sets for the inner loop; kBest picks the widest the processor offers.
    enum class Kernels { kBest, kScalar, kSse2, kAvx2 };

    NNFilter(int order, int fractionBits, Kernels kernels = Kernels::kBest);

    // The state every frame starts from.
    void Reset();
    // Replaces each of `count` values (in coding order) by its prediction error and adapts.
    void Compress(int32_t* values, size_t count);

    // Whether the processor runs the AVX2 kernels.
    static bool HasAvx2();

  private:
    // A weight update by ±the adapt window followed by the next dot product, in one pass.
    using Kernel = int32_t (*)(int16_t* weights, const int16_t* adapt, const int16_t* history, int order,
                               int direction);

    const int order_;
    const int shift_;
    const int32_t round_;
    Kernel kernel_;
    std::vector<int16_t> weights_;
    // Linear histories: the last `order_` entries before `pos_` are the window; they are moved back to
    // the front only when the buffer is used up, so each step reads one contiguous run.
    std::vector<int16_t> history_;
    std::vector<int16_t> adapt_;
    size_t pos_ = 0;
    int32_t average_ = 0;
    int32_t dot_ = 0;  // the prediction sum for the value about to come
};

}  // namespace mac
