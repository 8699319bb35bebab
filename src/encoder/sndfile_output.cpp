// The libsndfile writers' file view and the turn of a long WAV file into RF64 (one ds64 chunk in front of
// libsndfile's own chunks, the 32-bit sizes set to 0xFFFFFFFF, the true sizes in ds64).
#include "encoder/sndfile_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "encoder/maker.h"

namespace {

constexpr uint64_t kFullLimit = 0xFFFFFFFF;
// "RIFF", its size and "WAVE": libsndfile's chunks follow at this offset.
constexpr off_t kRiffHeader = 12;
// The ds64 chunk: its id and size, then the RIFF size, the data size, the sample count (64 bits each)
// and the length of a table this program never writes (32 bits).
constexpr off_t kDs64Chunk = 8 + 28;
// Pieces in which the data moves back where the file system cannot insert room.
constexpr off_t kMovePiece = off_t{4} << 20;

void PutLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutLe64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t GetLe32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

// The writers' write error, followed by what went wrong.
[[noreturn]] void Fail(const std::string& text) {
    throw EEncoderError(std::string(kSndfileWriteFailed) + text);
}

}  // namespace

uint64_t SizeFieldLimit() {
#ifdef WAVETROVE_TEST_LIMITS
    if (const char* text = std::getenv("WAVETROVE_SIZE_FIELD_LIMIT")) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (end != text && *end == '\0' && value > 0 && value < kFullLimit) return value;
    }
#endif
    return kFullLimit;
}

bool Rf64RoomByCopy() {
#ifdef WAVETROVE_TEST_LIMITS
    const char* text = std::getenv("WAVETROVE_RF64_ROOM");
    return text && std::strcmp(text, "copy") == 0;
#else
    return false;
#endif
}

sf_count_t SndfileOutput::Length() const {
    const off_t length = file_.Length();
    return length < 0 ? -1 : length - room_;
}

sf_count_t SndfileOutput::Seek(sf_count_t offset, int whence) {
    sf_count_t target = offset;
    if (whence == SEEK_CUR) target += position_;
    if (whence == SEEK_END) target += Length();
    if (target < 0) return -1;
    position_ = target;
    return position_;
}

bool SndfileOutput::SeekFile() {
    // libsndfile mostly writes one piece after the other: the descriptor is already where it must be.
    if (filePosition_ == position_ + room_) return true;
    filePosition_ = file_.Seek(position_ + room_, SEEK_SET);
    return filePosition_ >= 0;
}

sf_count_t SndfileOutput::Read(void* data, sf_count_t count) {
    if (!SeekFile()) return 0;
    const off_t done = file_.Read(data, count);
    position_ += done;
    filePosition_ += done;
    return done;
}

sf_count_t SndfileOutput::Write(const void* data, sf_count_t count) {
    if (!SeekFile()) return 0;
    const off_t done = file_.Write(data, count);
    position_ += done;
    filePosition_ += done;
    return done;
}

void SndfileOutput::MakeRf64Room(bool copy) {
    if (room_ > 0) return;
    filePosition_ = -1;  // the descriptor moves below
    const off_t length = file_.Length();
    if (length < 0) Fail(std::generic_category().message(errno));
    // A whole block inserted costs nothing but a JUNK chunk behind ds64 (at least its 8-byte header).
    const off_t block = file_.BlockSize();
    if (!copy && block >= kDs64Chunk + 8 && file_.InsertAtStart(block) == 0) {
        room_ = block;
        return;
    }
    // Move everything back by the size of ds64, from the end so that nothing is overwritten before it
    // has moved. Only outputs past 4 GiB come here, once.
    std::vector<char> piece(static_cast<size_t>(std::min(kMovePiece, std::max<off_t>(length, 1))));
    for (off_t end = length; end > 0;) {
        const off_t size = std::min<off_t>(static_cast<off_t>(piece.size()), end);
        const off_t start = end - size;
        if (file_.Seek(start, SEEK_SET) < 0 || file_.Read(piece.data(), size) != size)
            Fail("could not read back the data to make room for RF64");
        if (file_.Seek(start + kDs64Chunk, SEEK_SET) < 0 || file_.Write(piece.data(), size) != size)
            Fail(file_.Failed() ? file_.Error() : std::generic_category().message(errno));
        end = start;
    }
    room_ = kDs64Chunk;
}

