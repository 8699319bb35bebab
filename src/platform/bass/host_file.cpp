// Host file access; see host_file.h.
#include "platform/bass/host_file.h"

#include <cstring>
#include <sys/stat.h>

#include "platform/bass/error.h"

namespace bass {

namespace {
constexpr size_t kReadBuffer = 65536;
}  // namespace

std::unique_ptr<HostFile> HostFile::OpenPath(const char* path, QWORD offset, QWORD length) {
    if (path == nullptr || *path == '\0') return Fail(BASS_ERROR_FILEOPEN, nullptr);
    FILE* fp = std::fopen(path, "rb");
    if (fp == nullptr) return Fail(BASS_ERROR_FILEOPEN, nullptr);
    // Decoders read a file front to back in small pieces: a larger buffer means a sixteenth of the
    // system calls of the default 4 KiB one. (Without a buffer of its own, glibc ignores the size.)
    auto buffer = std::make_unique<char[]>(kReadBuffer);
    std::setvbuf(fp, buffer.get(), _IOFBF, kReadBuffer);
    struct stat st {};
    if (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(fp);
        return Fail(BASS_ERROR_FILEOPEN, nullptr);
    }
    const QWORD total = static_cast<QWORD>(st.st_size);
    std::unique_ptr<HostFile> f(new HostFile);
    f->kind_ = Kind::Path;
    f->name_ = path;
    f->fp_ = fp;
    f->buffer_ = std::move(buffer);
    f->base_ = offset > total ? total : offset;
    const QWORD rest = total - f->base_;
    f->size_ = (length == 0 || length > rest) ? rest : length;
    if (fseeko(fp, static_cast<off_t>(f->base_), SEEK_SET) != 0) return Fail(BASS_ERROR_FILEOPEN, nullptr);
    return f;
}

std::unique_ptr<HostFile> HostFile::OpenMemory(const void* data, QWORD length) {
    if (data == nullptr && length != 0) return Fail(BASS_ERROR_ILLPARAM, nullptr);
    std::unique_ptr<HostFile> f(new HostFile);
    f->kind_ = Kind::Memory;
    f->mem_ = static_cast<const unsigned char*>(data);
    f->size_ = length;
    return f;
}

std::unique_ptr<HostFile> HostFile::OpenUser(DWORD system, const BASS_FILEPROCS* procs, void* user) {
    if (procs == nullptr || procs->read == nullptr) return Fail(BASS_ERROR_ILLPARAM, nullptr);
    // Only unbuffered user files exist here: buffered and push systems belong to network playback.
    if (system != STREAMFILE_NOBUFFER) return Fail(BASS_ERROR_NOTAVAIL, nullptr);
    std::unique_ptr<HostFile> f(new HostFile);
    f->kind_ = Kind::User;
    f->procs_ = *procs;
    f->user_ = user;
    if (procs->length != nullptr && procs->seek != nullptr) {
        f->size_ = procs->length(user);
    } else {
        f->flags_ = BASSFILE_BLOCK;
    }
    return f;
}

HostFile::~HostFile() {
    if (fp_ != nullptr) std::fclose(fp_);
    if (kind_ == Kind::User && procs_.close != nullptr) procs_.close(user_);
}

size_t HostFile::Read(void* buffer, size_t length) {
    if (buffer == nullptr || length == 0) return 0;
    if (kind_ == Kind::User) {
        const DWORD want = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(length);
        DWORD got = procs_.read(buffer, want, user_);
        if (got == static_cast<DWORD>(-1)) return 0;
        if (got > want) got = want;
        pos_ += got;
        return got;
    }
    const QWORD rest = pos_ < size_ ? size_ - pos_ : 0;
    const size_t n = length < rest ? length : static_cast<size_t>(rest);
    if (n == 0) return 0;
    size_t got = 0;
    if (kind_ == Kind::Memory) {
        std::memcpy(buffer, mem_ + pos_, n);
        got = n;
    } else {
        got = std::fread(buffer, 1, n, fp_);
    }
    pos_ += got;
    return got;
}

bool HostFile::Seek(QWORD pos) {
    if (!CanSeek() || pos > size_) return false;
    // Decoders ask for the position they are at before many reads; moving a FILE there would cost a
    // system call and throw its buffer away, to be read again.
    if (pos == pos_ && kind_ != Kind::User) return true;
    if (kind_ == Kind::User) {
        if (!procs_.seek(pos, user_)) return false;
    } else if (kind_ == Kind::Path) {
        if (fseeko(fp_, static_cast<off_t>(base_ + pos), SEEK_SET) != 0) return false;
    }
    pos_ = pos;
    return true;
}

}  // namespace bass
