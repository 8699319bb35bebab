// WAV, AIFF and GSM writers: the pipeline hands them 32-bit float blocks (or, from sources that store
// integers, full-scale 32-bit integers) and libsndfile converts them into the stored sample format.
// Clipping is switched on because only then does libsndfile scale by 2^(n-1), the same factor the sources
// use, so lossless integer input comes back bit-identical.
#include "encoder/sndfile_writer.h"

#include <sndfile.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "encoder/sndfile_output.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr std::array<int, 4> kBits = {8, 16, 24, 32};
constexpr std::array<int, 5> kSubtypes = {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24,
                                          SF_FORMAT_PCM_32, SF_FORMAT_FLOAT};

constexpr Choice kDepths[] = {{"Same As Original", 0}, {"8 bit Integer", 8},   {"16 bit integer", 16},
                              {"24 bit integer", 24},  {"32 bit integer", 32}, {"32 bit IEEE float", 32}};

// WAV and AIFF share their dialog and its rows, each over its own three settings. The writer reads the
// depth index itself (SndfileBitsIndex): an index outside the list names no format and the file fails.
constexpr std::array<OptionRow, 3> PcmRows(int config::*rate, int config::*mode, int config::*depth) {
    return {RateRow(rate), ModeRow(mode), ListRow("Label9", "Bits Per Sample:", "bpsbox", depth, kDepths)};
}
constexpr auto kWavRows = PcmRows(&config::wavsrate, &config::wavmode, &config::wavbps);
constexpr auto kAiffRows = PcmRows(&config::aifsrate, &config::aifmode, &config::aifbps);
// libsndfile takes float blocks and stores them in the chosen depth.
constexpr FormatRule kWavRule = {
    .formatTag = WAVE_FORMAT_IEEE_FLOAT, .rate = &kWavRows[0], .mode = &kWavRows[1], .bits = 32};
constexpr FormatRule kAiffRule = {
    .formatTag = WAVE_FORMAT_IEEE_FLOAT, .rate = &kAiffRows[0], .mode = &kAiffRows[1], .bits = 32};
constexpr FormatRule kGsmRule = {
    .formatTag = WAVE_FORMAT_IEEE_FLOAT, .fixedRate = 8000, .fixedChannels = 1, .bits = 32};

constexpr WriterFacts kWavFacts = {.name = "WAVwriter",
                                   .description = "WAV  - Microsoft WAV PCM Encoder",
                                   .extension = "wav",
                                   .filter = "WAV files (*.wav)|*.wav",
                                   .lossless = true,
                                   .dialog = {.caption = "WAV Encoder Options",
                                              .object = "wavEncoderForm",
                                              .rows = kWavRows,
                                              .sharedMode = 1},
                                   .format = &kWavRule};
constexpr WriterFacts kAiffFacts = {.name = "AIFwriter",
                                    .description = "AIFF - Audio Interchange File Encoder",
                                    .extension = "aiff",
                                    .filter = "AIFF files (*.aiff)|*.aiff",
                                    .lossless = true,
                                    .dialog = {.caption = "AIFF Encoder Options",
                                               .object = "wavEncoderForm",
                                               .rows = kAiffRows,
                                               .sharedMode = 2},
                                    .format = &kAiffRule};
// GSM files carry no tags.
constexpr WriterFacts kGsmFacts = {.name = "GSMwriter",
                                   .description = "GSM  - GSM 6.10 Codec",
                                   .extension = "gsm",
                                   .filter = "GSM Audio (*.gsm)|*.gsm",
                                   .canCopyTags = false,
                                   .writesTags = false,
                                   .hasOptions = false,
                                   .format = &kGsmRule};

