// FLAC writer: integer PCM widened to 32-bit samples and handed to libFLAC, which writes the file itself
// (through its file-based init, so it can go back and complete the sample count and MD5 in STREAMINFO).
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "bindings/libflac.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr std::array<int, 3> kBits = {8, 16, 24};
constexpr unsigned kPaddingBytes = 8192;

constexpr CheckItem kSubset[] = {
    {"Allow encoder to generate non-Subset files", "flacsubset", &config::flacnonsubset}};
constexpr OptionRow kRows[] = {
    RateRow(&config::flacsamplerate),
    ModeRow(&config::flacmode),
    SliderRow("Label6", "Compression Level:", "levelbox", &config::flaccompression, 0, 8),
    ChecksRow(kSubset),
};
constexpr FormatRule kFormat = {.rate = &kRows[0], .mode = &kRows[1], .depths = kBits};
constexpr WriterFacts kFacts = {
    .name = "FLACwriter",
    .description = "FLAC - Free Lossless Audio Codec",
    .extension = "flac",
    .filter = "FLAC files (*.flac)|*.flac",
    .lossless = true,
    .dialog = {.caption = "FLAC Encoder Options", .object = "flacEncoderForm", .height = 185, .rows = kRows},
    .format = &kFormat};

// Owns one libFLAC encoder: finishes (completing and closing the file, unless the writer did) and deletes
// it, also after a failed init.
class FlacEncoder {
  public:
    explicit FlacEncoder(const libflac::Entries& api) : api_(api), encoder_(api.FLAC__stream_encoder_new()) {}
    ~FlacEncoder() {
        if (!encoder_) return;
        api_.FLAC__stream_encoder_finish(encoder_);
        api_.FLAC__stream_encoder_delete(encoder_);
    }
    FlacEncoder(const FlacEncoder&) = delete;
    FlacEncoder& operator=(const FlacEncoder&) = delete;

    FLAC__StreamEncoder* get() const { return encoder_; }

  private:
    const libflac::Entries& api_;
    FLAC__StreamEncoder* const encoder_;
};

// The entry points the writer calls; without every one of them the writer cannot work.
bool HasWriterEntries(const libflac::Entries& api) {
    return api.FLAC__stream_encoder_new && api.FLAC__stream_encoder_delete &&
           api.FLAC__stream_encoder_set_verify && api.FLAC__stream_encoder_set_streamable_subset &&
           api.FLAC__stream_encoder_set_compression_level && api.FLAC__stream_encoder_set_channels &&
           api.FLAC__stream_encoder_set_bits_per_sample && api.FLAC__stream_encoder_set_sample_rate &&
           api.FLAC__stream_encoder_init_file && api.FLAC__stream_encoder_process_interleaved &&
           api.FLAC__stream_encoder_finish;
}

const libflac::Entries& LoadedEntries() {
    libflac::Load();
    const libflac::Entries* api = libflac::Get();
    if (!api || !HasWriterEntries(*api)) throw EEncoderError(kEncoderLibraryMissing);
    return *api;
}

