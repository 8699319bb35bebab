// Files that name other resources (playlists of network and local addresses, manifests, concat scripts,
// modules with external instruments) under every extension the source registry accepts, opened through
// the registry and converted by wavetrove-cli: nothing reaches the network or the local file named
// inside, and no source or output delivers that file's samples.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"
#include "support/hostile_files.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::HostileFile;
using testsupport::ShellQuote;

std::set<std::string> RegistryExtensions() {
    std::set<std::string> extensions;
    for (const DecoderClass* cls : dectest::Registry().Classes()) {
        TFormats formats;
        if (cls->GetFormats(formats))
            for (const auto& f : formats) extensions.insert(f.extension);
    }
    return extensions;
}

TEST(HostileFiles, SourcesReadOnlyTheFileItself) {
    testsupport::TempDir dir;
    const testsupport::LocalWav local = testsupport::MakeLocalWav(dir / "local.wav");
    testsupport::LoopbackListener listener;
    testsupport::OpenWatch watch(local.path);

    const std::set<std::string> extensions = RegistryExtensions();
    ASSERT_FALSE(extensions.empty());
    int opened = 0;
    int valid = 0;
    auto lastOpen = std::chrono::steady_clock::now();
    for (const HostileFile& hostile : testsupport::HostileFiles(listener.Port(), local.path)) {
        for (const std::string& extension : extensions) {
            // Relative entries resolve beside the hostile file, where the local WAV is.
            const auto path = dir / (hostile.kind + "_" + extension.substr(1) + extension);
            testsupport::WriteBytes(path, std::vector<uint8_t>(hostile.text.begin(), hostile.text.end()));
            {
                std::unique_ptr<TDecoder> source = dectest::Registry().OpenFile(path.string());
                ++opened;
                if (source && source->IsValid()) {
                    ++valid;
                    const dectest::ReadResult read = dectest::ReadAll(*source, 4096);
                    EXPECT_FALSE(testsupport::HoldsLocalPcm(read.bytes, local)) << path;
                }
            }
            lastOpen = std::chrono::steady_clock::now();
        }
    }
    // A connection or a late open by a thread a demuxer left running would come within this time.
    testsupport::WaitSince(lastOpen, 2000ms);
    EXPECT_EQ(listener.Connections(), 0);
    EXPECT_EQ(watch.Opens(), 0);
    RecordProperty("opened", opened);
    RecordProperty("valid", valid);

    // Both witnesses do see what they watch for.
    testsupport::ReadBytes(local.path);
    EXPECT_EQ(watch.Opens(), 1);
    ASSERT_TRUE(testsupport::ConnectToLoopback(listener.Port()));
    EXPECT_TRUE(listener.WaitForConnections(1, 10s));
}

TEST(HostileFiles, ConversionsReadOnlyTheFilesThemselves) {
    testsupport::TempDir dir;
    fs::create_directories(dir / "cfg");
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    const testsupport::LocalWav local = testsupport::MakeLocalWav(dir / "in/local.wav");
    testsupport::LoopbackListener listener;
    testsupport::OpenWatch watch(local.path);

    std::string arguments;
    std::vector<std::string> inputs;
    for (const testsupport::HostileFile& hostile : testsupport::HostileFiles(listener.Port(), local.path)) {
        for (const std::string& extension : RegistryExtensions()) {
            const fs::path path = dir / "in" / (hostile.kind + "_" + extension.substr(1) + extension);
            testsupport::WriteBytes(path, std::vector<uint8_t>(hostile.text.begin(), hostile.text.end()));
            inputs.push_back(path.string());
            arguments += " " + ShellQuote(path.string());
        }
    }
    // Every file is named on the command line, so even those no source can read go through a conversion.
    const auto r = testsupport::RunCommand(
        "XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
        ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -f wav --set wavbps=0 -j 2 -o " +
        ShellQuote((dir / "out").string()) + " --overwrite overwrite" + arguments + " </dev/null 2>&1");
    const auto finished = std::chrono::steady_clock::now();
    EXPECT_TRUE(r.status == 0 || r.status == 2) << r.out;  // 2: some files failed, as they should
    // Each file was converted, or its failure is in the log.
    for (const std::string& input : inputs) {
        const bool converted = fs::exists(dir / "out" / fs::path(input).stem().concat(".wav"));
        EXPECT_TRUE(converted || r.out.find("Conversion failed for: " + input) != std::string::npos) << input;
    }

    int outputs = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) {
        if (!entry.is_regular_file()) continue;
        ++outputs;
        EXPECT_FALSE(testsupport::HoldsLocalPcm(testsupport::ReadBytes(entry.path()), local)) << entry.path();
    }
    RecordProperty("outputs", outputs);

    testsupport::WaitSince(finished, 2000ms);
    EXPECT_EQ(listener.Connections(), 0);
    EXPECT_EQ(watch.Opens(), 0);

    // Both witnesses do see what they watch for.
    testsupport::ReadBytes(local.path);
    EXPECT_EQ(watch.Opens(), 1);
    ASSERT_TRUE(testsupport::ConnectToLoopback(listener.Port()));
    EXPECT_TRUE(listener.WaitForConnections(1, 10s));
}

}  // namespace
