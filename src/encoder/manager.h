// The writer registry: the ordered list of writer classes whose positions are the codec indexes, i.e. the
// format box items and the values of the setting `codec`.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "encoder/maker.h"

class TEncManager {
  public:
    // Shows a failure to load the Ogg writer's libraries to the user; the owner of the registry installs it
    // before building one (the desktop program: a modal message; without a hook: standard error).
    using LoadErrorHook = std::function<void(const std::string& message)>;
    static void SetLoadErrorHook(LoadErrorHook hook);

    // Builds the list in codec-index order; the WMA writer is listed only where its runtime is available.
    // Then loads the Ogg writer's libraries (libogg, then libvorbis) for the registry's lifetime.
    TEncManager();
    // A registry over the given classes in the given order (tests use scripted writers this way).
    explicit TEncManager(std::vector<const EncoderClass*> classes) : classes_(std::move(classes)) {}
    // Releases the libraries the registry loaded (libvorbis, then libogg).
    ~TEncManager();
    TEncManager(const TEncManager&) = delete;
    TEncManager& operator=(const TEncManager&) = delete;

    // The class at a codec index; raises std::out_of_range past the end.
    const EncoderClass& Item(size_t index) const { return *classes_.at(index); }
    size_t Count() const { return classes_.size(); }

  private:
    std::vector<const EncoderClass*> classes_;
    bool loadedOgg_ = false;
    bool loadedVorbis_ = false;
};
