// WavPack writer: integer PCM widened to 32-bit samples and packed by libwavpack (bound at run time), whose
// blocks go to the output file. The first block is kept so the file's length can be written into it at
// the end: the total is not known while packing.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "bindings/wavpackdll.h"
#include "encoder/output_file.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr std::array<int, 4> kBits = {8, 16, 24, 32};

constexpr OptionRow kRows[] = {
    RateRow(&config::wvsamplerate),
    ModeRow(&config::wvmode),
    SliderRow("Label6", "Compression Level:", "levelbox", &config::wvcompression, 0, 2),
};
constexpr FormatRule kFormat = {.rate = &kRows[0], .mode = &kRows[1], .depths = kBits};
constexpr WriterFacts kFacts = {
    .name = "WVwriter",
    .description = "WV   - WavPack Lossless Encoder",
    .extension = "wv",
    .filter = "WV files (*.wv)|*.wv",
    .lossless = true,
    .dialog = {.caption = "WavPack Encoder Options", .object = "wvEncoderForm", .rows = kRows},
    .format = &kFormat};

// The library's mode per slider position: fast, high, very high.
constexpr std::array<int, 3> kModeFlags = {CONFIG_FAST_FLAG, CONFIG_HIGH_FLAG, CONFIG_VERY_HIGH_FLAG};

// The speaker positions of the file: front centre for mono, front left and right for stereo.
int ChannelMask(int channels) {
    return channels == 1 ? 4 : channels == 2 ? 3 : 0;
}

// The output file as the library's block sink; remembers the first block.
class BlockFile : public TWavpackSink {
  public:
    explicit BlockFile(const std::string& fileName) : file_(fileName) {}

    bool Put(const void* data, int32_t count) override {
        if (count < 0) return false;
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (first_.empty()) first_.assign(bytes, bytes + count);
        return file_.Write(data, count) == count;
    }

    OutputFile& file() { return file_; }
    std::vector<uint8_t>& first() { return first_; }

  private:
    OutputFile file_;
    std::vector<uint8_t> first_;
};

class WVwriter : public Tencoder {
  public:
    explicit WVwriter(const WriterSetup& setup)
        : Tencoder(setup),
          level_(std::clamp(setup.settings.wvcompression, 0, 2)),
          channels_(setup.input.nChannels),
          bytesPerSample_(setup.input.wBitsPerSample / 8) {
        if (!wavpackdll::Load()) throw EEncoderError(kWavpackLoadFailed);
        file_ = std::make_unique<BlockFile>(setup.fileName);
        if (!file_->file().IsOpen()) {
            throw EEncoderError(kWavpackCreateFailed + setup.fileName + "\". " + std::strerror(errno));
        }
        try {
            encoder_ = std::make_unique<TWavpackEncoder>(file_.get(), nullptr);
            const WAVEFORMATEX& input = setup.input;
            encoder_->SetBitsPerSample(input.wBitsPerSample);
            encoder_->SetNumChannels(input.nChannels);
            encoder_->SetSampleRate(static_cast<int32_t>(input.nSamplesPerSec));
            encoder_->SetFlags(kModeFlags[static_cast<size_t>(level_)]);
            encoder_->SetBytesPerSample(bytesPerSample_);
            encoder_->SetChannelMask(ChannelMask(input.nChannels));
            // The total is left open (-1) and written into the first block when the file is complete.
            if (!encoder_->Init(-1)) {
                std::string text = kWavpackInitFailed;
                text.replace(text.find("%s"), 2, encoder_->GetErrorMessage());
                throw EEncoderError(text);
            }
        } catch (const EWavpackException& error) {
            Abandon(setup.fileName);
            throw EEncoderError(error.what());
        } catch (...) {
            Abandon(setup.fileName);
            throw;
        }
    }

    // Full-scale 32-bit integers from sources that store at most the file's depth.
    int Int32Depth() const override { return InputFormat().wBitsPerSample; }
    void UseInt32Input() override { int32Input_ = true; }

