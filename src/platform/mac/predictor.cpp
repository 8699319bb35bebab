// The per-channel adaptive predictor. Sums wrap at 32 bits as the decoders' do; the checked stereo form
// also works them out in 64 bits to find where a 64-bit decoder would differ.
#include "platform/mac/predictor.h"

#include <climits>

namespace mac {

namespace {

constexpr int32_t kInitialOwnWeights[4] = {360, 317, -109, 98};

int32_t Sign(int32_t value) {
    return (value > 0) - (value < 0);
}

int32_t WrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// value − (31 · previous) / 32, rounded down: the first-order filter both histories go through.
int32_t FirstOrder(int32_t value, int32_t previous) {
    return WrapSub(value, static_cast<int32_t>(31u * static_cast<uint32_t>(previous)) >> 5);
}

template <int N>
uint32_t Dot(const int32_t* weights, const int32_t* history) {
    uint32_t sum = 0;
    for (int k = 0; k < N; ++k) sum += static_cast<uint32_t>(weights[k]) * static_cast<uint32_t>(history[k]);
    return sum;
}

template <int N>
int64_t WideDot(const int32_t* weights, const int32_t* history) {
    int64_t sum = 0;
    for (int k = 0; k < N; ++k) sum += int64_t{weights[k]} * history[k];
    return sum;
}

bool Fits32(int64_t value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

}  // namespace

void Predictor::Reset() {
    *this = Predictor();
    for (int k = 0; k < 4; ++k) ownWeights_[k] = kInitialOwnWeights[k];
}

int32_t Predictor::Finish(int32_t sample, int32_t filtered, int32_t correction, const int32_t* crossHistory) {
    const int32_t residual = WrapSub(filtered, correction);
    const int32_t direction = Sign(residual);
    if (direction != 0) {
        for (int k = 0; k < 4; ++k) ownWeights_[k] += Sign(ownHistory_[k]) * direction;
        if (crossHistory) {
            for (int k = 0; k < 5; ++k) crossWeights_[k] += Sign(crossHistory[k]) * direction;
        }
    }
    ownDelta_[2] = ownDelta_[1];
    ownDelta_[1] = ownDelta_[0];
    ownDelta_[0] = WrapSub(filtered, filtered_);
    filtered_ = filtered;
    latest_ = sample;
    return residual;
}

int32_t Predictor::Mono(int32_t sample) {
    ownHistory_[0] = filtered_;
    ownHistory_[1] = ownDelta_[0];
    ownHistory_[2] = ownDelta_[1];
    ownHistory_[3] = ownDelta_[2];
    const int32_t own = static_cast<int32_t>(Dot<4>(ownWeights_, ownHistory_));
    return Finish(sample, FirstOrder(sample, latest_), own >> 10, nullptr);
}

template <bool CheckWidth>
int32_t Predictor::Stereo(int32_t sample, int32_t other) {
    ownHistory_[0] = filtered_;
    ownHistory_[1] = ownDelta_[0];
    ownHistory_[2] = ownDelta_[1];
    ownHistory_[3] = ownDelta_[2];

    const int32_t crossFiltered = FirstOrder(other, other_);
    other_ = other;
    const int32_t crossHistory[5] = {crossFiltered, WrapSub(crossFiltered, crossFiltered_), crossDelta_[0],
                                     crossDelta_[1], crossDelta_[2]};
    crossDelta_[2] = crossDelta_[1];
    crossDelta_[1] = crossDelta_[0];
    crossDelta_[0] = crossHistory[1];
    crossFiltered_ = crossFiltered;

    const int32_t own = static_cast<int32_t>(Dot<4>(ownWeights_, ownHistory_));
    const int32_t cross = static_cast<int32_t>(Dot<5>(crossWeights_, crossHistory));
    const int32_t correction = static_cast<int32_t>(static_cast<uint32_t>(own) + uint32_t(cross >> 1)) >> 10;
    if constexpr (CheckWidth) {
        const int64_t wideOwn = WideDot<4>(ownWeights_, ownHistory_);
        const int64_t wideCross = WideDot<5>(crossWeights_, crossHistory);
        if (!Fits32(wideOwn) || !Fits32(wideCross) || !Fits32(wideOwn + (wideCross >> 1))) overflowed_ = true;
    }
    return Finish(sample, FirstOrder(sample, latest_), correction, crossHistory);
}

template int32_t Predictor::Stereo<false>(int32_t, int32_t);
template int32_t Predictor::Stereo<true>(int32_t, int32_t);

}  // namespace mac
