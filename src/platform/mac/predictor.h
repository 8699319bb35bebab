// The first prediction stage of one channel: a first-order filter followed by a small sign-sign adaptive
// predictor over the channel's own past and, in stereo, over the other channel.
#pragma once

#include <cstdint>

namespace mac {

class Predictor {
  public:
    // The state every frame starts from.
    void Reset();

    // The residual of one sample of a mono channel.
    int32_t Mono(int32_t sample);
    // The residual of one sample of a stereo channel; `other` is the other channel's latest sample (the
    // previous block's for the channel coded first). With `CheckWidth`, notes whether any sum left the
    // 32-bit range, where decoders disagree.
    template <bool CheckWidth>
    int32_t Stereo(int32_t sample, int32_t other);

    // The latest sample this channel coded.
    int32_t Latest() const { return latest_; }
    // Whether a checked sum left the 32-bit range since the last Reset.
    bool Overflowed() const { return overflowed_; }

  private:
    // Adapts the weights to the residual and moves the own history on by one sample.
    int32_t Finish(int32_t sample, int32_t filtered, int32_t correction, const int32_t* crossHistory);

    int32_t filtered_ = 0;        // first-order output of the previous sample
    int32_t ownDelta_[3] = {};    // its last three changes, newest first
    int32_t latest_ = 0;          // the previous sample
    int32_t other_ = 0;           // the other channel's previous value
    int32_t crossFiltered_ = 0;   // first-order output of that value
    int32_t crossDelta_[3] = {};  // its last three changes, newest first
    int32_t ownWeights_[4] = {};
    int32_t crossWeights_[5] = {};
    int32_t ownHistory_[4] = {};  // what the current sample is predicted from
    bool overflowed_ = false;
};

}  // namespace mac
