// MP3 writer: 16-bit PCM through the LAME DLL interface into a file this writer writes itself. Every file
// starts with LAME's information frame, rewritten at the end with the real frame count, so players show
// the true duration of VBR files and gapless players can drop the encoder delay and padding.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "bindings/lame_dll.h"
#include "encoder/mp3_info.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr Choice kMp3Rates[] = {{"Same As Original", 0}, {"48000", 48000}, {"44100", 44100}, {"32000", 32000},
                                {"24000", 24000},        {"22050", 22050}, {"16000", 16000}, {"12000", 12000},
                                {"11025", 11025},        {"8000", 8000}};
constexpr Choice kMp3Modes[] = {
    {"Same As Original", 0}, {"Stereo", 2}, {"Joint Stereo", 2}, {"Dual Channel", 2}, {"Mono", 1}};
constexpr Choice kBitrates[] = {{"320", 320}, {"256", 256}, {"224", 224}, {"192", 192}, {"160", 160},
                                {"128", 128}, {"112", 112}, {"96", 96},   {"80", 80},   {"64", 64},
                                {"56", 56},   {"48", 48},   {"40", 40},   {"32", 32},   {"16", 16}};
constexpr CheckItem kFlags[] = {{"Private", "mp3private", &config::mp3private},
                                {"CRC", "mp3crc", &config::mp3crc},
                                {"Original", "mp3original", &config::mp3original},
                                {"Copyright", "mp3copyright", &config::mp3copyright}};
constexpr OptionRow kRows[] = {
    // "Same As Original" takes the listed rate nearest to the source's.
    RateRow(&config::mp3srate, kMp3Rates),
    // Anything but "Same As Original" and "Mono" is stereo.
    ModeRow(&config::mp3mode, kMp3Modes, 1),
    // 128 kbit/s for a stored index outside the list.
    ListRow("Label2", "Bitrate:", "bitratebox", &config::mp3bitrate, kBitrates, 5),
    CheckSliderRow("mp3vbr", "Enable VBR (VBR Quality:)", &config::mp3vbr, "vbrquality",
                   &config::mp3vbrquality, 0, 9),
    ChecksRow(kFlags),
};
constexpr FormatRule kFormat = {
    .rate = &kRows[0], .nearestRate = true, .mode = &kRows[1], .maxChannels = 2, .bits = 16};
constexpr WriterFacts kFacts = {
    .name = "MP3writer",
    .description = "MP3  - Lame MP3 Encoder",
    .extension = "mp3",
    .filter = "MP3 files (*.mp3)|*.mp3",
    .dialog = {.caption = "MP3 Encoder Options", .object = "mp3EncoderForm", .height = 215, .rows = kRows},
    .format = &kFormat};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Releases the LAME stream when the writer (or a failed constructor) is done with it.
class LameStream {
  public:
    LameStream() = default;
    ~LameStream() {
        if (open_) beCloseStream(handle_);
    }
    LameStream(const LameStream&) = delete;
    LameStream& operator=(const LameStream&) = delete;

    BE_ERR Init(const BE_CONFIG& config, uint32_t& samples, uint32_t& bufferSize) {
        const BE_ERR result = beInitStream(&config, &samples, &bufferSize, &handle_);
        open_ = result == BE_ERR_SUCCESSFUL;
        return result;
    }
    HBE_STREAM handle() const { return handle_; }

  private:
    HBE_STREAM handle_ = 0;
    bool open_ = false;
};

