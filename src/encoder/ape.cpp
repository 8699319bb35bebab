// Monkey's Audio writer: integer PCM handed unchanged to libMACDLL.so, which compresses and writes the
// file itself. The writer only chooses the format and the level and turns the library's answers into
// failures of the file.
#include <algorithm>
#include <array>

#include "bindings/monkeydec.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr std::array<int, 3> kBits = {8, 16, 24};

constexpr OptionRow kRows[] = {
    RateRow(&config::apesamplerate),
    ModeRow(&config::apemode),
    SliderRow("Label6", "Compression Level:", "levelbox", &config::apecompression, 1, 5),
};
constexpr FormatRule kFormat = {.rate = &kRows[0], .mode = &kRows[1], .maxChannels = 2, .depths = kBits};
constexpr WriterFacts kFacts = {
    .name = "APEwriter",
    .description = "APE  - Monkey's Audio Encoder",
    .extension = "ape",
    .filter = "Monkey Audio files (*.ape)|*.ape",
    .lossless = true,
    .dialog = {.caption = "APE Encoder Options", .object = "apeEncoderForm", .rows = kRows},
    .format = &kFormat};

// The library's interface version this writer is written for.
constexpr int kInterfaceVersion = 3990;
// The most input a file may take: the format counts its audio bytes in 32 bits.
constexpr int64_t kMaxAudioBytes = 4294967295;
// AddData takes an int byte count: longer blocks go in pieces of whole 24-bit stereo frames.
constexpr uint32_t kMaxPiece = 6u << 20;

// The level the library gets: the slider position 1 to 5 times 1000, a stored value outside taken as the
// slider shows it.
int Level(const config& settings) {
    return std::clamp(settings.apecompression, 1, 5) * 1000;
}

// Owns one compressor. Destroying it without a finished file removes the file.
class Compressor {
  public:
    Compressor() : handle_(c_APECompress_Create(nullptr)) {}
    ~Compressor() {
        if (handle_) c_APECompress_Destroy(handle_);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    APE_COMPRESS_HANDLE get() const { return handle_; }

  private:
    const APE_COMPRESS_HANDLE handle_;
};

class APEwriter : public Tencoder {
  public:
    explicit APEwriter(const WriterSetup& setup) : Tencoder(setup) {
        GetInterfaceCompatibility(kInterfaceVersion, true, nullptr);
        if (!compressor_.get()) throw EEncoderError(kApeCreateFailed);
        // No header data and -1: the decompressor makes the WAV header from the file's own fields.
        // Anything the library refuses (format, level, an output it cannot create) leaves no file.
        if (c_APECompress_StartW(compressor_.get(), setup.fileName.c_str(), &setup.input, kMaxAudioBytes,
                                 Level(setup.settings), nullptr, -1) != MAC_ERROR_SUCCESS) {
            throw EEncoderError(kApeStartFailed);
        }
    }

    int Write(const uint8_t* block, uint32_t length) override {
        while (length > 0) {
            const uint32_t piece = std::min(length, kMaxPiece);
            // The library only reads the data; its C interface just does not say so.
            Check(c_APECompress_AddData(compressor_.get(), const_cast<uint8_t*>(block),
                                        static_cast<int>(piece)));
            block += piece;
            length -= piece;
        }
        return 0;
    }

  protected:
    // The last frame, the seek table and the headers: a failure there (a full disk) fails the file, and
    // the library has removed it.
    void Complete() override { Check(c_APECompress_Finish(compressor_.get(), nullptr, 0, 0)); }

  private:
    // A failed call leaves the compressor refusing everything and the file unfinishable: fail it.
    static void Check(int result) {
        if (result == MAC_ERROR_TOO_LARGE) throw EEncoderError(kApeTooLarge);
        if (result != MAC_ERROR_SUCCESS) throw EEncoderError(kApeCompressorFailed);
    }

    Compressor compressor_;
};

const WriterClass<APEwriter> kClass(kFacts);

}  // namespace

const EncoderClass& APEwriterClass = kClass;
