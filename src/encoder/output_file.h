// A writer's output file that remembers a failed write: some encoder libraries only log a short write
// (libsndfile's GSM encoder does), so a full disk would otherwise end in a truncated file reported as done.
#pragma once

#include <sys/types.h>

#include <string>

class OutputFile {
  public:
    // Creates (or truncates) `fileName` for reading and writing; IsOpen() tells whether that worked.
    explicit OutputFile(const std::string& fileName);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // True once any write came up short; Error() is the system's text for it.
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }

    // All of `count` bytes, or as many as the system took before it refused (the failure is kept).
    off_t Write(const void* data, off_t count);
    off_t Read(void* data, off_t count);
    off_t Seek(off_t offset, int whence);
    off_t Length() const;
    // Inserts `length` bytes of zeros at the start of the file without moving its data, where the file
    // system can (ext4 and XFS, for a multiple of the block size); answers 0 or the errno of the refusal.
    int InsertAtStart(off_t length);
    // The file system's block size for this file, or 0 when it cannot be asked.
    off_t BlockSize() const;
    // Closes the file; false when it or any write before failed.
    bool Close();

  private:
    int fd_;
    std::string error_;
};
