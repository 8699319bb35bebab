// A DESTDIR install of the build into a temporary folder, made once per test process, and the ways tests
// run the installed programs from it.
#pragma once

#include <filesystem>
#include <string>

#include "support/audio_fixtures.h"

namespace installtest {

// The prefix the tree is installed for, as a package installs it.
inline constexpr const char* kPrefix = "/usr";

class InstalledTree {
  public:
    // Installs on first use; a failed install fails every test that asks for the tree.
    static const InstalledTree& Get();

    // The installed prefix inside the temporary folder (<destdir>/usr).
    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path Bin(const std::string& program) const { return root_ / "bin" / program; }
    std::filesystem::path Share(const std::string& relative) const { return root_ / "share" / relative; }
    std::filesystem::path LibDir() const { return root_ / WAVETROVE_INSTALL_LIBDIR; }
    // What `cmake --install` printed, for failure messages.
    const std::string& Log() const { return log_; }
    bool Ok() const { return ok_; }

    // A shell command line running the installed `program` with `arguments`, the settings in a temporary
    // folder, no library path of ours, stdin from /dev/null.
    std::string Command(const std::string& program, const std::string& arguments,
                        const std::filesystem::path& configHome) const;

  private:
    InstalledTree();
    testsupport::TempDir dest_;
    std::filesystem::path root_;
    std::string log_;
    bool ok_ = false;
};

}  // namespace installtest
