// A small, independent reader of Ogg streams for the Vorbis and Opus writer tests: splits a file into
// pages, checks each page's CRC and reassembles the packets with the page each one ends on.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace oggtest {

struct Page {
    uint8_t flags = 0;  // 1 continued packet, 2 beginning of stream, 4 end of stream
    int64_t granule = 0;
    uint32_t serial = 0;
    uint32_t sequence = 0;
    bool crcOk = false;
    size_t packetsEnding = 0;  // packets completed on this page
    bool startsWithContinuation() const { return (flags & 1) != 0; }
};

struct Packet {
    std::vector<uint8_t> data;
    size_t firstPage = 0;  // page the packet starts on
    size_t lastPage = 0;   // page the packet ends on
};

struct Stream {
    std::vector<Page> pages;
    std::vector<Packet> packets;
    std::string error;  // empty when every byte belonged to a well-formed page
};

inline uint32_t Crc(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xff];
    return crc;
}

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline Stream Parse(const std::vector<uint8_t>& file) {
    Stream stream;
    std::vector<uint8_t> partial;
    bool inPacket = false;
    size_t partialStart = 0;
    size_t at = 0;
    while (at < file.size()) {
        if (file.size() - at < 27 || std::memcmp(&file[at], "OggS", 4) != 0 || file[at + 4] != 0) {
            stream.error = "no page at byte " + std::to_string(at);
            return stream;
        }
        const size_t segments = file[at + 26];
        if (file.size() - at < 27 + segments) {
            stream.error = "cut page header at byte " + std::to_string(at);
            return stream;
        }
        size_t bodySize = 0;
        for (size_t i = 0; i < segments; ++i) bodySize += file[at + 27 + i];
        const size_t pageSize = 27 + segments + bodySize;
        if (file.size() - at < pageSize) {
            stream.error = "cut page body at byte " + std::to_string(at);
            return stream;
        }
        Page page;
        page.flags = file[at + 5];
        page.granule =
            static_cast<int64_t>(uint64_t{Le32(&file[at + 6])} | uint64_t{Le32(&file[at + 10])} << 32);
        page.serial = Le32(&file[at + 14]);
        page.sequence = Le32(&file[at + 18]);
        std::vector<uint8_t> copy(file.begin() + static_cast<std::ptrdiff_t>(at),
                                  file.begin() + static_cast<std::ptrdiff_t>(at + pageSize));
        std::memset(&copy[22], 0, 4);
        page.crcOk = Crc(copy.data(), copy.size()) == Le32(&file[at + 22]);
        const size_t pageIndex = stream.pages.size();
        const uint8_t* body = &file[at + 27 + segments];
        for (size_t i = 0; i < segments; ++i) {
            const uint8_t lace = file[at + 27 + i];
            if (!inPacket) {
                inPacket = true;
                partialStart = pageIndex;
            }
            partial.insert(partial.end(), body, body + lace);
            body += lace;
            if (lace < 255) {
                stream.packets.push_back({std::move(partial), partialStart, pageIndex});
                partial.clear();
                inPacket = false;
                ++page.packetsEnding;
            }
        }
        stream.pages.push_back(page);
        at += pageSize;
    }
    return stream;
}

// Every page of a single logical stream: CRC right, one serial, sequence numbers 0, 1, 2, ..., the
// begin flag on the first page only and the end flag on the last only.
inline void ExpectOnePageChain(const Stream& stream) {
    for (size_t i = 0; i < stream.pages.size(); ++i) {
        const Page& page = stream.pages[i];
        EXPECT_TRUE(page.crcOk) << "page " << i;
        EXPECT_EQ(page.serial, stream.pages[0].serial) << "page " << i;
        EXPECT_EQ(page.sequence, i);
        EXPECT_EQ((page.flags & 2) != 0, i == 0) << "begin flag on page " << i;
        EXPECT_EQ((page.flags & 4) != 0, i + 1 == stream.pages.size()) << "end flag on page " << i;
    }
}

}  // namespace oggtest
