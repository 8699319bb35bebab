// A file the host reads for a decoder: a section of a named file, a memory block, or user procedures.
// The built-in decoders and the add-ons (through the host table) read every input through this class.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/bass/exports.h"

namespace bass {

class HostFile {
  public:
    // Each factory answers null with the error set when the input cannot be opened.
    static std::unique_ptr<HostFile> OpenPath(const char* path, QWORD offset, QWORD length);
    static std::unique_ptr<HostFile> OpenMemory(const void* data, QWORD length);
    static std::unique_ptr<HostFile> OpenUser(DWORD system, const BASS_FILEPROCS* procs, void* user);

    ~HostFile();
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    size_t Read(void* buffer, size_t length);
    bool Seek(QWORD pos);
    QWORD Position() const { return pos_; }
    QWORD Size() const { return size_; }
    bool CanSeek() const { return flags_ == 0; }
    DWORD Flags() const { return flags_; }
    const std::string& Name() const { return name_; }
    bool HasName() const { return kind_ == Kind::Path; }

  private:
    enum class Kind { Path, Memory, User };
    HostFile() = default;

    Kind kind_ = Kind::Memory;
    std::string name_;
    std::unique_ptr<char[]> buffer_;  // fp_'s buffer; outlives it (fp_ is closed first)
    FILE* fp_ = nullptr;
    QWORD base_ = 0;  // offset of the section inside the named file
    const unsigned char* mem_ = nullptr;
    BASS_FILEPROCS procs_{};
    void* user_ = nullptr;
    QWORD size_ = 0;
    QWORD pos_ = 0;
    DWORD flags_ = 0;
};

}  // namespace bass
