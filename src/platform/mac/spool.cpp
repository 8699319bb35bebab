// The input copy: O_TMPFILE where the file system offers it, else a named file unlinked at once.
#include "platform/mac/spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/mac/error.h"
#include "platform/mac/macdll.h"

namespace mac {

void Spool::Open(const std::string& folder) {
    Close();
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        std::string pattern = folder + "/.apespool-XXXXXX";
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ >= 0) ::unlink(pattern.c_str());
    }
    if (fd_ < 0) throw Error{MAC_ERROR_CREATE_FILE};
    size_ = 0;
}

void Spool::Append(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t done = ::pwrite(fd_, data, size, static_cast<off_t>(size_));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) throw Error{MAC_ERROR_WRITE};
        data += done;
        size -= static_cast<size_t>(done);
        size_ += static_cast<uint64_t>(done);
    }
}

void Spool::Replay(const std::function<void(const uint8_t*, size_t)>& take) {
    std::vector<uint8_t> chunk(size_t{1} << 20);
    for (uint64_t offset = 0; offset < size_;) {
        const ssize_t done = ::pread(fd_, chunk.data(), chunk.size(), static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) throw Error{MAC_ERROR_READ};
        take(chunk.data(), static_cast<size_t>(done));
        offset += static_cast<uint64_t>(done);
    }
}

void Spool::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

}  // namespace mac
