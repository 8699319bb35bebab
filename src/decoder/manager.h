// TDecManager, the source registry: starts and stops the decoding libraries and turns file names into
// sources by extension, walking its classes in registration order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "decoder/reader.h"

class TDecManager {
  public:
    TDecManager() = default;
    // A registry over the given classes only, without touching the libraries (for tests and tools that
    // need a particular class list).
    explicit TDecManager(std::vector<const DecoderClass*> classes) : classes_(std::move(classes)) {}
    ~TDecManager();
    TDecManager(const TDecManager&) = delete;
    TDecManager& operator=(const TDecManager&) = delete;

    // Initialises BASS, loads its add-ons, registers the source classes, binds the tag library and sets the
    // CDDB server. Call once.
    void Init();
    // Closes BASS and unloads the tag library; also run by the destructor when Init ran and Done did not.
    void Done();

    bool IsSupported(const std::string& fileName) const;
    // The first source a matching class could construct (valid or not), or null.
    std::unique_ptr<TDecoder> OpenFile(const std::string& fileName) const;
    bool CanCopyTagsOf(const std::string& fileName) const;
    std::string GetOpenFilter() const;

    const std::vector<const DecoderClass*>& Classes() const { return classes_; }

    static constexpr const char* kCddbServer = "gnudb.gnudb.org:80/~cddb/cddb.cgi";

  private:
    std::vector<const DecoderClass*> classes_;
    bool initialised_ = false;
};