    // Packs the whole frames of the pending bytes and the block; what is left of a frame waits for the
    // next block. The library gathers frames into blocks of its own size (about a second of audio) and
    // hands each to the file when it is full: ending a block per Write, as the pipeline's blocks are only
    // a few thousand frames, made files about 5% larger and slower to write.
    int Write(const uint8_t* block, uint32_t length) override {
        if (length == 0) return 0;
        bytes_.resize(pending_ + length);
        std::memcpy(bytes_.data() + pending_, block, length);
        const size_t sampleSize = int32Input_ ? 4 : static_cast<size_t>(bytesPerSample_);
        const size_t frameSize = static_cast<size_t>(channels_) * sampleSize;
        const size_t total = pending_ + length;
        const size_t frames = total / frameSize;
        if (frames > 0) {
            samples_.resize(frames * static_cast<size_t>(channels_));
            if (int32Input_) {
                Narrow(bytes_.data(), samples_.size(), samples_.data());
            } else {
                Widen(bytes_.data(), samples_.size(), samples_.data());
            }
            Library([&] {
                if (!encoder_->PackSamples(samples_.data(), static_cast<uint32_t>(frames))) {
                    throw EEncoderError(WriteError());
                }
            });
        }
        pending_ = total - frames * frameSize;
        std::memmove(bytes_.data(), bytes_.data() + frames * frameSize, pending_);
        return 0;
    }

  protected:
    // The last block, then the true length in the first block rewritten in place; a failure of either
    // (a full disk) fails the file.
    void Complete() override {
        std::vector<uint8_t>& first = file_->first();
        OutputFile& file = file_->file();
        Library([&] {
            if (!encoder_->FlushSamples()) throw EEncoderError(WriteError());
            if (!first.empty()) encoder_->UpdateNumSamples(first.data());
        });
        if (!first.empty()) {
            const auto size = static_cast<off_t>(first.size());
            if (file.Seek(0, SEEK_SET) != 0 || file.Write(first.data(), size) != size) {
                throw EEncoderError(WriteError());
            }
        }
        encoder_.reset();
        if (!file.Close()) throw EEncoderError(WriteError());
    }

  private:
    // Runs library calls; the binding's own failures (an entry point missing) fail the file like others.
    template <typename Calls>
    static void Library(Calls calls) {
        try {
            calls();
        } catch (const EWavpackException& error) {
            throw EEncoderError(error.what());
        }
    }

    // Signed 32-bit samples from little-endian PCM of the writer's depth (8-bit PCM is unsigned).
    void Widen(const uint8_t* in, size_t samples, int32_t* out) const {
        switch (bytesPerSample_) {
            case 1:
                for (size_t i = 0; i < samples; ++i) out[i] = int32_t{in[i]} - 128;
                break;
            case 2:
                for (size_t i = 0; i < samples; ++i, in += 2) {
                    out[i] = static_cast<int16_t>(static_cast<uint16_t>(in[0] | in[1] << 8));
                }
                break;
            case 3:
                for (size_t i = 0; i < samples; ++i, in += 3) {
                    const uint32_t value = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16;
                    out[i] = static_cast<int32_t>(value << 8) >> 8;
                }
                break;
            default:
                std::memcpy(out, in, samples * sizeof(int32_t));
                break;
        }
    }

    // Full-scale 32-bit integers moved down to the file's depth (its bits sit at the top).
    void Narrow(const uint8_t* in, size_t samples, int32_t* out) const {
        const int shift = 32 - InputFormat().wBitsPerSample;
        for (size_t i = 0; i < samples; ++i, in += 4) {
            int32_t value;
            std::memcpy(&value, in, sizeof value);
            out[i] = value >> shift;
        }
    }

    std::string WriteError() {
        const OutputFile& file = file_->file();
        if (file.Failed()) return kWavpackWriteFailed + file.Error();
        try {
            return kWavpackWriteFailed + (encoder_ ? encoder_->GetErrorMessage() : std::string());
        } catch (const EWavpackException& error) {
            return kWavpackWriteFailed + std::string(error.what());
        }
    }

    // A file that could not be set up is not left behind.
    void Abandon(const std::string& fileName) {
        encoder_.reset();
        file_.reset();
        std::error_code error;
        std::filesystem::remove(fileName, error);
    }

    const int level_;
    const int channels_;
    const int bytesPerSample_;
    std::unique_ptr<BlockFile> file_;
    std::unique_ptr<TWavpackEncoder> encoder_;  // closed before the file
    bool int32Input_ = false;
    size_t pending_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<int32_t> samples_;
};

const WriterClass<WVwriter> kClass(kFacts);

}  // namespace

const EncoderClass& WVwriterClass = kClass;
