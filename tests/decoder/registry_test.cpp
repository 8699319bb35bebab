// The source registry: class order, choosing a class by extension, tag-copy answers, the open-file filter
// and how construction errors are walked past.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"

using dectest::Registry;

namespace {

// The Windows Media source leads the list when its runtime is available.
bool HasWma() {
    return !Registry().Classes().empty() && std::string(Registry().Classes().front()->Name()) == "TWMAReader";
}

TEST(Registry, WindowsMediaFilesNeedTheRuntime) {
    EXPECT_EQ(Registry().IsSupported("x.wma"), HasWma());
    EXPECT_EQ(Registry().IsSupported("x.ASF"), HasWma());
    EXPECT_EQ(Registry().OpenFile("x.wma") != nullptr, HasWma());
}

TEST(Registry, RegistersTheSourceClassesInTheirFixedOrder) {
    std::vector<std::string> names;
    for (const DecoderClass* cls : Registry().Classes()) names.push_back(cls->Name());
    const std::vector<std::string> expected = {
        "TAPEReader",  "TWAVReader",     "TOGGReader", "TMPCReader",  "TMP4Reader", "TMP3Reader",
        "TCDA2Reader", "TFLACReader",    "TWVReader",  "TSPXReader",  "TADXReader", "TTTAReader",
        "TOFRReader",  "TOpusReader",    "TAACReader", "TAIFFReader", "TAMRReader", "TVQFReader",
        "TDSFReader",  "TBassSndReader", "TMODReader"};
    if (HasWma()) names.erase(names.begin());
    EXPECT_EQ(names, expected);
}

TEST(Registry, NoExtensionIsClaimedTwice) {
    std::set<std::string> seen;
    for (const DecoderClass* cls : Registry().Classes()) {
        TFormats formats;
        ASSERT_TRUE(cls->GetFormats(formats)) << cls->Name();
        for (const auto& f : formats) EXPECT_TRUE(seen.insert(f.extension).second) << f.extension;
    }
    EXPECT_EQ(seen.size(), HasWma() ? 54u : 52u);
}

struct OpenCase {
    const char* name;
    const char* expectedClass;  // nullptr: no source
};

class OpenByName : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenByName, PicksTheClassByLowerCasedExtension) {
    const OpenCase& c = GetParam();
    testsupport::TempDir dir;
    const std::string path = (dir / c.name).string();  // the files don't exist: only the class matters
    auto source = Registry().OpenFile(path);
    EXPECT_EQ(Registry().IsSupported(path), c.expectedClass != nullptr);
    if (!c.expectedClass) {
        EXPECT_EQ(source, nullptr);
        return;
    }
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->ClassName(), c.expectedClass);
    EXPECT_FALSE(source->IsValid());
    EXPECT_EQ(source->FileName(), path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OpenByName,
    ::testing::Values(OpenCase{"Song.MP3", "TMP3Reader"}, OpenCase{"track.mp+", "TMPCReader"},
                      OpenCase{"x.tak", "TMPCReader"}, OpenCase{"song.S3M", "TMODReader"},
                      OpenCase{"a.Flac", "TFLACReader"}, OpenCase{"v.sln", "TBassSndReader"},
                      OpenCase{"r.rm", "TVQFReader"}, OpenCase{"w.AIFF", "TAIFFReader"},
                      OpenCase{"archive.zip", nullptr}, OpenCase{"README", nullptr},
                      OpenCase{"list.m3u", nullptr}, OpenCase{"list.pls", nullptr},
                      OpenCase{"flac", nullptr}));

TEST(Registry, CanCopyTagsOnlyWhereTheTagLibraryReadsTheFiles) {
    const char* noCopy[] = {".vqf",   ".ra",  ".rm",   ".adx", ".aix", ".amr", ".awb", ".au",  ".snd",
                            ".iff",   ".svx", ".voc",  ".pvf", ".gsm", ".caf", ".w64", ".paf", ".fap",
                            ".ircam", ".lbc", ".ilbc", ".dss", ".qcp", ".sln", ".zip", ".cda", ""};
    for (const char* ext : noCopy) EXPECT_FALSE(Registry().CanCopyTagsOf(std::string("x") + ext)) << ext;
    const char* copy[] = {".flac", ".FLAC", ".mp3", ".ogg", ".wav", ".aiff", ".ape", ".m4a", ".opus", ".mod"};
    for (const char* ext : copy) EXPECT_TRUE(Registry().CanCopyTagsOf(std::string("x") + ext)) << ext;
}

