// A copy of the input kept on disk in an unnamed temporary file, for inputs that may have to be coded a
// second time; the file has no name, so it vanishes with its descriptor even if the process dies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace mac {

class Spool {
  public:
    Spool() = default;
    ~Spool() { Close(); }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // Opens an empty spool in `folder`; Error(MAC_ERROR_CREATE_FILE) when it cannot.
    void Open(const std::string& folder);
    bool IsOpen() const { return fd_ >= 0; }
    void Append(const uint8_t* data, size_t size);
    // Hands everything appended, in order and in pieces, to `take`.
    void Replay(const std::function<void(const uint8_t*, size_t)>& take);
    void Close();

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace mac
