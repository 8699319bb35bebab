// Test fixtures made in code; see audio_fixtures.h.
#include "support/audio_fixtures.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

extern "C" {
#include <libavutil/md5.h>
}

namespace testsupport {
namespace {

void put16le(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x & 0xff);
    v.push_back((x >> 8) & 0xff);
}
void put32le(std::vector<uint8_t>& v, uint32_t x) {
    put16le(v, x & 0xffff);
    put16le(v, x >> 16);
}
void put16be(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back((x >> 8) & 0xff);
    v.push_back(x & 0xff);
}
void put32be(std::vector<uint8_t>& v, uint32_t x) {
    put16be(v, x >> 16);
    put16be(v, x & 0xffff);
}
void putTag(std::vector<uint8_t>& v, const char* tag) { v.insert(v.end(), tag, tag + 4); }

// Appends one sample value in [-1, 1] in the given layout, little-endian.
void putSample(std::vector<uint8_t>& v, SampleKind kind, double x) {
    auto clampRound = [](double y, double lo, double hi) {
        y = std::nearbyint(y);
        return y < lo ? lo : (y > hi ? hi : y);
    };
    switch (kind) {
        case SampleKind::U8:
            v.push_back(static_cast<uint8_t>(clampRound(x * 128.0, -128, 127) + 128));
            break;
        case SampleKind::S16:
            put16le(v, static_cast<uint32_t>(static_cast<int32_t>(clampRound(x * 32768.0, -32768, 32767))));
            break;
        case SampleKind::S24: {
            auto s = static_cast<uint32_t>(static_cast<int32_t>(clampRound(x * 8388608.0, -8388608, 8388607)));
            v.push_back(s & 0xff);
            v.push_back((s >> 8) & 0xff);
            v.push_back((s >> 16) & 0xff);
            break;
        }
        case SampleKind::S32:
            put32le(v, static_cast<uint32_t>(static_cast<int32_t>(
                           clampRound(x * 2147483648.0, -2147483648.0, 2147483647.0))));
            break;
        case SampleKind::F32: {
            float f = static_cast<float>(x);
            uint32_t u;
            std::memcpy(&u, &f, 4);
            put32le(v, u);
            break;
        }
    }
}

// 80-bit IEEE extended, as AIFF stores its sample rate.
void putExtended(std::vector<uint8_t>& v, double value) {
    int exponent = 0;
    double mant = std::frexp(value, &exponent);  // value = mant * 2^exponent, mant in [0.5, 1)
    uint64_t m = static_cast<uint64_t>(std::ldexp(mant, 64));
    uint16_t e = static_cast<uint16_t>(exponent - 1 + 16383);
    put16be(v, e);
    put32be(v, static_cast<uint32_t>(m >> 32));
    put32be(v, static_cast<uint32_t>(m & 0xffffffff));
}

}  // namespace

int BytesPerSample(SampleKind kind) {
    switch (kind) {
        case SampleKind::U8: return 1;
        case SampleKind::S16: return 2;
        case SampleKind::S24: return 3;
        case SampleKind::S32: return 4;
        case SampleKind::F32: return 4;
    }
    return 0;
}

std::vector<uint8_t> SinePcm(const PcmSpec& spec, int64_t frames, double frequency, double amplitude) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(frames * spec.channels * BytesPerSample(spec.kind)));
    for (int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < spec.channels; ++c) {
            double phase = 2.0 * M_PI * frequency * static_cast<double>(i) / spec.rate + c * 0.7;
            putSample(out, spec.kind, amplitude * std::sin(phase));
        }
    }
    return out;
}

std::vector<uint8_t> NoisePcm(const PcmSpec& spec, int64_t frames, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out;
    const int bps = BytesPerSample(spec.kind);
    out.reserve(static_cast<size_t>(frames * spec.channels * bps));
    for (int64_t i = 0; i < frames * spec.channels; ++i) {
        if (spec.kind == SampleKind::F32) {
            // Float samples on the 24-bit grid, so integer targets can represent them exactly.
            int32_t s = static_cast<int32_t>(gen() >> 8) - 8388608;
            putSample(out, spec.kind, s / 8388608.0);
        } else {
            uint32_t r = gen();
            for (int b = 0; b < bps; ++b) out.push_back((r >> (8 * b)) & 0xff);
        }
    }
    return out;
}

