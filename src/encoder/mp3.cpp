// MP3 writer: 16-bit PCM through the LAME DLL interface into a file this writer writes itself. Every file
// starts with LAME's information frame, rewritten at the end with the real frame count, so players show
// the true duration of VBR files and gapless players can drop the encoder delay and padding.
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "encoder/change_ext.h"
#include "wvt/config.h"
#include "bindings/lame_dll.h"
#include "encoder/writers.h"

namespace {

constexpr std::array<int, 9> kRates = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
constexpr std::array<uint32_t, 15> kBitrates = {320, 256, 224, 192, 160, 128, 112, 96,
                                                80,  64,  56,  48,  40,  32,  16};
constexpr size_t kDefaultBitrate = 5;

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

BE_CONFIG MakeConfig(const WAVEFORMATEX& output) {
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    auto& c = config.LHV1;
    config.dwConfig = BE_CONFIG_LAME;
    c.dwStructVersion = 1;
    c.dwStructSize = sizeof(BE_CONFIG);
    c.dwSampleRate = output.nSamplesPerSec;
    c.dwReSampleRate = 0;
    c.nMode = output.nChannels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO;
    const bool bitrateKnown =
        Config.mp3bitrate >= 0 && Config.mp3bitrate < static_cast<int>(kBitrates.size());
    c.dwBitrate = kBitrates[bitrateKnown ? static_cast<size_t>(Config.mp3bitrate) : kDefaultBitrate];
    c.dwMaxBitrate = 320;
    c.nPreset = Config.mp3vbr ? LQP_NOPRESET : LQP_CBR;
    c.dwMpegVersion = output.nSamplesPerSec >= 32000 ? MPEG1 : MPEG2;
    // A user who ticks these expects them in the stream.
    c.bPrivate = Config.mp3private ? 1 : 0;
    c.bCRC = Config.mp3crc ? 1 : 0;
    c.bCopyright = Config.mp3copyright ? 1 : 0;
    c.bOriginal = Config.mp3original ? 1 : 0;
    // The information frame, also for CBR ("Info"): it carries the encoder delay and padding.
    c.bWriteVBRHeader = 1;
    c.bEnableVBR = Config.mp3vbr ? -1 : 0;
    c.nVBRQuality = 8 - Config.mp3vbrquality;
    c.nVbrMethod = Config.mp3vbr ? VBR_METHOD_DEFAULT : VBR_METHOD_NONE;
    return config;
}

class MP3writer final : public Tencoder {
  public:
    MP3writer(const WAVEFORMATEX& inputFormat, std::string fileName)
        : Tencoder(inputFormat), fileName_(std::move(fileName)) {
        outputStream_.reset(std::fopen(fileName_.c_str(), "wb"));
        if (!outputStream_) throw EEncoderError("Can not create output file");
        config_ = MakeConfig(inputFormat);
        lastResult_ = lameStream_.Init(config_, samplesPerChunk_, minimumBufferSize_);
        if (lastResult_ != BE_ERR_SUCCESSFUL) throw EEncoderError("Error opening encoding stream");
        outputBuffer_.resize(size_t{10} * inputFormat.nSamplesPerSec);
        // LAME writes into the buffer without a size: a block is cut into pieces whose worst case
        // (1.25 bytes per frame + 7200) fits it, so an oversized block cannot overrun it.
        const uint32_t channels = inputFormat.nChannels;
        const size_t frames = (outputBuffer_.size() - 7200) * 4 / 5;
        chunkSamples_ = static_cast<uint32_t>(frames) * channels;
    }

    ~MP3writer() override {
        if (!outputBuffer_.empty()) {
            finalByteCount_ = 0;
            lastResult_ = beDeinitStream(lameStream_.handle(), outputBuffer_.data(), &finalByteCount_);
            if (lastResult_ == BE_ERR_SUCCESSFUL && finalByteCount_ > 0) {
                std::fwrite(outputBuffer_.data(), 1, finalByteCount_, outputStream_.get());
            }
            WriteInfoFrame();
        }
        // Members release in reverse order: the file closes before the LAME stream.
    }

    int Write(const uint8_t* block, uint32_t length) override {
        uint32_t samples = length / 2;
        const int16_t* pcm = reinterpret_cast<const int16_t*>(block);
        std::vector<int16_t> aligned;
        if (reinterpret_cast<uintptr_t>(block) % alignof(int16_t) != 0) {
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
            if (lastResult_ != BE_ERR_SUCCESSFUL) throw EEncoderError("MP3 Encoder error");
            bytesWritten_ = static_cast<int32_t>(
                std::fwrite(outputBuffer_.data(), 1, chunkByteCount_, outputStream_.get()));
            if (static_cast<uint32_t>(bytesWritten_) < chunkByteCount_)
                throw EEncoderError("Data write error");
            produced += chunkByteCount_;
            pcm += count;
            samples -= count;
        }
        return static_cast<int>(produced);
    }

    std::string GetFileName() const override { return fileName_; }

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
        if (std::fseek(outputStream_.get(), 0, SEEK_SET) == 0) {
            std::fwrite(frame.data(), 1, size, outputStream_.get());
        }
    }

    std::string fileName_;
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
};

class MP3writerClassImpl final : public EncoderClass {
  public:
    constexpr MP3writerClassImpl() : EncoderClass("MP3writer") {}

    WAVEFORMATEX GetInputFormat(const WAVEFORMATEX& source) const override {
        const uint16_t sourceChannels = source.nChannels > 2 ? 2 : source.nChannels;
        const int index = Config.mp3srate;
        const int rate = index >= 1 && index <= static_cast<int>(kRates.size())
                             ? kRates[static_cast<size_t>(index - 1)]
                             : kRates[NearestEntry(kRates, static_cast<int>(source.nSamplesPerSec))];
        const uint16_t channels = Config.mp3mode == 0 ? sourceChannels : Config.mp3mode == 4 ? 1 : 2;
        return MakeWaveFormat(WAVE_FORMAT_PCM, static_cast<uint32_t>(rate), channels, 16);
    }
    std::string GetExtension() const override { return "mp3"; }
    std::string GetFilter() const override { return "MP3 files (*.mp3)|*.mp3"; }
    std::string GetDescription() const override { return "MP3  - Lame MP3 Encoder"; }
    void ShowOptions() const override { ShowDialog(); }

    std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source) const override {
        return std::make_unique<MP3writer>(GetInputFormat(source), ChangeFileExt(fileName, ".mp3"));
    }
};

const MP3writerClassImpl kClass;

}  // namespace

const EncoderClass& MP3writerClass = kClass;
