// WAV, AIFF and GSM writers: the pipeline hands them 32-bit float blocks and libsndfile converts them into
// the stored sample format. Clipping is switched on because only then does libsndfile scale by 2^(n-1),
// the same factor the sources use, so lossless integer input comes back bit-identical.
#include "encoder/sndfile_writer.h"

#include <sndfile.h>

#include <array>
#include <cstring>
#include <fstream>
#include <vector>

#include "wvt/config.h"
#include "encoder/writers.h"

namespace {

constexpr const char* kCreateFailed = "Can not create SNDLIB compressor";

// The rate list of the option dialog; index 0 ("Same As Original") is not in it.
constexpr std::array<uint32_t, 12> kRates = {96000, 88200, 64000, 48000, 44100, 32000,
                                             24000, 22050, 16000, 12000, 11025, 8000};
constexpr std::array<int, 4> kBits = {8, 16, 24, 32};
constexpr std::array<int, 5> kSubtypes = {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24,
                                          SF_FORMAT_PCM_32, SF_FORMAT_FLOAT};

// The usual extension change: the extension starts at the last dot of the last path component; a name without
// one gets the extension appended.
std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
    const size_t pos = fileName.find_last_of("./");
    if (pos == std::string::npos || fileName[pos] != '.') return fileName + extension;
    return fileName.substr(0, pos) + extension;
}

uint32_t ReadBE32(std::fstream& file, std::streamoff at) {
    uint8_t bytes[4] = {};
    file.seekg(at);
    file.read(reinterpret_cast<char*>(bytes), 4);
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

void WriteBE32(std::fstream& file, std::streamoff at, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    file.seekp(at);
    file.write(bytes, 4);
}

// libsndfile 1.2 counts the pad byte after an odd-sized 8-bit AIFF sound chunk as one more sample frame,
// so readers play a stray sample (full negative scale for unsigned data) at the end. Takes that frame and
// byte back out of the COMM and SSND chunks; a header that does not show the fault is left as it is.
void FixAiffPadFrame(const std::string& fileName, uint32_t frames, uint32_t dataBytes) {
    std::fstream file(fileName, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) return;
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    for (std::streamoff at = 12; at + 8 <= end && file;) {
        char id[4] = {};
        file.seekg(at);
        file.read(id, 4);
        const uint32_t size = ReadBE32(file, at + 4);
        if (std::memcmp(id, "COMM", 4) == 0 && ReadBE32(file, at + 10) == frames + 1) {
            WriteBE32(file, at + 10, frames);
        } else if (std::memcmp(id, "SSND", 4) == 0 && size == 8 + dataBytes + 1) {
            WriteBE32(file, at + 4, size - 1);
        }
        at += 8 + static_cast<std::streamoff>(size) + (size & 1);
    }
}

// Owns one libsndfile handle; closing it completes the file's header.
class SndfileWriter : public Tencoder {
  public:
    SndfileWriter(const WAVEFORMATEX& inputFormat, std::string fileName, int format)
        : Tencoder(inputFormat),
          fileName_(std::move(fileName)),
          aiff8_((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF &&
                 ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 ||
                  (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_S8)) {
        info_.frames = 0;
        info_.samplerate = static_cast<int>(inputFormat.nSamplesPerSec);
        info_.channels = inputFormat.nChannels;
        info_.format = format;
        info_.sections = 1;
        info_.seekable = 1;
        handle_ = sf_open(fileName_.c_str(), SFM_WRITE, &info_);
        if (!handle_) throw EEncoderError(kCreateFailed);
        sf_command(handle_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
    ~SndfileWriter() override {
        sf_close(handle_);
        if (aiff8_ && samplesWritten_ % 2 == 1) {
            FixAiffPadFrame(fileName_, static_cast<uint32_t>(samplesWritten_ / info_.channels),
                            static_cast<uint32_t>(samplesWritten_));
        }
    }

    int Write(const uint8_t* block, uint32_t length) override {
        const sf_count_t items = length / sizeof(float);
        if (items == 0) return 0;
        const float* samples = reinterpret_cast<const float*>(block);
        std::vector<float> aligned;
        if (reinterpret_cast<uintptr_t>(block) % alignof(float) != 0) {
            aligned.resize(static_cast<size_t>(items));
            std::memcpy(aligned.data(), block, aligned.size() * sizeof(float));
            samples = aligned.data();
        }
        // A short write (full disk, a block that is not whole frames) would otherwise end in a truncated
        // file reported as converted; raising makes the pipeline fail the file and delete it.
        if (sf_write_float(handle_, samples, items) != items) {
            throw EEncoderError(std::string("SNDLIB write error: ") + sf_strerror(handle_));
        }
        samplesWritten_ += items;
        return 0;
    }

    std::string GetFileName() const override { return fileName_; }

  private:
    std::string fileName_;
    const bool aiff8_;
    SF_INFO info_{};
    SNDFILE* handle_ = nullptr;
    sf_count_t samplesWritten_ = 0;  // all channels together
};

// WAVwriter and AIFwriter differ only in their settings, container, extension and texts.
struct PcmWriterTraits {
    const char* name;
    SndfileContainer container;
    int config::*srate;
    int config::*mode;
    int config::*bps;
    const char* extension;
    const char* filter;
    const char* description;
    int dialogMode;
    const char* caption;
};

class PcmWriterClass final : public EncoderClass {
  public:
    explicit constexpr PcmWriterClass(const PcmWriterTraits& traits)
        : EncoderClass(traits.name), traits_(traits) {}

    WAVEFORMATEX GetInputFormat(const WAVEFORMATEX& source) const override {
        // A rate index outside the list (a hand-edited setting) keeps the source's rate.
        const int rateIndex = Config.*traits_.srate;
        const uint32_t rate = rateIndex >= 1 && rateIndex <= static_cast<int>(kRates.size())
                                  ? kRates[static_cast<size_t>(rateIndex - 1)]
                                  : source.nSamplesPerSec;
        const int mode = Config.*traits_.mode;
        const uint16_t channels = mode == 0 ? source.nChannels : mode == 1 ? 2 : 1;
        return MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, rate, channels, 32);
    }
    std::string GetExtension() const override { return traits_.extension; }
    std::string GetFilter() const override { return traits_.filter; }
    std::string GetDescription() const override { return traits_.description; }
    void ShowOptions() const override { ShowDialog(traits_.dialogMode, traits_.caption); }

    std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source) const override {
        const int format = SndfileFormat(traits_.container, SndfileBitsIndex(Config.*traits_.bps, source));
        return std::make_unique<SndfileWriter>(
            GetInputFormat(source), ChangeFileExt(fileName, std::string(".") + traits_.extension), format);
    }

  private:
    const PcmWriterTraits traits_;
};

class GsmWriterClass final : public EncoderClass {
  public:
    constexpr GsmWriterClass() : EncoderClass("GSMwriter") {}

    bool CanCopyTags() const override { return false; }
    // GSM files carry no tags.
    bool WriteTags(const std::string&, const TagFrame&) const override { return true; }
    WAVEFORMATEX GetInputFormat(const WAVEFORMATEX&) const override {
        return MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 8000, 1, 32);
    }
    std::string GetExtension() const override { return "gsm"; }
    std::string GetFilter() const override { return "GSM Audio (*.gsm)|*.gsm"; }
    bool HasOptions() const override { return false; }
    std::string GetDescription() const override { return "GSM  - GSM 6.10 Codec"; }
    void ShowOptions() const override {}

    std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source) const override {
        return std::make_unique<SndfileWriter>(GetInputFormat(source), ChangeFileExt(fileName, ".gsm"),
                                               kGsmFormat);
    }
};

