// Opus writer: 32-bit float PCM handed to libopusenc, which encodes and frames the Ogg pages. The writer
// owns the output file and gives libopusenc write and close callbacks, so every failed write, flush or
// close is seen here and fails the file instead of leaving a truncated one counted as converted.
#include <opusenc.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr Choice kOpusRates[] = {{"Same As Original", 0}, {"48000", 48000}, {"24000", 24000},
                                 {"16000", 16000},        {"12000", 12000}, {"8000", 8000}};
// The item value is what libopus is asked for: 0 constant, 1 variable (constrained) bit rate.
constexpr Choice kEncodings[] = {{"Constant Bitrate", 0}, {"Variable Bitrate", 1}};
constexpr Choice kBitrates[] = {{"510", 510}, {"320", 320}, {"256", 256}, {"224", 224}, {"192", 192},
                                {"160", 160}, {"128", 128}, {"112", 112}, {"96", 96},   {"80", 80},
                                {"64", 64},   {"56", 56},   {"48", 48},   {"40", 40},   {"32", 32},
                                {"24", 24},   {"16", 16},   {"8", 8}};
constexpr OptionRow kRows[] = {
    // "Same As Original" takes the listed rate nearest to the source's (ties to the higher one).
    RateRow(&config::opussamplerate, kOpusRates),
    ModeRow(&config::opusmode),
    ListRow("Label1", "Encoding:", "modeBox", &config::opusvbrmode, kEncodings, 1),
    // 128 kbit/s for a stored index outside the list.
    ListRow("Label2", "Bitrate:", "bitratebox", &config::opusbitrate, kBitrates, 6),
};
constexpr FormatRule kFormat = {.formatTag = WAVE_FORMAT_IEEE_FLOAT,
                                .rate = &kRows[0],
                                .nearestRate = true,
                                .mode = &kRows[1],
                                .bits = 32};
constexpr WriterFacts kFacts = {
    .name = "Opuswriter",
    .description = "OPUS - Ogg Opus Encoder",
    .extension = "opus",
    .filter = "Ogg Opus files (*.opus)|*.opus",
    .dialog = {.caption = "Opus Encoder Options", .object = "opusEncoderForm", .height = 185, .rows = kRows},
    .format = &kFormat};

std::string WithLibraryText(const char* message, int code) {
    std::string text = message;
    const std::string::size_type at = text.find("%s");
    const char* reason = ope_strerror(code);
    return text.replace(at, 2, reason ? reason : "");
}

// The output file as libopusenc's callbacks see it: remembers whether any write, flush or close failed.
class OpusOutput {
  public:
    ~OpusOutput() {
        if (file_) std::fclose(file_);
    }
    bool Open(const std::string& fileName) {
        file_ = std::fopen(fileName.c_str(), "wb");
        return file_ != nullptr;
    }
    // Closes the file; false when it or anything before failed.
    bool Close() {
        if (file_ && std::fclose(file_) != 0) failed_ = true;
        file_ = nullptr;
        return !failed_;
    }
    bool Failed() const { return failed_; }

    static int WritePage(void* self, const unsigned char* data, opus_int32 length) {
        auto* output = static_cast<OpusOutput*>(self);
        const size_t count = static_cast<size_t>(length);
        if (!output->file_ || std::fwrite(data, 1, count, output->file_) != count) output->failed_ = true;
        return output->failed_ ? 1 : 0;
    }
    // libopusenc "closes" at the end of the stream (and again in ope_encoder_destroy when a drain failed);
    // the file itself is closed by the writer once the encoder is gone, so this only flushes.
    static int Flush(void* self) {
        auto* output = static_cast<OpusOutput*>(self);
        if (!output->file_ || std::fflush(output->file_) != 0) output->failed_ = true;
        return output->failed_ ? 1 : 0;
    }

  private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

struct EncoderDeleter {
    // Destroys without draining: draining an encoder that never took a call to write aborts inside
    // libopusenc, and one whose set-up failed has nothing to finish.
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
};
struct CommentsDeleter {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
};

class Opuswriter : public Tencoder {
  public:
    explicit Opuswriter(const WriterSetup& setup) : Tencoder(setup) {
        const WAVEFORMATEX& format = setup.input;
        channels_ = format.nChannels;
        comments_.reset(ope_comments_create());
        if (!comments_) throw EEncoderError(kOpusInitFailed);
        static const OpusEncCallbacks callbacks = {&OpusOutput::WritePage, &OpusOutput::Flush};
        int error = OPE_OK;
        encoder_.reset(ope_encoder_create_callbacks(&callbacks, &output_, comments_.get(),
                                                    static_cast<opus_int32>(format.nSamplesPerSec), channels_,
                                                    0, &error));
        if (!encoder_ || error != OPE_OK) throw EEncoderError(kOpusInitFailed);
        lastResult_ = ope_encoder_ctl(encoder_.get(), OPUS_SET_VBR_REQUEST,
                                      static_cast<opus_int32>(setup.settings.opusvbrmode));
        if (lastResult_ < 0) throw EEncoderError(WithLibraryText(kOpusVbrFailed, lastResult_));
        lastResult_ = ope_encoder_ctl(encoder_.get(), OPUS_SET_BITRATE_REQUEST,
                                      static_cast<opus_int32>(kRows[3].Value(setup.settings) * 1000));
        if (lastResult_ < 0) throw EEncoderError(WithLibraryText(kOpusBitrateFailed, lastResult_));
        // The file is created last: a set-up that fails leaves nothing behind.
        if (!output_.Open(setup.fileName)) throw EEncoderError(kOpusInitFailed);
        ready_ = true;
    }

    int Write(const uint8_t* block, uint32_t length) override {
        const size_t samples = length / sizeof(float);
        const int frames = static_cast<int>(samples / channels_);
        if (frames == 0) return 0;
        const float* pcm = reinterpret_cast<const float*>(block);
        if (reinterpret_cast<uintptr_t>(block) % alignof(float) != 0) {
            aligned_.resize(samples);
            std::memcpy(aligned_.data(), block, samples * sizeof(float));
            pcm = aligned_.data();
        }
        lastResult_ = ope_encoder_write_float(encoder_.get(), pcm, frames);
        wrote_ = true;
        if (lastResult_ != OPE_OK || output_.Failed()) throw EEncoderError(kDataWriteError);
        return 0;
    }

  protected:
    // libopusenc holds back about three seconds, so for a short file every page is written here: a failed
    // drain, flush or close fails the file.
    void Complete() override {
        if (!ready_) return;
        ready_ = false;
        if (!wrote_) {
            // An empty source: one call to write (of nothing) starts the stream, so the drain writes a
            // valid file without audio instead of aborting.
            const float nothing = 0.0f;
            ope_encoder_write_float(encoder_.get(), &nothing, 0);
        }
        lastResult_ = ope_encoder_drain(encoder_.get());
        encoder_.reset();
        const bool closed = output_.Close();
        if (lastResult_ != OPE_OK || !closed) throw EEncoderError(kDataWriteError);
    }

  private:
    // Declared in this order so the encoder goes first (its destruction may still flush into the file),
    // then the comments it refers to, then the file.
    OpusOutput output_;
    std::unique_ptr<OggOpusComments, CommentsDeleter> comments_;
    std::unique_ptr<OggOpusEnc, EncoderDeleter> encoder_;
    int lastResult_ = OPE_OK;
    int channels_ = 1;
    bool ready_ = false;
    bool wrote_ = false;
    std::vector<float> aligned_;
};

const WriterClass<Opuswriter> kClass(kFacts);

}  // namespace

const EncoderClass& OpuswriterClass = kClass;