BE_CONFIG MakeConfig(const WAVEFORMATEX& output, const config& settings) {
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    auto& c = config.LHV1;
    config.dwConfig = BE_CONFIG_LAME;
    c.dwStructVersion = 1;
    c.dwStructSize = sizeof(BE_CONFIG);
    c.dwSampleRate = output.nSamplesPerSec;
    c.dwReSampleRate = 0;
    c.nMode = output.nChannels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO;
    c.dwBitrate = static_cast<uint32_t>(kRows[2].Value(settings));
    c.dwMaxBitrate = 320;
    c.nPreset = settings.mp3vbr ? LQP_NOPRESET : LQP_CBR;
    c.dwMpegVersion = output.nSamplesPerSec >= 32000 ? MPEG1 : MPEG2;
    // A user who ticks these expects them in the stream.
    c.bPrivate = settings.mp3private ? 1 : 0;
    c.bCRC = settings.mp3crc ? 1 : 0;
    c.bCopyright = settings.mp3copyright ? 1 : 0;
    c.bOriginal = settings.mp3original ? 1 : 0;
    // The information frame, also for CBR ("Info"): it carries the encoder delay and padding.
    c.bWriteVBRHeader = 1;
    c.bEnableVBR = settings.mp3vbr ? -1 : 0;
    c.nVBRQuality = 8 - settings.mp3vbrquality;
    c.nVbrMethod = settings.mp3vbr ? VBR_METHOD_DEFAULT : VBR_METHOD_NONE;
    return config;
}

// The system's text for the error a failed stdio call left in errno.
std::string SystemError() {
    return std::generic_category().message(errno);
}

class MP3writer : public Tencoder {
  public:
    explicit MP3writer(const WriterSetup& setup) : Tencoder(setup) {
        const WAVEFORMATEX& inputFormat = setup.input;
        outputStream_.reset(std::fopen(setup.fileName.c_str(), "wb"));
        if (!outputStream_) throw EEncoderError(kMp3CreateFailed, SystemError());
        config_ = MakeConfig(inputFormat, setup.settings);
        lastResult_ = lameStream_.Init(config_, samplesPerChunk_, minimumBufferSize_);
        if (lastResult_ != BE_ERR_SUCCESSFUL) throw EEncoderError(kMp3StreamFailed);
        outputBuffer_.resize(size_t{10} * inputFormat.nSamplesPerSec);
        // LAME writes into the buffer without a size: a block is cut into pieces whose worst case
        // (1.25 bytes per frame + 7200) fits it, so an oversized block cannot overrun it.
        const uint32_t channels = inputFormat.nChannels;
        inputChannels_ = std::max<uint32_t>(channels, 1);
        const size_t frames = (outputBuffer_.size() - 7200) * 4 / 5;
        chunkSamples_ = static_cast<uint32_t>(frames) * channels;
    }

    // LAME takes 16-bit samples: integer sources of up to 16 bits come as full-scale integers instead of
    // through the converter.
    int Int32Depth() const override { return 16; }
    void UseInt32Input() override { int32Input_ = true; }

    int Write(const uint8_t* block, uint32_t length) override {
        uint32_t samples = length / 2;
        const int16_t* pcm = reinterpret_cast<const int16_t*>(block);
        std::vector<int16_t> aligned;
        if (int32Input_) {
            samples = length / 4;
            narrowed_.resize(samples);
            for (uint32_t i = 0; i < samples; ++i) {
                int32_t value;
                std::memcpy(&value, block + 4 * size_t{i}, sizeof value);
                narrowed_[i] = static_cast<int16_t>(value >> 16);
            }
            pcm = narrowed_.data();
        } else if (reinterpret_cast<uintptr_t>(block) % alignof(int16_t) != 0) {
            aligned.resize(samples);
            std::memcpy(aligned.data(), block, samples * sizeof(int16_t));
            pcm = aligned.data();
        }
        uint32_t produced = 0;
        while (samples > 0) {
            const uint32_t count = std::min(samples, chunkSamples_);
            chunkByteCount_ = 0;
            lastResult_ =
                beEncodeChunk(lameStream_.handle(), count, pcm, outputBuffer_.data(), &chunkByteCount_);
            if (lastResult_ != BE_ERR_SUCCESSFUL) throw EEncoderError(kMp3EncoderFailed);
            bytesWritten_ = static_cast<int32_t>(
                std::fwrite(outputBuffer_.data(), 1, chunkByteCount_, outputStream_.get()));
            if (static_cast<uint32_t>(bytesWritten_) < chunkByteCount_)
                throw EEncoderError(kDataWriteError, SystemError());
            produced += chunkByteCount_;
            streamBytes_ += chunkByteCount_;
            pcmFrames_ += count / inputChannels_;
            pcm += count;
            samples -= count;
        }
        return static_cast<int>(produced);
    }

