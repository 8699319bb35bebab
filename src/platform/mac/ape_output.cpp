// Writing the container: descriptor, header, seek table, then the frame stream stored as little-endian
// 32-bit words of its big-endian bytes.
#include "platform/mac/ape_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/mac/macdll.h"

namespace mac {

namespace {

constexpr uint32_t kDescriptorBytes = 52;
constexpr uint32_t kHeaderBytes = 24;
constexpr uint16_t kVersion = 3990;
constexpr uint16_t kFlagCreateWavHeader = 32;
constexpr size_t kFlushBytes = size_t{1} << 20;
constexpr uint64_t kMaxOffset = UINT32_MAX;  // seek-table entries are 32-bit

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

uint64_t HeadersBytes(uint64_t frames) {
    return kDescriptorBytes + kHeaderBytes + 4 * frames;
}

}  // namespace

ApeOutput::~ApeOutput() {
    Remove();
}

void ApeOutput::Create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw Error{MAC_ERROR_CREATE_FILE};
    // Finishing reads the frames back and moves them, which only a regular file allows; anything else
    // (a device, a pipe) is refused and, not being ours, never removed.
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw Error{MAC_ERROR_CREATE_FILE};
    }
    fd_ = fd;
    path_ = path;
}

void ApeOutput::Begin(uint64_t maxFrames) {
    // Drop an earlier attempt's frames from the disk, not only from the books.
    if (::ftruncate(fd_, 0) != 0) throw Error{MAC_ERROR_WRITE};
    dataOffset_ = HeadersBytes(maxFrames);
    written_ = 0;
    streamBytes_ = 0;
    frameStarts_.clear();
    frameStarts_.reserve(static_cast<size_t>(std::min<uint64_t>(maxFrames, 1u << 16)));
    buffer_.clear();
    tailSize_ = 0;
    md5_.Reset();
}

void ApeOutput::BeginFrame() {
    // The seek table comes before the frames, so this frame's offset is at least this far in.
    if (HeadersBytes(frameStarts_.size() + 1) + streamBytes_ > kMaxOffset ||
        HeadersBytes(frameStarts_.size() + 1) > dataOffset_) {
        throw Error{MAC_ERROR_TOO_LARGE};
    }
    frameStarts_.push_back(streamBytes_);
}

void ApeOutput::Put(ByteBuffer& bytes) {
    const std::vector<uint8_t>& in = bytes.Bytes();
    streamBytes_ += in.size();
    size_t i = 0;
    while (tailSize_ > 0 && tailSize_ < 4 && i < in.size()) tail_[tailSize_++] = in[i++];
    if (tailSize_ == 4) {
        buffer_.insert(buffer_.end(), {tail_[3], tail_[2], tail_[1], tail_[0]});
        tailSize_ = 0;
    }
    const size_t words = (in.size() - i) / 4;
    const size_t start = buffer_.size();
    buffer_.resize(start + 4 * words);
    uint8_t* out = buffer_.data() + start;
    for (size_t w = 0; w < words; ++w, i += 4, out += 4) {
        out[0] = in[i + 3];
        out[1] = in[i + 2];
        out[2] = in[i + 1];
        out[3] = in[i];
    }
    while (i < in.size()) tail_[tailSize_++] = in[i++];
    bytes.Clear();
    if (buffer_.size() >= kFlushBytes) Flush();
}

void ApeOutput::WriteAt(const uint8_t* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t done = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) throw Error{MAC_ERROR_WRITE};
        data += done;
        size -= static_cast<size_t>(done);
        offset += static_cast<uint64_t>(done);
    }
}

void ApeOutput::Flush() {
    md5_.Update(buffer_.data(), buffer_.size());
    WriteAt(buffer_.data(), buffer_.size(), dataOffset_ + written_);
    written_ += buffer_.size();
    buffer_.clear();
}

void ApeOutput::Complete(const HeaderFields& fields) {
    if (tailSize_ > 0) {
        // The region ends on a whole word.
        while (tailSize_ < 4) tail_[tailSize_++] = 0;
        buffer_.insert(buffer_.end(), {tail_[3], tail_[2], tail_[1], tail_[0]});
        tailSize_ = 0;
    }
    Flush();

    const uint64_t frames = frameStarts_.size();
    const uint64_t headers = HeadersBytes(frames);
    if (frames == 0 || headers + frameStarts_.back() > kMaxOffset) throw Error{MAC_ERROR_TOO_LARGE};

    // Move the frames down behind the seek table as it really is (the room was for the largest one).
    std::vector<uint8_t> chunk(std::min<uint64_t>(written_, kFlushBytes));
    for (uint64_t moved = 0; moved < written_ && headers != dataOffset_;) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(chunk.size(), written_ - moved));
        size_t got = 0;
        while (got < size) {
            const ssize_t done =
                ::pread(fd_, chunk.data() + got, size - got, static_cast<off_t>(dataOffset_ + moved + got));
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) throw Error{MAC_ERROR_READ};
            got += static_cast<size_t>(done);
        }
        WriteAt(chunk.data(), size, headers + moved);
        moved += size;
    }
    if (::ftruncate(fd_, static_cast<off_t>(headers + written_)) != 0) throw Error{MAC_ERROR_WRITE};

    std::vector<uint8_t> header;
    Put16(header, fields.level);
    Put16(header, kFlagCreateWavHeader);
    Put32(header, fields.blocksPerFrame);
    Put32(header, fields.finalFrameBlocks);
    Put32(header, static_cast<uint32_t>(frames));
    Put16(header, fields.bits);
    Put16(header, fields.channels);
    Put32(header, fields.sampleRate);
    std::vector<uint8_t> seekTable;
    for (uint64_t start : frameStarts_) Put32(seekTable, static_cast<uint32_t>(headers + start));
    // The checksum covers the frames as stored, then the header, then the seek table.
    md5_.Update(header.data(), header.size());
    md5_.Update(seekTable.data(), seekTable.size());
    const std::array<uint8_t, 16> digest = md5_.Final();

    std::vector<uint8_t> head = {'M', 'A', 'C', ' '};
    Put16(head, kVersion);
    Put16(head, 0);
    Put32(head, kDescriptorBytes);
    Put32(head, kHeaderBytes);
    Put32(head, static_cast<uint32_t>(seekTable.size()));
    Put32(head, 0);  // no stored WAV header
    Put32(head, static_cast<uint32_t>(written_));
    Put32(head, static_cast<uint32_t>(written_ >> 32));
    Put32(head, 0);  // no terminating data
    head.insert(head.end(), digest.begin(), digest.end());
    head.insert(head.end(), header.begin(), header.end());
    head.insert(head.end(), seekTable.begin(), seekTable.end());
    WriteAt(head.data(), head.size(), 0);

    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        ::unlink(path_.c_str());
        path_.clear();
        throw Error{MAC_ERROR_WRITE};
    }
    path_.clear();
}

void ApeOutput::Remove() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace mac
