// The two checksums of the file: CRC-32 over each frame's PCM (checked by decoders) and MD5 over the stored
// frames and headers (checked by verifying tools).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mac {

// Standard CRC-32 (reflected polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF).
uint32_t Crc32(const uint8_t* data, size_t size);

class Md5 {
  public:
    Md5() { Reset(); }
    void Reset();
    void Update(const uint8_t* data, size_t size);
    std::array<uint8_t, 16> Final();

  private:
    void Block(const uint8_t* block);

    uint32_t state_[4];
    uint64_t length_;
    uint8_t buffer_[64];
    size_t filled_;
};

}  // namespace mac
