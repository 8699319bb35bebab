// The entropy stage of a frame: a carry-propagating range coder over 31-bit low values and the adaptive
// coding of prediction residuals on top of it.
#pragma once

#include <cstdint>
#include <vector>

namespace mac {

// Bytes of the frame stream in the order a decoder reads them.
class ByteBuffer {
  public:
    void Put(uint8_t byte) { bytes_.push_back(byte); }
    void PutRepeated(uint8_t byte, uint32_t count) { bytes_.insert(bytes_.end(), count, byte); }
    void PutWord(uint32_t word) {  // big-endian
        Put(static_cast<uint8_t>(word >> 24));
        Put(static_cast<uint8_t>(word >> 16));
        Put(static_cast<uint8_t>(word >> 8));
        Put(static_cast<uint8_t>(word));
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    void Clear() { bytes_.clear(); }

  private:
    std::vector<uint8_t> bytes_;
};

class RangeEncoder {
  public:
    explicit RangeEncoder(ByteBuffer& out) : out_(out) {}

    // A new frame: the first byte emitted is a placeholder the decoder skips.
    void Start() {
        low_ = 0;
        range_ = kTop;
        pending_ = 0;
        queued_ = 0;
    }

    // A symbol of `width` starting at `cumulative` out of a total of 2^bits.
    void EncodeShift(uint32_t cumulative, uint32_t width, int bits) {
        Normalize();
        const uint32_t r = range_ >> bits;
        low_ += r * cumulative;
        range_ = r * width;
    }

    // The same over any total; the decoder divides here, so the encoder must as well.
    void EncodeTotal(uint32_t cumulative, uint32_t width, uint32_t total) {
        Normalize();
        const uint32_t r = range_ / total;
        low_ += r * cumulative;
        range_ = r * width;
    }

    // Ends the frame: the decoder reads four bytes past the last symbol's own.
    void Finish();

  private:
    static constexpr uint32_t kTop = 1u << 31;
    static constexpr uint32_t kBottom = 1u << 23;
    static constexpr int kShift = 23;

    void Normalize() {
        while (range_ <= kBottom) ShiftOut();
    }
    void ShiftOut();

    ByteBuffer& out_;
    uint32_t low_ = 0;
    uint32_t range_ = kTop;
    uint32_t pending_ = 0;
    uint32_t queued_ = 0;
};

// Codes one channel's residuals; `ksum` follows the recent magnitudes and sets the split between the
// modelled overflow and the uniformly coded remainder.
class ResidualCoder {
  public:
    void Reset() { ksum_ = 16384; }
    void Encode(RangeEncoder& coder, int32_t residual);

  private:
    uint32_t ksum_ = 16384;
};

}  // namespace mac