class FLACwriter : public Tencoder {
  public:
    explicit FLACwriter(const WriterSetup& setup) : Tencoder(setup), api_(LoadedEntries()), encoder_(api_) {
        const WAVEFORMATEX& inputFormat = setup.input;
        const std::string& fileName = setup.fileName;
        FLAC__StreamEncoder* encoder = encoder_.get();
        if (!encoder) throw EEncoderError(kFlacInitFailed);
        // libFLAC leaves a file it opened behind when it then refuses the parameters, so those it would
        // refuse are turned away before it creates anything.
        if (inputFormat.nChannels < 1 || inputFormat.nChannels > FLAC__MAX_CHANNELS ||
            inputFormat.nSamplesPerSec < 1 || inputFormat.nSamplesPerSec > FLAC__MAX_SAMPLE_RATE) {
            throw EEncoderError(kFlacInitFailed);
        }
        api_.FLAC__stream_encoder_set_verify(encoder, false);
        api_.FLAC__stream_encoder_set_streamable_subset(encoder, !setup.settings.flacnonsubset);
        api_.FLAC__stream_encoder_set_compression_level(
            encoder, static_cast<uint32_t>(setup.settings.flaccompression));
        api_.FLAC__stream_encoder_set_channels(encoder, inputFormat.nChannels);
        api_.FLAC__stream_encoder_set_bits_per_sample(encoder, inputFormat.wBitsPerSample);
        api_.FLAC__stream_encoder_set_sample_rate(encoder, inputFormat.nSamplesPerSec);
        // Room for the tags copied in after the file is complete (8 KiB, as the flac tool leaves):
        // without it the tag library has to move every audio byte of the file to make space.
        if (api_.FLAC__stream_encoder_set_metadata) {
            padding_.type = FLAC__METADATA_TYPE_PADDING;
            padding_.is_last = true;
            padding_.length = kPaddingBytes;
            metadata_[0] = &padding_;
            api_.FLAC__stream_encoder_set_metadata(encoder, metadata_, 1);
        }
        std::error_code error;
        const bool existed = std::filesystem::exists(fileName, error);
        errno = 0;
        if (api_.FLAC__stream_encoder_init_file(encoder, fileName.c_str(), nullptr, nullptr) !=
            FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
            // Only a failing open of the file leaves a system error behind; refused settings set none.
            const int openError = errno;
            // libFLAC opens the file before it checks the settings (a rate outside the subset, say) and
            // leaves it behind empty when it refuses them.
            if (!existed) std::filesystem::remove(fileName, error);
            throw EEncoderError(kFlacInitFailed, openError ? std::generic_category().message(openError) : "");
        }
    }

    int Int32Depth() const override { return InputFormat().wBitsPerSample; }
    void UseInt32Input() override { int32Input_ = true; }

    int Write(const uint8_t* block, uint32_t length) override {
        const WAVEFORMATEX& format = InputFormat();
        const uint32_t frameBytes = int32Input_ ? 4u * format.nChannels : format.nBlockAlign;
        const uint32_t frames = frameBytes == 0 ? 0 : length / frameBytes;
        const size_t samples = size_t{frames} * format.nChannels;
        if (samples == 0) return 0;
        buffer_.resize(samples);
        int32_t* out = buffer_.data();
        if (int32Input_) {
            // Full-scale integers: the stored bits sit at the top.
            const int shift = 32 - format.wBitsPerSample;
            for (size_t i = 0; i < samples; ++i, block += 4) {
                int32_t value;
                std::memcpy(&value, block, sizeof value);
                out[i] = value >> shift;
            }
        } else {
            switch (format.wBitsPerSample) {
                case 8:
                    for (size_t i = 0; i < samples; ++i) out[i] = int32_t{block[i]} - 128;
                    break;
                case 16:
                    for (size_t i = 0; i < samples; ++i, block += 2) {
                        out[i] = static_cast<int16_t>(uint16_t(block[0] | block[1] << 8));
                    }
                    break;
                default:  // 24
                    for (size_t i = 0; i < samples; ++i, block += 3) {
                        const uint32_t value =
                            uint32_t{block[0]} | uint32_t{block[1]} << 8 | uint32_t{block[2]} << 16;
                        out[i] = static_cast<int32_t>(value << 8) >> 8;
                    }
                    break;
            }
        }
        // A failing write (a full disk) would otherwise end in a truncated file reported as converted.
        errno = 0;
        if (!api_.FLAC__stream_encoder_process_interleaved(encoder_.get(), out, frames)) {
            throw EEncoderError(kFlacEncoderFailed, errno ? std::generic_category().message(errno) : "");
        }
        return 0;
    }

  protected:
    // libFLAC flushes the last frames and goes back to complete STREAMINFO; a failure there (a full disk)
    // fails the file. The encoder is deleted with its member.
    void Complete() override {
        errno = 0;
        if (!api_.FLAC__stream_encoder_finish(encoder_.get())) {
            throw EEncoderError(kFlacEncoderFailed, errno ? std::generic_category().message(errno) : "");
        }
    }

  private:
    const libflac::Entries& api_;
    // libFLAC keeps pointers to these until the encoder has finished, so they are declared (and live)
    // before it.
    FLAC__StreamMetadata padding_{};
    FLAC__StreamMetadata* metadata_[1] = {};
    FlacEncoder encoder_;
    std::vector<int32_t> buffer_;
    bool int32Input_ = false;
};

const WriterClass<FLACwriter> kClass(kFacts);

}  // namespace

const EncoderClass& FLACwriterClass = kClass;
