// Range coder output and residual coding for the frame stream.
#include "platform/mac/range_coder.h"

#include <bit>

namespace mac {

namespace {

// Cumulative frequencies (out of 2^16) of the overflow values 0 to 20.
constexpr uint32_t kCumulative[22] = {0,     19578, 36160, 48417, 56323, 60899, 63265, 64435,
                                      64971, 65232, 65351, 65416, 65447, 65466, 65476, 65482,
                                      65485, 65488, 65490, 65491, 65492, 65493};
constexpr uint32_t kModelled = 21;      // overflows coded through the table
constexpr uint32_t kEscapeFrom = 63;    // overflows from here on are sent raw
constexpr uint32_t kSmallBase = 65472;  // cumulative of overflow 0 in the run of width-1 symbols
constexpr uint32_t kEscape = 65535;

}  // namespace

void RangeEncoder::ShiftOut() {
    if (low_ < (0xFFu << kShift)) {
        // The top byte can no longer change: release the held byte and any run of 0xFF behind it.
        out_.Put(static_cast<uint8_t>(pending_));
        out_.PutRepeated(0xFF, queued_);
        queued_ = 0;
        pending_ = low_ >> kShift;
    } else if (low_ & kTop) {
        // A carry ran into the held byte; the 0xFF run behind it rolls over to zeros.
        out_.Put(static_cast<uint8_t>(pending_ + 1));
        out_.PutRepeated(0x00, queued_);
        queued_ = 0;
        pending_ = (low_ >> kShift) & 0xFF;
    } else {
        // 0xFF: a later carry may still turn it into 0x00, so only count it.
        ++queued_;
    }
    range_ <<= 8;
    low_ = (low_ << 8) & (kTop - 1);
}

void RangeEncoder::Finish() {
    Normalize();
    const bool carry = (low_ & kTop) != 0;
    out_.Put(static_cast<uint8_t>(pending_ + (carry ? 1 : 0)));
    out_.PutRepeated(carry ? 0x00 : 0xFF, queued_);
    queued_ = 0;
    // The decoder's window lags the byte stream by one bit, hence the last byte shifted left.
    out_.Put(static_cast<uint8_t>(low_ >> 23));
    out_.Put(static_cast<uint8_t>(low_ >> 15));
    out_.Put(static_cast<uint8_t>(low_ >> 7));
    out_.Put(static_cast<uint8_t>((low_ & 0x7F) << 1));
}

void ResidualCoder::Encode(RangeEncoder& coder, int32_t residual) {
    // Fold the sign in: 1 → 1, −1 → 2, 2 → 3, ... (wrapping, as the decoder unfolds it).
    const uint32_t value = static_cast<uint32_t>(residual);
    const uint32_t x = residual > 0 ? 2 * value - 1 : 0 - 2 * value;

    uint32_t pivot = ksum_ >> 5;
    if (pivot == 0) pivot = 1;
    const uint32_t overflow = x / pivot;
    const uint32_t base = x % pivot;

    if (overflow < kModelled) {
        coder.EncodeShift(kCumulative[overflow], kCumulative[overflow + 1] - kCumulative[overflow], 16);
    } else if (overflow < kEscapeFrom) {
        coder.EncodeShift(kSmallBase + overflow, 1, 16);
    } else {
        coder.EncodeShift(kEscape, 1, 16);
        coder.EncodeShift(overflow >> 16, 1, 16);
        coder.EncodeShift(overflow & 0xFFFF, 1, 16);
    }

    if (pivot < 65536) {
        coder.EncodeTotal(base, 1, pivot);
    } else {
        const int bits = std::bit_width(pivot) - 16;
        coder.EncodeTotal(base >> bits, 1, (pivot >> bits) + 1);
        coder.EncodeShift(base & ((1u << bits) - 1), 1, bits);
    }

    ksum_ += (x + 1) / 2 - ((ksum_ + 16) >> 5);
}

}  // namespace mac
