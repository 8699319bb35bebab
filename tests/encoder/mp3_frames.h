// A small independent reader of MPEG audio layer III frame headers and of the LAME/Xing information
// frame, so tests can check what the encoder put into the stream bit by bit.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

struct Mp3Frame {
    size_t offset = 0;
    size_t length = 0;
    int version = 0;  // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;
    int bitrate = 0;  // kbit/s
    int sampleRate = 0;
    bool crc = false;
    bool privateBit = false;
    int mode = 0;  // 0 stereo, 1 joint, 2 dual, 3 mono
    bool copyright = false;
    bool original = false;
};

inline std::optional<Mp3Frame> ParseMp3Header(const std::vector<uint8_t>& bytes, size_t at) {
    if (at + 4 > bytes.size()) return std::nullopt;
    const uint32_t h = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                       uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    if ((h >> 21) != 0x7FF) return std::nullopt;
    const int versionBits = (h >> 19) & 3;
    const int layerBits = (h >> 17) & 3;
    const int bitrateIndex = (h >> 12) & 15;
    const int rateIndex = (h >> 10) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    static const int kMpeg1Rates[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kMpeg2Rates[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kSampleRates[3] = {44100, 48000, 32000};
    Mp3Frame f;
    f.offset = at;
    f.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    f.layer = 4 - layerBits;
    f.bitrate = f.version == 10 ? kMpeg1Rates[bitrateIndex] : kMpeg2Rates[bitrateIndex];
    f.sampleRate = kSampleRates[rateIndex] / (f.version == 10 ? 1 : f.version == 20 ? 2 : 4);
    f.crc = ((h >> 16) & 1) == 0;
    const int padding = (h >> 9) & 1;
    f.privateBit = (h >> 8) & 1;
    f.mode = (h >> 6) & 3;
    f.copyright = (h >> 3) & 1;
    f.original = (h >> 2) & 1;
    const int factor = f.version == 10 ? 144 : 72;
    f.length = static_cast<size_t>(factor * f.bitrate * 1000 / f.sampleRate + padding);
    return f;
}

// Every frame from the start of the file until something that is not a frame.
inline std::vector<Mp3Frame> Mp3Frames(const std::vector<uint8_t>& bytes) {
    std::vector<Mp3Frame> frames;
    size_t at = 0;
    while (auto frame = ParseMp3Header(bytes, at)) {
        if (frame->offset + frame->length > bytes.size()) break;
        frames.push_back(*frame);
        at += frame->length;
    }
    return frames;
}

struct InfoFrame {
    bool vbr = false;  // "Xing" rather than "Info"
    std::optional<uint32_t> frames;
    bool lame = false;  // a LAME extension follows
    int delay = -1;     // encoder delay and padding from the LAME extension
    int padding = -1;
};

// The Xing/Info header of the first frame, if it is an information frame.
inline std::optional<InfoFrame> ReadInfoFrame(const std::vector<uint8_t>& bytes, const Mp3Frame& first) {
    const bool mono = first.mode == 3;
    const size_t sideInfo = first.version == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    // LAME puts the fields where they would be without a CRC, and readers look there.
    size_t at = first.offset + 4 + sideInfo;
    if (at + 8 > bytes.size()) return std::nullopt;
    InfoFrame info;
    if (std::memcmp(&bytes[at], "Xing", 4) == 0) {
        info.vbr = true;
    } else if (std::memcmp(&bytes[at], "Info", 4) != 0) {
        return std::nullopt;
    }
    auto be32 = [&](size_t p) {
        return uint32_t{bytes[p]} << 24 | uint32_t{bytes[p + 1]} << 16 | uint32_t{bytes[p + 2]} << 8 |
               bytes[p + 3];
    };
    const uint32_t flags = be32(at + 4);
    at += 8;
    if (flags & 1) info.frames = be32(at), at += 4;
    if (flags & 2) at += 4;
    if (flags & 4) at += 100;
    if (flags & 8) at += 4;
    if (at + 24 <= first.offset + first.length && std::memcmp(&bytes[at], "LAME", 4) == 0) {
        info.lame = true;
        info.delay = bytes[at + 21] << 4 | bytes[at + 22] >> 4;
        info.padding = (bytes[at + 22] & 0x0F) << 8 | bytes[at + 23];
    }
    return info;
}
