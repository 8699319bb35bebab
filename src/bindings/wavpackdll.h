// Run-time binding of the WavPack library: libwavpack.so.1 is opened the first time a WavPack file is
// created and its entry points are bound by name, so a system without it loses only the WavPack writer.
// TWavpackEncoder wraps one packing context whose blocks go to a sink the caller provides.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The library's own header supplies the types; nothing from it is linked.
#include <wavpack/wavpack.h>

namespace wavpackdll {

inline constexpr const char* kSoname = "libwavpack.so.1";

#define WT_WAVPACK_ENTRIES(X)         \
    X(WavpackGetLibraryVersion)       \
    X(WavpackGetLibraryVersionString) \
    X(WavpackOpenFileOutput)          \
    X(WavpackSetFileInformation)      \
    X(WavpackSetConfiguration)        \
    X(WavpackSetConfiguration64)      \
    X(WavpackSetChannelLayout)        \
    X(WavpackAddWrapper)              \
    X(WavpackStoreMD5Sum)             \
    X(WavpackPackInit)                \
    X(WavpackPackSamples)             \
    X(WavpackFlushSamples)            \
    X(WavpackUpdateNumSamples)        \
    X(WavpackGetWrapperLocation)      \
    X(WavpackGetEncodedNoise)         \
    X(WavpackGetErrorMessage)         \
    X(WavpackCloseFile)

// One pointer per entry point; a name the loaded library lacks stays null.
struct Entries {
#define WT_WAVPACK_POINTER(name) decltype(&::name) name = nullptr;
    WT_WAVPACK_ENTRIES(WT_WAVPACK_POINTER)
#undef WT_WAVPACK_POINTER
};

// Opens the library unless it is open already and binds its entry points; true when it is open. A failed
// attempt is tried again by the next call. The library is never closed. Safe from several threads.
bool Load();
// The bound entry points, or null while the library is not loaded.
const Entries* Get();
// For tests: forgets the library as if it had never been opened (it stays mapped) and makes later loads
// open `soname` instead (kSoname restores the real one).
void UseSoname(const char* soname);

}  // namespace wavpackdll

// Every failure of the binding and the encoder wrapper.
class EWavpackException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where the packed blocks go: takes all of `count` bytes or answers false.
class TWavpackSink {
  public:
    virtual ~TWavpackSink() = default;
    virtual bool Put(const void* data, int32_t count) = 0;
};

// One WavPack packing context over a main sink (and optionally a correction sink, neither owned). The
// configuration is gathered through the setters and handed over by Init.
class TWavpackEncoder {
  public:
    TWavpackEncoder(TWavpackSink* mainStream, TWavpackSink* correctionStream);
    ~TWavpackEncoder();
    TWavpackEncoder(const TWavpackEncoder&) = delete;
    TWavpackEncoder& operator=(const TWavpackEncoder&) = delete;

    void SetBitsPerSample(int bits) { configuration_.bits_per_sample = bits; }
    void SetBytesPerSample(int bytes) { configuration_.bytes_per_sample = bytes; }
    void SetChannelMask(int mask) { configuration_.channel_mask = mask; }
    void SetFlags(int flags) { configuration_.flags = flags; }
    void SetNumChannels(int channels) { configuration_.num_channels = channels; }
    void SetSampleRate(int32_t rate) { configuration_.sample_rate = rate; }

    // Configures the context for `totalSamples` frames (-1: not known yet) and prepares packing.
    bool Init(int64_t totalSamples);
    // Packs `frames` interleaved frames of 32-bit samples; blocks go to the sinks as they fill.
    bool PackSamples(int32_t* samples, uint32_t frames);
    // Ends the current block and hands it to the sinks.
    bool FlushSamples();
    // Writes the number of frames packed so far into `firstBlock`, a copy of the first block written.
    void UpdateNumSamples(void* firstBlock);
    std::string GetErrorMessage();

  private:
    // The entry point `entry` of the loaded library, or EWavpackException naming what is missing.
    template <typename Pointer>
    Pointer Need(Pointer wavpackdll::Entries::*entry, const char* name) const;

    TWavpackSink* const main_;
    TWavpackSink* const correction_;
    WavpackContext* context_ = nullptr;
    WavpackConfig configuration_{};
};