constexpr PcmWriterTraits kWavTraits = {"WAVwriter",
                                        SndfileContainer::WAV,
                                        &config::wavsrate,
                                        &config::wavmode,
                                        &config::wavbps,
                                        "wav",
                                        "WAV files (*.wav)|*.wav",
                                        "WAV  - Microsoft WAV PCM Encoder",
                                        1,
                                        "WAV Encoder Options"};
constexpr PcmWriterTraits kAiffTraits = {"AIFwriter",
                                         SndfileContainer::AIFF,
                                         &config::aifsrate,
                                         &config::aifmode,
                                         &config::aifbps,
                                         "aiff",
                                         "AIFF files (*.aiff)|*.aiff",
                                         "AIFF - Audio Interchange File Encoder",
                                         2,
                                         "AIFF Encoder Options"};

const PcmWriterClass kWavClass(kWavTraits);
const PcmWriterClass kAiffClass(kAiffTraits);
const GsmWriterClass kGsmClass;

}  // namespace

int SndfileBitsIndex(int setting, const WAVEFORMATEX& source) {
    if (setting != 0) return setting;
    if (source.wBitsPerSample == 32) return 5;
    return static_cast<int>(NearestEntry(kBits, source.wBitsPerSample)) + 1;
}

int SndfileFormat(SndfileContainer container, int bitsIndex) {
    const bool known = bitsIndex >= 1 && bitsIndex <= static_cast<int>(kSubtypes.size());
    const int subtype = known ? kSubtypes[static_cast<size_t>(bitsIndex - 1)] : 0;
    if (container == SndfileContainer::AIFF) return SF_FORMAT_AIFF | subtype;
    // 24-bit, 32-bit and float need WAVE_FORMAT_EXTENSIBLE; 8 and 16 bits stay plain WAV.
    const bool extensible =
        subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32 || subtype == SF_FORMAT_FLOAT;
    return (extensible ? SF_FORMAT_WAVEX : SF_FORMAT_WAV) | subtype;
}

const EncoderClass& WAVwriterClass = kWavClass;
const EncoderClass& AIFwriterClass = kAiffClass;
const EncoderClass& GSMwriterClass = kGsmClass;