  protected:
    // The last frames, then the finished information frame over LAME's placeholder at the start, then the
    // file closes: a write that fails on the way (a full disk) fails the file. The LAME stream closes with
    // its member, after the file.
    void Complete() override {
        finalByteCount_ = 0;
        lastResult_ = beDeinitStream(lameStream_.handle(), outputBuffer_.data(), &finalByteCount_);
        if (lastResult_ != BE_ERR_SUCCESSFUL) throw EEncoderError(kMp3EncoderFailed);
        if (std::fwrite(outputBuffer_.data(), 1, finalByteCount_, outputStream_.get()) < finalByteCount_)
            throw EEncoderError(kDataWriteError, SystemError());
        streamBytes_ += finalByteCount_;
        WriteInfoFrame();
        if (std::fclose(outputStream_.release()) != 0) throw EEncoderError(kDataWriteError, SystemError());
    }

  private:
    // Overwrites the placeholder frame LAME put at the start of the stream with the finished one.
    void WriteInfoFrame() {
        std::vector<uint8_t> frame(2880);
        uint32_t size = static_cast<uint32_t>(frame.size());
        BE_ERR result = beGetInfoTag(lameStream_.handle(), frame.data(), &size);
        if (result == BE_ERR_BUFFER_TOO_SMALL) {
            frame.resize(size);
            result = beGetInfoTag(lameStream_.handle(), frame.data(), &size);
        }
        if (result != BE_ERR_SUCCESSFUL || size == 0) return;
        // LAME's counts are 32 bits: one that wrapped (a stream past 4 GiB) is left out instead.
        FitInfoFrame(frame.data(), size, EstimatedFrames(), streamBytes_);
        if (std::fseek(outputStream_.get(), 0, SEEK_SET) != 0 ||
            std::fwrite(frame.data(), 1, size, outputStream_.get()) < size) {
            throw EEncoderError(kDataWriteError, SystemError());
        }
    }

    // MPEG frames in the stream: the samples given, LAME's delay and padding (under two frames) and the
    // information frame. Only whether it passes 32 bits matters, which it would only after years of sound.
    uint64_t EstimatedFrames() const {
        const uint64_t perFrame = config_.LHV1.dwMpegVersion == MPEG1 ? 1152 : 576;
        return pcmFrames_ / perFrame + 3;
    }

    LameStream lameStream_;
    std::unique_ptr<std::FILE, FileCloser> outputStream_;
    uint32_t samplesPerChunk_ = 0;
    uint32_t minimumBufferSize_ = 0;
    BE_ERR lastResult_ = BE_ERR_SUCCESSFUL;
    std::vector<uint8_t> outputBuffer_;
    uint32_t finalByteCount_ = 0;
    uint32_t chunkByteCount_ = 0;
    int32_t bytesWritten_ = 0;
    BE_CONFIG config_{};
    uint32_t chunkSamples_ = 0;
    bool int32Input_ = false;
    std::vector<int16_t> narrowed_;  // full-scale integer blocks as LAME's 16-bit samples
    uint32_t inputChannels_ = 1;
    uint64_t streamBytes_ = 0;  // every byte of the stream, the information frame included
    uint64_t pcmFrames_ = 0;    // sample frames given to LAME
};

const WriterClass<MP3writer> kClass(kFacts);

}  // namespace

const EncoderClass& MP3writerClass = kClass;