std::vector<uint8_t> WavFile(const PcmSpec& spec, const std::vector<uint8_t>& pcm) {
    const int bps = BytesPerSample(spec.kind);
    std::vector<uint8_t> v;
    putTag(v, "RIFF");
    put32le(v, static_cast<uint32_t>(4 + 8 + 16 + 8 + pcm.size() + (pcm.size() & 1)));
    putTag(v, "WAVE");
    putTag(v, "fmt ");
    put32le(v, 16);
    put16le(v, spec.kind == SampleKind::F32 ? 3 : 1);
    put16le(v, spec.channels);
    put32le(v, spec.rate);
    put32le(v, spec.rate * spec.channels * bps);
    put16le(v, spec.channels * bps);
    put16le(v, bps * 8);
    putTag(v, "data");
    put32le(v, static_cast<uint32_t>(pcm.size()));
    v.insert(v.end(), pcm.begin(), pcm.end());
    if (pcm.size() & 1) v.push_back(0);
    return v;
}

std::vector<uint8_t> AiffFile(const PcmSpec& spec, const std::vector<uint8_t>& pcm) {
    if (spec.kind == SampleKind::F32) throw std::invalid_argument("AIFF fixtures are integer only");
    const int bps = BytesPerSample(spec.kind);
    const uint32_t frames = static_cast<uint32_t>(pcm.size() / (bps * spec.channels));
    std::vector<uint8_t> body;  // big-endian samples
    body.reserve(pcm.size());
    for (size_t i = 0; i + bps <= pcm.size(); i += bps) {
        if (spec.kind == SampleKind::U8) {
            body.push_back(static_cast<uint8_t>(pcm[i] - 128));
        } else {
            for (int b = bps - 1; b >= 0; --b) body.push_back(pcm[i + b]);
        }
    }
    std::vector<uint8_t> v;
    putTag(v, "FORM");
    put32be(v, static_cast<uint32_t>(4 + 8 + 18 + 8 + 8 + body.size()));
    putTag(v, "AIFF");
    putTag(v, "COMM");
    put32be(v, 18);
    put16be(v, spec.channels);
    put32be(v, frames);
    put16be(v, bps * 8);
    putExtended(v, spec.rate);
    putTag(v, "SSND");
    put32be(v, static_cast<uint32_t>(8 + body.size()));
    put32be(v, 0);
    put32be(v, 0);
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "wavetrove-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ShellQuote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

CommandResult RunCommand(const std::string& command) {
    CommandResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::vector<uint8_t> FfmpegDecode(const std::filesystem::path& file, const std::string& format) {
    auto r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(file.string()) + " -f " + format + " -");
    if (r.status != 0) throw std::runtime_error("ffmpeg could not decode " + file.string());
    return std::vector<uint8_t>(r.out.begin(), r.out.end());
}

std::string Md5Hex(const void* data, size_t size) {
    uint8_t digest[16];
    av_md5_sum(digest, static_cast<const uint8_t*>(data), static_cast<int>(size));
    static const char* hex = "0123456789abcdef";
    std::string s;
    for (uint8_t b : digest) {
        s += hex[b >> 4];
        s += hex[b & 15];
    }
    return s;
}

double EstimateFrequency(const std::vector<float>& interleaved, int channels, int rate) {
    size_t frames = interleaved.size() / channels;
    if (frames < 2) return 0;
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t i = 1; i < frames; ++i) {
        float a = interleaved[(i - 1) * channels], b = interleaved[i * channels];
        if (a < 0 && b >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

std::filesystem::path BinDir() { return WAVETROVE_BIN_DIR; }

}  // namespace testsupport