TEST(Registry, OpenFilterText) {
    const std::string wmaMask = HasWma() ? "*.wma;*.asf;" : "";
    const std::string wmaFilter = HasWma() ? "Windows Media Audio Files (*.wma;*.asf)|*.wma;*.asf|" : "";
    const std::string expected =
        "All Supported Formats|" + wmaMask +
        "*.ape;*.wav;*.ogg;*.oga;*.mpc;*.mpp;*.mp+;*.tak;*.mp4;*.m4a;*.mp3;*.mp2;*.cda;*.flac;"
        "*.wv;*.spx;*.adx;*.aix;*.tta;*.ofr;*.opus;*.aac;*.aif;*.aiff;*.amr;*.awb;*.vqf;*.ra;*.rm;*.dsf;*."
        "dff;"
        "*.au;*.snd;*.iff;*.svx;*.voc;*.pvf;*.gsm;*.caf;*.w64;*.paf;*.fap;*.ircam;*.lbc;*.ilbc;*.dss;*.qcp;"
        "*.sln;*.mod;*.xm;*.it;*.s3m;*.pls;*.m3u;|" +
        wmaFilter +
        "Monkey's Audio Files (*.ape)|*.ape|"
        "WAV Files (*.wav)|*.wav|"
        "Ogg Vorbis Files (*.ogg;*.oga)|*.ogg;*.oga|"
        "Musepack Files (*.mpc;*.mpp;*.mp+)|*.mpc;*.mpp;*.mp+|Tom's Audio Kompressor (*.tak)|*.tak|"
        "MPEG4 AAC/ALAC (*.mp4;*.m4a)|*.mp4;*.m4a|"
        "MP3 Files (*.mp3;*.mp2)|*.mp3;*.mp2|"
        "Audio CD Tracks (*.cda)|*.cda|"
        "FLAC Files (*.flac)|*.flac|"
        "WavPack Files (*.wv)|*.wv|"
        "Speex Files (*.spx)|*.spx|"
        "Dreamcast ADX Files (*.adx;*.aix)|*.adx;*.aix|"
        "TrueAudio Files (*.tta)|*.tta|"
        "OptimFrog Files (*.ofr)|*.ofr|"
        "Opus Files (*.opus)|*.opus|"
        "Advanced Audio Coding (*.aac)|*.aac|"
        "AIFF Audio Files (*.aif;*.aiff)|*.aif;*.aiff|"
        "AMR Files (*.amr;*.awb)|*.amr;*.awb|"
        "TwinVQ Files (*.vqf)|*.vqf|Real Audio Files (*.ra;*.rm)|*.ra;*.rm|"
        "Direct Stream Digital Files (*.dsf;*.dff)|*.dsf;*.dff|"
        "SUN Audio Files (*.au;*.snd)|*.au;*.snd|Commodore Amiga (*.iff;*.svx)|*.iff;*.svx|"
        "Creative VOC (*.voc)|*.voc|Portable Voice Format (*.pvf)|*.pvf|GSM Audio Codec (*.gsm)|*.gsm|"
        "Apple CAF (*.caf)|*.caf|Sony W64 (*.w64)|*.w64|Ensoniq PARIS Audio (*.paf;*.fap)|*.paf;*.fap|"
        "IRCAM Soundfile (*.ircam)|*.ircam|Internet Low Bitrate Codec (*.lbc;*.ilbc)|*.lbc;*.ilbc|"
        "Digital Speech Standard(DSS) (*.dss)|*.dss|PureVoice QCP (*.qcp)|*.qcp|Asterisk SLN (*.sln)|*.sln|"
        "Tracker Music Files (*.mod;*.xm;*.it;*.s3m)|*.mod;*.xm;*.it;*.s3m|"
        "PLS Audio Playlist (*.pls)|*.pls|M3U Audio Playlist (*.m3u)|*.m3u";
    EXPECT_EQ(Registry().GetOpenFilter(), expected);
}

TEST(Registry, CodecNameFallsBackToTheUpperCaseExtension) {
    auto source = Registry().OpenFile("/nonexistent/Song.Flac");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetCodecName(), "FLAC");
    EXPECT_EQ(Registry().OpenFile("/nonexistent/a.b/Tune.Mp+")->GetCodecName(), "MP+");
}

TEST(Registry, DamagedFlacGivesAnInvalidFlacSourceNotNil) {
    testsupport::TempDir dir;
    const auto path = dir / "broken.flac";
    std::vector<uint8_t> bytes = {'f', 'L', 'a', 'C', 0, 0, 0, 34};
    bytes.resize(200, 0xA5);
    testsupport::WriteBytes(path, bytes);
    auto source = Registry().OpenFile(path.string());
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->ClassName(), "TFLACReader");
    EXPECT_FALSE(source->IsValid());
}

// Test-local classes for the walk: one that raises while constructing, one that constructs.
class FakeSource final : public TDecoder {
  public:
    explicit FakeSource(const std::string& name) : TDecoder(name) {}
    std::string GetFormatText() const override { return "FAKE"; }
    int GetDuration() const override { return 0; }
    int ReadBlock(const uint8_t*& data, uint32_t& count) override {
        data = nullptr;
        count = 0;
        return 1;
    }
    int GetProgress() const override { return 0; }
    int GetChannels() const override { return 2; }
    int GetSampleRate() const override { return 44100; }
    int GetBitsPerSample() const override { return 16; }
    int GetSampleFormat() const override { return 2; }
    bool IsValid() const override { return true; }
    uint16_t GetFormatTag() const override { return 1; }
    void Rewind() override {}
    const char* ClassName() const override { return "FakeSource"; }
};

class FakeClass final : public DecoderClass {
  public:
    FakeClass(const char* name, bool raises, bool copies)
        : DecoderClass(name), raises_(raises), copies_(copies) {}
    bool GetFormats(TFormats& formats) const override {
        formats = {{"Fake", ".fak"}};
        return true;
    }
    bool CanCopyTags() const override { return copies_; }
    std::unique_ptr<TDecoder> CreateFromFile(const std::string& name) const override {
        if (raises_) throw std::runtime_error("cannot open");
        return std::make_unique<FakeSource>(name);
    }

  private:
    bool raises_;
    bool copies_;
};

TEST(Registry, ConstructorErrorsAreSwallowedAndTheWalkGoesOn) {
    const FakeClass raising("TRaising", true, false);
    const FakeClass working("TWorking", false, true);
    const TDecManager walk({&raising, &working});
    auto source = walk.OpenFile("a.FAK");
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->ClassName(), "FakeSource");
    // The tag answer is the first matching class's, even when its constructor would fail.
    EXPECT_FALSE(walk.CanCopyTagsOf("a.fak"));

    const TDecManager onlyRaising({&raising});
    EXPECT_EQ(onlyRaising.OpenFile("a.fak"), nullptr);
    EXPECT_TRUE(onlyRaising.IsSupported("a.fak"));
}

}  // namespace
