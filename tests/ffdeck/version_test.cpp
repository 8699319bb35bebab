// The add-on beside a host of another version: it says so on standard error and BASSplugin answers
// nothing, so the host refuses it. Each load runs in a fresh process with the add-on copied next to
// the host under test.
#include <gtest/gtest.h>

#include "ffdeck_fixtures.h"

namespace {

std::string LoadBeside(const std::filesystem::path& hostLibrary) {
    testsupport::TempDir dir;
    std::filesystem::copy_file(testsupport::BinDir() / "libffdeck.so", dir / "libffdeck.so");
    std::filesystem::copy_file(hostLibrary, dir / "libbass.so");
    auto r = testsupport::RunCommand(
        testsupport::ShellQuote((testsupport::BinDir() / "ffdeck_load_probe").string()) + " " +
        testsupport::ShellQuote((dir / "libffdeck.so").string()) + " 2>&1");
    return r.out;
}

TEST(HostVersion, WrongHostVersionMakesEveryFaceNull) {
    EXPECT_EQ(LoadBeside(std::filesystem::path(FFDECK_OLD_HOST_DIR) / "libbass.so"),
              "Incorrect BASS.DLL version (2.4 is required)\nnull null null\n");
    EXPECT_EQ(LoadBeside(testsupport::BinDir() / "libbass.so"), "answer answer answer\n");
}

}  // namespace
