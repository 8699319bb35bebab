// Test entry point of the decoder tests: one registry (and so one BASS and tag-library start-up) for the
// whole binary, plus the shared helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"

namespace dectest {
namespace {
TDecManager* registry = nullptr;

class RegistryEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // No test may reach the real CDDB server: the CD tests set a loopback server themselves.
        setenv("WAVETROVE_CDDB_SERVER", "", 1);
        registry = new TDecManager;
        registry->Init();
    }
    void TearDown() override {
        registry->Done();
        delete registry;
        registry = nullptr;
    }
};
}  // namespace

const TDecManager& Registry() {
    return *registry;
}

ReadResult ReadAll(TDecoder& source, size_t maxBlocks) {
    ReadResult result;
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    while (result.blocks < maxBlocks) {
        if (source.ReadBlock(data, count) != 0) {
            EXPECT_EQ(data, nullptr);
            EXPECT_EQ(count, 0u);
            result.ended = true;
            break;
        }
        ++result.blocks;
        result.largestBlock = std::max<size_t>(result.largestBlock, count);
        if (count > 0) result.bytes.insert(result.bytes.end(), data, data + count);
        result.progress.push_back(source.GetProgress());
        result.blockSizes.push_back(count);
    }
    return result;
}

void FfmpegConvert(const std::filesystem::path& input, const std::filesystem::path& output,
                   const std::string& arguments) {
    const auto r =
        testsupport::RunCommand("ffmpeg -nostdin -v error -y -i " + testsupport::ShellQuote(input.string()) +
                                " " + arguments + " " + testsupport::ShellQuote(output.string()));
    ASSERT_EQ(r.status, 0) << "ffmpeg failed making " << output;
}

std::vector<float> AsFloats(const std::vector<uint8_t>& bytes) {
    std::vector<float> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    return samples;
}

std::vector<float> S16AsFloats(const std::vector<uint8_t>& bytes) {
    std::vector<float> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        int16_t v;
        std::memcpy(&v, bytes.data() + 2 * i, 2);
        samples[i] = v / 32768.0f;
    }
    return samples;
}

}  // namespace dectest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new dectest::RegistryEnvironment);
    return RUN_ALL_TESTS();
}
