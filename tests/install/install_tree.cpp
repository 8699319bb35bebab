// The shared DESTDIR install of the install tests.
#include "install_tree.h"

namespace installtest {

using testsupport::RunCommand;
using testsupport::ShellQuote;

const InstalledTree& InstalledTree::Get() {
    static const InstalledTree tree;
    return tree;
}

InstalledTree::InstalledTree() {
    root_ = dest_.path() / std::string(kPrefix).substr(1);
    const auto r =
        RunCommand("DESTDIR=" + ShellQuote(dest_.path().string()) + " " + ShellQuote(WAVETROVE_CMAKE) +
                   " --install " + ShellQuote(WAVETROVE_BUILD_DIR) + " --prefix " + kPrefix + " 2>&1");
    log_ = r.out;
    ok_ = r.status == 0;
}

std::string InstalledTree::Command(const std::string& program, const std::string& arguments,
                                   const std::filesystem::path& configHome) const {
    return "env -u LD_LIBRARY_PATH XDG_CONFIG_HOME=" + ShellQuote(configHome.string()) + " " +
           ShellQuote(Bin(program).string()) + " " + arguments + " </dev/null";
}

}  // namespace installtest