// libsndfile's error text without its "System error : " style prefix and final full stop.
std::string ErrorText(SNDFILE* handle) {
    std::string text = sf_strerror(handle);
    const size_t colon = text.find(" : ");
    if (colon != std::string::npos) text.erase(0, colon + 3);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
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

// Owns one libsndfile handle over its own output file; closing the handle completes the file's header.
class SndfileWriter : public Tencoder {
  public:
    SndfileWriter(const WriterSetup& setup, int format)
        : Tencoder(setup),
          aiff8_((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF &&
                 ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 ||
                  (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_S8)),
          sampleBytes_(SampleBytes(format)),
          limit_(SizeFieldLimit()),
          output_(setup.fileName) {
        if (!output_.IsOpen())
            throw EEncoderError(kSndfileCreateFailed, std::generic_category().message(errno));
        const WAVEFORMATEX& inputFormat = setup.input;
        info_.frames = 0;
        info_.samplerate = static_cast<int>(inputFormat.nSamplesPerSec);
        info_.channels = inputFormat.nChannels;
        info_.format = format;
        info_.sections = 1;
        info_.seekable = 1;
        handle_ = sf_open_virtual(SndfileOutput::Io(), SFM_WRITE, &info_, &output_);
        if (!handle_ || output_.Failed()) {
            // A format libsndfile refuses, or a header the disk refuses: no file is left behind.
            const std::string detail = output_.Failed() ? output_.Error() : ErrorText(nullptr);
            if (handle_) sf_close(handle_);
            handle_ = nullptr;
            output_.Close();
            std::error_code error;
            std::filesystem::remove(setup.fileName, error);
            throw EEncoderError(kSndfileCreateFailed, detail);
        }
        headerBytes_ = static_cast<uint64_t>(std::max<sf_count_t>(output_.Length(), 0));
        sf_command(handle_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
    ~SndfileWriter() override {
        if (handle_) sf_close(handle_);
    }

    // Integer subtypes only: libsndfile narrows full-scale integers by shifting, which for samples of at
    // most the stored depth gives exactly what the float road gives.
    int Int32Depth() const override {
        if ((info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) return 0;  // GSM
        switch (info_.format & SF_FORMAT_SUBMASK) {
            case SF_FORMAT_PCM_U8:
            case SF_FORMAT_PCM_S8:
                return 8;
            case SF_FORMAT_PCM_16:
                return 16;
            case SF_FORMAT_PCM_24:
                return 24;
            case SF_FORMAT_PCM_32:
                return 32;
            default:
                return 0;
        }
    }
    void UseInt32Input() override { int32Input_ = true; }

    // AIFF cannot hold more than its 32-bit sizes state; WAV turns into RF64 while writing.
    void CheckLength(uint64_t frames) const override {
        if (IsAiff() && !Fits(frames * static_cast<uint64_t>(info_.channels) * sampleBytes_))
            throw EEncoderError(kAiffTooLarge);
    }

    int Write(const uint8_t* block, uint32_t length) override {
        const sf_count_t items = length / 4;  // floats or 32-bit integers
        if (items == 0) return 0;
        CheckSize(static_cast<uint64_t>(samplesWritten_ + items) * sampleBytes_);
        std::vector<float> aligned;
        if (reinterpret_cast<uintptr_t>(block) % alignof(float) != 0) {
            aligned.resize(static_cast<size_t>(items));
            std::memcpy(aligned.data(), block, aligned.size() * sizeof(float));
            block = reinterpret_cast<const uint8_t*>(aligned.data());
        }
        // A short write (full disk, a block that is not whole frames) would otherwise end in a truncated
        // file reported as converted; raising makes the pipeline fail the file and delete it.
        const sf_count_t written =
            int32Input_ ? sf_write_int(handle_, reinterpret_cast<const int*>(block), items)
                        : sf_write_float(handle_, reinterpret_cast<const float*>(block), items);
        if (written != items) {
            throw EEncoderError(std::string(kSndfileWriteFailed) + sf_strerror(handle_));
        }
        if (output_.Failed()) throw EEncoderError(std::string(kSndfileWriteFailed) + output_.Error());
        samplesWritten_ += items;
        return 0;
    }

  protected:
    // Closing writes the last encoded block and completes the header; a failure there fails the file.
    void Complete() override {
        const int result = sf_close(handle_);
        handle_ = nullptr;
        if (result == 0 && output_.IsRf64()) {
            output_.FinishRf64(static_cast<uint64_t>(samplesWritten_) * sampleBytes_,
                               static_cast<uint64_t>(samplesWritten_ / info_.channels));
        }
        if (!output_.Close()) throw EEncoderError(std::string(kSndfileWriteFailed) + output_.Error());
        if (result != 0) throw EEncoderError(std::string(kSndfileWriteFailed) + sf_error_number(result));
        if (aiff8_ && samplesWritten_ % 2 == 1) {
            FixAiffPadFrame(GetFileName(), static_cast<uint32_t>(samplesWritten_ / info_.channels),
                            static_cast<uint32_t>(samplesWritten_));
        }
    }

  private:
    // Bytes one stored sample takes; 0 for GSM, whose headerless files have no size fields.
    static uint64_t SampleBytes(int format) {
        if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) return 0;
        switch (format & SF_FORMAT_SUBMASK) {
            case SF_FORMAT_PCM_U8:
            case SF_FORMAT_PCM_S8:
                return 1;
            case SF_FORMAT_PCM_16:
                return 2;
            case SF_FORMAT_PCM_24:
                return 3;
            default:
                return 4;
        }
    }

    // Before sound data would take the file past what the header's 32-bit sizes can state (the RIFF or
    // FORM size counts everything after its own field, a pad byte included): a WAV file becomes RF64, an
    // AIFF output fails, since AIFF has no larger form. Wrapped sizes would hide the rest of the audio.
    void CheckSize(uint64_t dataBytes) {
        if (output_.IsRf64() || Fits(dataBytes)) return;
        if (IsAiff()) throw EEncoderError(kAiffTooLarge);
        output_.MakeRf64Room(Rf64RoomByCopy());
    }
    bool Fits(uint64_t dataBytes) const {
        return sampleBytes_ == 0 || headerBytes_ + dataBytes + (dataBytes & 1) - 8 <= limit_;
    }
    bool IsAiff() const { return (info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF; }

    const bool aiff8_;
    const uint64_t sampleBytes_;
    const uint64_t limit_;
    uint64_t headerBytes_ = 0;  // what libsndfile wrote before the first sample
    SndfileOutput output_;
    SF_INFO info_{};
    SNDFILE* handle_ = nullptr;
    sf_count_t samplesWritten_ = 0;  // all channels together
    bool int32Input_ = false;
};

class WAVwriter : public SndfileWriter {
  public:
    explicit WAVwriter(const WriterSetup& setup)
        : SndfileWriter(setup, SndfileFormat(SndfileContainer::WAV,
                                             SndfileBitsIndex(setup.settings.wavbps, setup.source))) {}
};

class AIFwriter : public SndfileWriter {
  public:
    explicit AIFwriter(const WriterSetup& setup)
        : SndfileWriter(setup, SndfileFormat(SndfileContainer::AIFF,
                                             SndfileBitsIndex(setup.settings.aifbps, setup.source))) {}
};

class GSMwriter : public SndfileWriter {
  public:
    explicit GSMwriter(const WriterSetup& setup) : SndfileWriter(setup, kGsmFormat) {}
};

const WriterClass<WAVwriter> kWavClass(kWavFacts);
const WriterClass<AIFwriter> kAiffClass(kAiffFacts);
const WriterClass<GSMwriter> kGsmClass(kGsmFacts);

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
