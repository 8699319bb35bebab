// Shared test helpers; see test_util.h.
#include "test_util.h"

#include <cstring>
#include <stdexcept>

#include "support/audio_fixtures.h"

namespace basstest {

Channel::~Channel() {
    if (handle_ == 0) return;
    if (music_) {
        BASS_MusicFree(handle_);
    } else {
        BASS_StreamFree(handle_);
    }
}

HSTREAM OpenFile(const std::filesystem::path& path, DWORD flags) {
    return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
}

std::vector<uint8_t> ReadAll(DWORD handle, size_t maxBytes) {
    std::vector<uint8_t> out;
    uint8_t block[8192];
    while (BASS_ChannelIsActive(handle) != BASS_ACTIVE_STOPPED && out.size() < maxBytes) {
        const DWORD got = BASS_ChannelGetData(handle, block, sizeof block);
        if (got == static_cast<DWORD>(-1)) break;
        out.insert(out.end(), block, block + got);
    }
    return out;
}

std::vector<float> AsFloats(const std::vector<uint8_t>& bytes) {
    std::vector<float> v(bytes.size() / 4);
    std::memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

std::vector<int16_t> AsInt16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> v(bytes.size() / 2);
    std::memcpy(v.data(), bytes.data(), v.size() * 2);
    return v;
}

std::vector<uint8_t> FakeFile(uint32_t rate, uint32_t chans, const std::vector<float>& samples) {
    std::vector<uint8_t> v = {'F', 'A', 'K', 'E'};
    for (uint32_t x : {rate, chans, static_cast<uint32_t>(samples.size() / chans)}) {
        for (int b = 0; b < 4; ++b) v.push_back(static_cast<uint8_t>(x >> (8 * b)));
    }
    const auto* p = reinterpret_cast<const uint8_t*>(samples.data());
    v.insert(v.end(), p, p + samples.size() * 4);
    return v;
}

std::filesystem::path EncodeSine(const std::filesystem::path& dir, const std::string& name, int rate,
                                 int chans, double seconds, double frequency, const std::string& codecArgs) {
    const auto out = dir / name;
    const std::string cmd =
        "ffmpeg -nostdin -v error -y -f lavfi -i 'sine=frequency=" + std::to_string(frequency) +
        ":sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds) + "' -ac " +
        std::to_string(chans) + " " + codecArgs + " " + testsupport::ShellQuote(out.string());
    if (testsupport::RunCommand(cmd).status != 0) throw std::runtime_error("ffmpeg failed: " + cmd);
    return out;
}

}  // namespace basstest
