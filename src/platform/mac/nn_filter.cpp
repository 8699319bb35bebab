// The adaptive FIR stage with its inner loop in three forms: plain C++, SSE2 (pmaddwd, eight taps per
// step) and AVX2 (sixteen taps), the last chosen only when the processor reports it. All three wrap
// exactly like the decoder's 16-bit weights and 32-bit sums.
#include "platform/mac/nn_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MAC_HAVE_X86 1
#endif

namespace mac {

namespace {

// Room for this many values past the window before the histories are moved back to the front.
constexpr size_t kSlack = 4096;

int16_t Saturate16(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

template <int Direction>
int32_t ScalarKernel(int16_t* weights, const int16_t* adapt, const int16_t* history, int order) {
    uint32_t sum = 0;
    for (int j = 0; j < order; ++j) {
        if constexpr (Direction > 0) weights[j] = static_cast<int16_t>(weights[j] + adapt[j]);
        if constexpr (Direction < 0) weights[j] = static_cast<int16_t>(weights[j] - adapt[j]);
        sum += static_cast<uint32_t>(int32_t{weights[j]} * int32_t{history[j]});
    }
    return static_cast<int32_t>(sum);
}

int32_t Scalar(int16_t* weights, const int16_t* adapt, const int16_t* history, int order, int direction) {
    if (direction > 0) return ScalarKernel<1>(weights, adapt, history, order);
    if (direction < 0) return ScalarKernel<-1>(weights, adapt, history, order);
    return ScalarKernel<0>(weights, adapt, history, order);
}

#if MAC_HAVE_X86

// Orders are multiples of 16, so neither kernel needs a tail.
template <int Direction>
int32_t Sse2Kernel(int16_t* weights, const int16_t* adapt, const int16_t* history, int order) {
    __m128i sum = _mm_setzero_si128();
    for (int j = 0; j < order; j += 8) {
        auto* w = reinterpret_cast<__m128i*>(weights + j);
        __m128i value = _mm_loadu_si128(w);
        if constexpr (Direction != 0) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(adapt + j));
            value = Direction > 0 ? _mm_add_epi16(value, a) : _mm_sub_epi16(value, a);
            _mm_storeu_si128(w, value);
        }
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(history + j));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(value, h));
    }
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(sum);
}

int32_t Sse2(int16_t* weights, const int16_t* adapt, const int16_t* history, int order, int direction) {
    if (direction > 0) return Sse2Kernel<1>(weights, adapt, history, order);
    if (direction < 0) return Sse2Kernel<-1>(weights, adapt, history, order);
    return Sse2Kernel<0>(weights, adapt, history, order);
}

template <int Direction>
__attribute__((target("avx2"))) int32_t Avx2Kernel(int16_t* weights, const int16_t* adapt,
                                                   const int16_t* history, int order) {
    __m256i sum = _mm256_setzero_si256();
    for (int j = 0; j < order; j += 16) {
        auto* w = reinterpret_cast<__m256i*>(weights + j);
        __m256i value = _mm256_loadu_si256(w);
        if constexpr (Direction != 0) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(adapt + j));
            value = Direction > 0 ? _mm256_add_epi16(value, a) : _mm256_sub_epi16(value, a);
            _mm256_storeu_si256(w, value);
        }
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history + j));
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(value, h));
    }
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(half);
}

__attribute__((target("avx2"))) int32_t Avx2(int16_t* weights, const int16_t* adapt, const int16_t* history,
                                             int order, int direction) {
    if (direction > 0) return Avx2Kernel<1>(weights, adapt, history, order);
    if (direction < 0) return Avx2Kernel<-1>(weights, adapt, history, order);
    return Avx2Kernel<0>(weights, adapt, history, order);
}

#endif

}  // namespace

bool NNFilter::HasAvx2() {
#if MAC_HAVE_X86
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

NNFilter::NNFilter(int order, int fractionBits, Kernels kernels)
    : order_(order),
      shift_(fractionBits),
      round_(int32_t{1} << (fractionBits - 1)),
      kernel_(Scalar),
      weights_(static_cast<size_t>(order)),
      history_(static_cast<size_t>(order) + kSlack),
      adapt_(static_cast<size_t>(order) + kSlack) {
#if MAC_HAVE_X86
    if (kernels == Kernels::kSse2 || (kernels == Kernels::kBest && !HasAvx2())) kernel_ = Sse2;
    if (kernels == Kernels::kAvx2 || (kernels == Kernels::kBest && HasAvx2())) kernel_ = Avx2;
#else
    (void)kernels;
#endif
    Reset();
}

void NNFilter::Reset() {
    std::fill(weights_.begin(), weights_.end(), int16_t{0});
    std::fill(history_.begin(), history_.end(), int16_t{0});
    std::fill(adapt_.begin(), adapt_.end(), int16_t{0});
    pos_ = static_cast<size_t>(order_);
    average_ = 0;
    dot_ = 0;
}

void NNFilter::Compress(int32_t* values, size_t count) {
    const size_t order = static_cast<size_t>(order_);
    for (size_t i = 0; i < count; ++i) {
        if (pos_ == history_.size()) {
            std::memmove(history_.data(), history_.data() + pos_ - order, order * sizeof(int16_t));
            std::memmove(adapt_.data(), adapt_.data() + pos_ - order, order * sizeof(int16_t));
            pos_ = order;
        }
        const int32_t value = values[i];
        // The sum wraps at 32 bits, but adding the rounding term to it does not: a sum within that term of
        // the top predicts +2^(32-shift), as the decoder has it, not the wrapped negative value.
        const int32_t prediction = static_cast<int32_t>((int64_t{dot_} + round_) >> shift_);
        const int32_t error =
            static_cast<int32_t>(static_cast<uint32_t>(value) - static_cast<uint32_t>(prediction));
        values[i] = error;

        history_[pos_] = Saturate16(value);
        const int direction = (error > 0) - (error < 0);
        // Adapt by the window as it stood for this value, then form the next value's prediction over the
        // window that now ends with this value.
        dot_ = kernel_(weights_.data(), adapt_.data() + pos_ - order, history_.data() + pos_ + 1 - order,
                       order_, direction);

        const int64_t magnitude = value < 0 ? -int64_t{value} : int64_t{value};
        int16_t step = 0;
        if (value != 0) {
            const int64_t average = average_;
            step = magnitude > 3 * average ? 32 : magnitude > average + average / 3 ? 16 : 8;
            if (value < 0) step = static_cast<int16_t>(-step);
        }
        adapt_[pos_] = step;
        average_ = static_cast<int32_t>(average_ + (magnitude - average_) / 16);
        adapt_[pos_ - 1] = static_cast<int16_t>(adapt_[pos_ - 1] >> 1);
        adapt_[pos_ - 2] = static_cast<int16_t>(adapt_[pos_ - 2] >> 1);
        adapt_[pos_ - 8] = static_cast<int16_t>(adapt_[pos_ - 8] >> 1);
        ++pos_;
    }
}

}  // namespace mac