void SndfileOutput::FinishRf64(uint64_t dataBytes, uint64_t frames) {
    if (room_ == 0) return;
    filePosition_ = -1;
    const off_t length = file_.Length();
    // libsndfile's chunks between "WAVE" and the sound data: fmt, fact, PEAK, and the data chunk's header.
    std::vector<uint8_t> chunks;
    const auto fail = [&](const std::string& what) { Fail(file_.Failed() ? file_.Error() : what); };
    const off_t chunksAt = room_ + kRiffHeader;
    bool found = false;
    for (off_t at = chunksAt; !found && at + 8 <= length;) {
        uint8_t header[8];
        if (file_.Seek(at, SEEK_SET) < 0 || file_.Read(header, 8) != 8) fail("could not read the header");
        const uint32_t size = GetLe32(header + 4);
        const bool data = std::memcmp(header, "data", 4) == 0;
        const off_t whole = data ? 8 : 8 + static_cast<off_t>(size) + (size & 1);
        chunks.resize(static_cast<size_t>(at + whole - chunksAt));
        if (file_.Seek(at, SEEK_SET) < 0 || file_.Read(chunks.data() + (at - chunksAt), whole) != whole)
            fail("could not read the header");
        uint8_t* chunk = chunks.data() + (at - chunksAt);
        // Sizes that do not fit their 32 bits say so; the true ones are in ds64.
        if (data) {
            PutLe32(chunk + 4, 0xFFFFFFFF);
            found = true;
        } else if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            PutLe32(chunk + 8, frames > kFullLimit ? 0xFFFFFFFF : static_cast<uint32_t>(frames));
        }
        at += whole;
    }
    if (!found) fail("no data chunk in the header");

    std::vector<uint8_t> front(static_cast<size_t>(kRiffHeader + room_));
    std::memcpy(front.data(), "RF64", 4);
    PutLe32(front.data() + 4, 0xFFFFFFFF);
    std::memcpy(front.data() + 8, "WAVE", 4);
    uint8_t* ds64 = front.data() + kRiffHeader;
    std::memcpy(ds64, "ds64", 4);
    PutLe32(ds64 + 4, 28);
    PutLe64(ds64 + 8, static_cast<uint64_t>(length) - 8);
    PutLe64(ds64 + 16, dataBytes);
    PutLe64(ds64 + 24, frames);
    PutLe32(ds64 + 32, 0);
    if (room_ > kDs64Chunk) {
        // The rest of an inserted block, up to where libsndfile's chunks start, is one JUNK chunk.
        uint8_t* junk = ds64 + kDs64Chunk;
        std::memcpy(junk, "JUNK", 4);
        PutLe32(junk + 4, static_cast<uint32_t>(room_ - kDs64Chunk - 8));
    }
    if (file_.Seek(0, SEEK_SET) < 0 ||
        file_.Write(front.data(), static_cast<off_t>(front.size())) != static_cast<off_t>(front.size()) ||
        file_.Write(chunks.data(), static_cast<off_t>(chunks.size())) != static_cast<off_t>(chunks.size()))
        fail("could not write the header");
}

SF_VIRTUAL_IO* SndfileOutput::Io() {
    static SF_VIRTUAL_IO io = {
        [](void* file) -> sf_count_t { return static_cast<SndfileOutput*>(file)->Length(); },
        [](sf_count_t offset, int whence, void* file) -> sf_count_t {
            return static_cast<SndfileOutput*>(file)->Seek(offset, whence);
        },
        [](void* data, sf_count_t count, void* file) -> sf_count_t {
            return static_cast<SndfileOutput*>(file)->Read(data, count);
        },
        [](const void* data, sf_count_t count, void* file) -> sf_count_t {
            return static_cast<SndfileOutput*>(file)->Write(data, count);
        },
        [](void* file) -> sf_count_t { return static_cast<SndfileOutput*>(file)->Tell(); },
    };
    return &io;
}
