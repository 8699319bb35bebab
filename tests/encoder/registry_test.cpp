// The writer registry's codec-index order and class facts, and the option dialog hook. (What every writer
// must do with files is writer_conformance_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "encoder_test_support.h"
#include "encoder/manager.h"
#include "encoder/writers.h"

namespace {

struct RegistryRow {
    const char* name;
    const char* description;
    const char* extension;
    const char* filter;
    bool hasOptions;
    bool canCopyTags;
};

// Codec-index order without the Windows Media runtime.
const RegistryRow kRows[] = {
    {"MP3writer", "MP3  - Lame MP3 Encoder", "mp3", "MP3 files (*.mp3)|*.mp3", true, true},
    {"OGGwriter", "OGG  - Ogg Vorbis Encoder", "ogg", "Ogg Vorbis files (*.ogg)|*.ogg", true, true},
    {"WAVwriter", "WAV  - Microsoft WAV PCM Encoder", "wav", "WAV files (*.wav)|*.wav", true, true},
    {"AMRwriter", "AMR  - Adaptive Multi-Rate Codec", "amr", "AMR files (*.amr)|*.amr", true, false},
    {"FLACwriter", "FLAC - Free Lossless Audio Codec", "flac", "FLAC files (*.flac)|*.flac", true, true},
    {"APEwriter", "APE  - Monkey's Audio Encoder", "ape", "Monkey Audio files (*.ape)|*.ape", true, true},
    {"AACwriter", "AAC  - MPEG4 Advanced Audio Coding", "m4a", "MPEG4 AAC Audio (*.m4a)|*.m4a", true, true},
    {"GSMwriter", "GSM  - GSM 6.10 Codec", "gsm", "GSM Audio (*.gsm)|*.gsm", false, false},
    {"ALACwriter", "ALAC - MPEG4 Apple Lossless Audio Encoder", "m4a", "MPEG4 Apple Lossless (*.m4a)|*.m4a",
     true, true},
    {"AIFwriter", "AIFF - Audio Interchange File Encoder", "aiff", "AIFF files (*.aiff)|*.aiff", true, true},
    {"Opuswriter", "OPUS - Ogg Opus Encoder", "opus", "Ogg Opus files (*.opus)|*.opus", true, true},
    {"WVwriter", "WV   - WavPack Lossless Encoder", "wv", "WV files (*.wv)|*.wv", true, true},
};

TEST(EncoderRegistry, ListsTwelveWritersInCodecIndexOrderWithoutWindowsMedia) {
    TEncManager registry;
    ASSERT_EQ(registry.Count(), std::size(kRows));
    for (size_t index = 0; index < registry.Count(); ++index) {
        SCOPED_TRACE(index);
        const EncoderClass& writer = registry.Item(index);
        const RegistryRow& row = kRows[index];
        EXPECT_STREQ(writer.Name(), row.name);
        EXPECT_EQ(writer.GetDescription(), row.description);
        EXPECT_EQ(writer.GetExtension(), row.extension);
        EXPECT_EQ(writer.GetFilter(), row.filter);
        EXPECT_EQ(writer.HasOptions(), row.hasOptions);
        EXPECT_EQ(writer.CanCopyTags(), row.canCopyTags);
    }
    EXPECT_THROW(registry.Item(registry.Count()), std::out_of_range);
}

TEST(EncoderRegistry, WindowsMediaWriterKeepsItsFactsForWhenItIsListed) {
    EXPECT_STREQ(WMAwriterClass.Name(), "WMAwriter");
    EXPECT_EQ(WMAwriterClass.GetDescription(), "WMA  - Microsoft Windows Media 9 Encoder");
    EXPECT_EQ(WMAwriterClass.GetExtension(), "wma");
    EXPECT_EQ(WMAwriterClass.GetFilter(), "Windows Media Audio files (*.wma)|*.wma");
    EXPECT_TRUE(WMAwriterClass.HasOptions());
    EXPECT_TRUE(WMAwriterClass.CanCopyTags());
}

// Records which dialog a writer asked for.
class RecordingDialogs : public OptionsDialogs {
  public:
    void Show(const EncoderClass& writer, int mode, const std::string& caption) override {
        calls.push_back({writer.Name(), mode, caption});
    }
    struct Call {
        std::string writer;
        int mode;
        std::string caption;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
};

TEST(EncoderOptions, WriterAsksTheInstalledDialogsWithItsModeAndCaption) {
    RecordingDialogs dialogs;
    SetOptionsDialogs(&dialogs);
    WAVwriterClass.ShowOptions();
    AIFwriterClass.ShowOptions();
    GSMwriterClass.ShowOptions();  // no dialog
    MP3writerClass.ShowOptions();
    SetOptionsDialogs(nullptr);
    WAVwriterClass.ShowOptions();  // nothing installed: nothing happens

    const std::vector<RecordingDialogs::Call> expected = {
        {"WAVwriter", 1, "WAV Encoder Options"},
        {"AIFwriter", 2, "AIFF Encoder Options"},
        {"MP3writer", 0, ""},
    };
    EXPECT_EQ(dialogs.calls, expected);
}

}  // namespace
