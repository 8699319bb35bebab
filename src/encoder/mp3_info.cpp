// Information frames past their 32-bit counts: the Xing fields that do not fit are dropped from the frame.
#include "encoder/mp3_info.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kFramesFlag = 0x1;
constexpr uint32_t kBytesFlag = 0x2;
constexpr uint32_t kTocFlag = 0x4;
constexpr uint32_t kScaleFlag = 0x8;
constexpr uint64_t kMax32 = 0xFFFFFFFF;
// The LAME extension behind the Xing fields: 36 bytes, its music length at 28 and its own CRC at 34.
constexpr size_t kLameBytes = 36;
constexpr size_t kMusicLengthAt = 28;
constexpr size_t kTagCrcAt = 34;

uint32_t GetBe32(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}
void PutBe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// Where the "Xing"/"Info" id starts: behind the 4-byte header and the side information, whose length
// depends on the MPEG version and on mono; 0 for no layer III frame. A frame with a CRC has it there too:
// LAME writes the fields where they would be without it, which is where readers look.
size_t XingOffset(const uint8_t* frame) {
    if (frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0 || ((frame[1] >> 1) & 3) != 1) return 0;
    const bool mpeg1 = ((frame[1] >> 3) & 3) == 3;
    const bool mono = ((frame[3] >> 6) & 3) == 3;
    const size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return 4 + sideInfo;
}

}  // namespace

uint16_t InfoFrameCrc(const uint8_t* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

bool FitInfoFrame(uint8_t* frame, size_t size, uint64_t frames, uint64_t bytes) {
    if (size < 4) return false;
    const size_t xing = XingOffset(frame);
    if (xing == 0 || xing + 8 > size) return false;
    if (std::memcmp(frame + xing, "Xing", 4) != 0 && std::memcmp(frame + xing, "Info", 4) != 0) return false;
    const uint32_t flags = GetBe32(frame + xing + 4);
    const bool dropFrames = (flags & kFramesFlag) && frames > kMax32;
    const bool dropBytes = (flags & kBytesFlag) && bytes > kMax32;
    if (!dropFrames && !dropBytes) return true;

    // The fields in their order, each kept or dropped.
    struct Field {
        uint32_t flag;
        size_t length;
        bool drop;
    };
    const Field fields[] = {{kFramesFlag, 4, dropFrames},
                            {kBytesFlag, 4, dropBytes},
                            {kTocFlag, 100, false},
                            {kScaleFlag, 4, false}};
    size_t end = xing + 8;
    for (const Field& field : fields)
        if (flags & field.flag) end += field.length;
    const bool lame = end + kLameBytes <= size && std::memcmp(frame + end, "LAME", 4) == 0;
    if (end > size) return false;

    std::vector<uint8_t> fitted(frame, frame + xing + 8);
    PutBe32(fitted.data() + xing + 4,
            flags & ~((dropFrames ? kFramesFlag : 0) | (dropBytes ? kBytesFlag : 0)));
    size_t at = xing + 8;
    for (const Field& field : fields) {
        if (!(flags & field.flag)) continue;
        if (!field.drop) fitted.insert(fitted.end(), frame + at, frame + at + field.length);
        at += field.length;
    }
    if (lame) {
        const size_t lameAt = fitted.size();
        fitted.insert(fitted.end(), frame + end, frame + end + kLameBytes);
        // The music length is the stream's byte count too.
        if (bytes > kMax32) PutBe32(fitted.data() + lameAt + kMusicLengthAt, 0);
        const uint16_t crc = InfoFrameCrc(fitted.data(), lameAt + kTagCrcAt);
        fitted[lameAt + kTagCrcAt] = static_cast<uint8_t>(crc >> 8);
        fitted[lameAt + kTagCrcAt + 1] = static_cast<uint8_t>(crc);
        end += kLameBytes;
    }
    // Whatever followed moves up with the fields; the bytes freed at the end are zero.
    fitted.insert(fitted.end(), frame + end, frame + size);
    fitted.resize(size, 0);
    std::memcpy(frame, fitted.data(), size);
    return true;
}
