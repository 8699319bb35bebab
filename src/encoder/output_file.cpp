// Output file over a descriptor, keeping the first write error.
#include "encoder/output_file.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

OutputFile::OutputFile(const std::string& fileName)
    : fd_(::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

off_t OutputFile::Write(const void* data, off_t count) {
    const auto* bytes = static_cast<const char*>(data);
    off_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (error_.empty()) error_ = n < 0 ? std::strerror(errno) : "nothing written";
            break;
        }
        done += n;
    }
    return done;
}

off_t OutputFile::Read(void* data, off_t count) {
    auto* bytes = static_cast<char*>(data);
    off_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, bytes + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

off_t OutputFile::Seek(off_t offset, int whence) {
    return ::lseek(fd_, offset, whence);
}

off_t OutputFile::Length() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? st.st_size : -1;
}

int OutputFile::InsertAtStart(off_t length) {
    return ::fallocate(fd_, FALLOC_FL_INSERT_RANGE, 0, length) == 0 ? 0 : errno;
}

off_t OutputFile::BlockSize() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? st.st_blksize : 0;
}

bool OutputFile::Close() {
    if (fd_ < 0) return !Failed();
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0 && error_.empty()) error_ = std::strerror(errno);
    return !Failed();
}
