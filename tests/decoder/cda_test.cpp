// The audio CD source over generated images: what it reports and reads, its tags from a CDDB server on
// 127.0.0.1 (one query and one read per disc), servers that misbehave in every way a network can, and read
// errors that fail the track instead of ending it quietly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "support/audio_fixtures.h"
#include "platform/basscd/basscd.h"
#include "platform/bass/bass.h"
#include "support/cd_image.h"
#include "decoder/cda.h"
#include "support/cddb_server.h"
#include "decoder_test_util.h"

namespace {

namespace fs = std::filesystem;
using dectest::Registry;
using testsupport::CddbReply;
using testsupport::CddbServer;
using testsupport::CdImage;
using testsupport::CdTrackSpec;

constexpr DWORD kServerOption = 0x80010204;

// Every test gets a disc of its own: the caches of the source and the add-on live as long as the process.
// The disc id counts whole seconds, so the first track grows by a second per disc.
CdImage UniqueDisc(const fs::path& folder, size_t tracks = 3) {
    static std::atomic<int> counter{0};
    std::vector<CdTrackSpec> specs(tracks, CdTrackSpec{588 * 20});
    specs[0].frames = 588 * (20 + 75 * ++counter);
    return testsupport::MakeCdImage(folder, "disc", specs);
}

std::string DiscId(const CdImage& image) {
    const int drive = BASS_CD_FindDrive(image.cue.c_str());
    const char* text = BASS_CD_GetID(static_cast<DWORD>(drive), BASS_CDID_CDDB);
    return text ? std::string(text).substr(0, 8) : "";
}

TagFrame Tags(const std::string& name) {
    TagFrame tags;
    auto source = Registry().OpenFile(name);
    if (source && source->IsValid()) source->GetTags(tags);
    return tags;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class CdSource : public ::testing::Test {
  protected:
    void SetUp() override { BASS_CD_SetCddbLimits(5000, 10000, 1 << 20); }
    void TearDown() override {
        BASS_SetConfigPtr(kServerOption, "");
        BASS_CD_SetCddbLimits(5000, 10000, 1 << 20);
    }
    void UseServer(const CddbServer& server) { BASS_SetConfigPtr(kServerOption, server.Address().c_str()); }
    testsupport::TempDir dir;
};

TEST_F(CdSource, ReportsAndReadsTheTrack) {
    const CdImage image = UniqueDisc(dir.path());
    auto source = Registry().OpenFile(image.TrackName(1));
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(source->IsValid());
    EXPECT_STREQ(source->ClassName(), "TCDA2Reader");
    EXPECT_EQ(source->GetFormatText(), "Audio CD Track");
    EXPECT_EQ(source->GetCodecName(), "CDA");
    EXPECT_EQ(source->GetSampleRate(), 44100);
    EXPECT_EQ(source->GetChannels(), 2);
    EXPECT_EQ(source->GetBitsPerSample(), 16);
    EXPECT_EQ(source->GetSampleFormat(), 2);
    EXPECT_EQ(source->GetFormatTag(), 1);
    EXPECT_EQ(static_cast<TCDA2Reader&>(*source).Track(), 1);
    EXPECT_EQ(static_cast<TCDA2Reader&>(*source).Drive(), BASS_CD_FindDrive(image.cue.c_str()));
    const dectest::ReadResult read = dectest::ReadAll(*source);
    EXPECT_TRUE(read.bytes == image.TrackBytes(1));
    EXPECT_EQ(read.progress.back(), 100);
    EXPECT_LE(read.largestBlock, 8192u);
    source->Rewind();
    EXPECT_TRUE(dectest::ReadAll(*source).bytes == image.TrackBytes(1));

    EXPECT_FALSE(Registry().CanCopyTagsOf(image.TrackName(0)));
    auto missing = Registry().OpenFile(image.cue.string() + "/Track09.cda");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->IsValid());
    EXPECT_EQ(missing->GetFormatText(), "Audio CD Track");
}

TEST_F(CdSource, TagsComeFromTheServerOncePerDisc) {
    const CdImage image = UniqueDisc(dir.path(), 11);
    const std::string id = DiscId(image);
    std::vector<std::string> titles;
    for (int i = 0; i < 11; ++i) titles.push_back("Song " + std::to_string(i + 1));
    titles[3] = "Guest Star / Song 4";
    CddbServer server(testsupport::ServeRecord(
        id, testsupport::CddbRecord(id, "The Band / The Album", titles, 1994, "Alternative")));
    UseServer(server);

    const TagFrame first = Tags(image.TrackName(0));
    EXPECT_EQ(first, (TagFrame{"Song 1", "The Band", "The Album", "1", "1994", "Alternative"}));
    EXPECT_EQ(server.Requests(), 2);  // one query, one read
    EXPECT_EQ(Tags(image.TrackName(3)),
              (TagFrame{"Song 4", "Guest Star", "The Album", "4", "1994", "Alternative"}));
    EXPECT_EQ(Tags(image.TrackName(9)).track, "10");
    EXPECT_EQ(Tags(image.TrackName(10)).title, "Song 11");
    EXPECT_EQ(server.Requests(), 2);  // later tracks come from the cache

    const std::vector<std::string> commands = server.Commands();
    ASSERT_EQ(commands.size(), 2u);
    const int drive = BASS_CD_FindDrive(image.cue.c_str());
    EXPECT_EQ(commands[0],
              "cddb query " + std::string(BASS_CD_GetID(static_cast<DWORD>(drive), BASS_CDID_CDDB)));
    EXPECT_EQ(commands[1], "cddb read rock " + id);
    // The hello names the program and its version, not who or where the user is.
    const std::string hello = server.Hellos()[0];
    EXPECT_EQ(hello.rfind("anonymous localhost Wavetrove ", 0), 0u) << hello;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    if (std::string(host) != "localhost") {
        EXPECT_EQ(hello.find(host), std::string::npos);
    }
    EXPECT_NE(server.Targets()[0].find("&proto=6"), std::string::npos);
}

TEST_F(CdSource, RecordsWithoutArtistOrYear) {
    const CdImage image = UniqueDisc(dir.path());
    const std::string id = DiscId(image);
    CddbServer server(testsupport::ServeRecord(
        id, testsupport::CddbRecord(id, "Just An Album", {"A", "B", "C"}, 0, "Misc")));
    UseServer(server);
    EXPECT_EQ(Tags(image.TrackName(2)), (TagFrame{"C", "", "Just An Album", "3", "0", "Misc"}));
}

TEST_F(CdSource, NoServerSettingMeansNoLookup) {
    const CdImage image = UniqueDisc(dir.path());
    const std::string id = DiscId(image);
    CddbServer server(
        testsupport::ServeRecord(id, testsupport::CddbRecord(id, "X / Y", {"a", "b", "c"}, 1, "g")));
    BASS_SetConfigPtr(kServerOption, "");
    EXPECT_EQ(Tags(image.TrackName(0)), TagFrame{});
    EXPECT_EQ(server.Requests(), 0);
}

// What a server sends for the query (and the read), and what the first track's title should then be.
struct ServerCase {
    const char* name;
    std::function<CddbReply(const std::string& id, const std::string& command, int redirectPort)> reply;
    const char* title;  // "" when no tags should come
    const char* album;
};

std::string Record(const std::string& id, const std::string& ends = "\r\n") {
    std::string text =
        testsupport::CddbRecord(id, "Artist / Album", {"T1", "T2", "T3"}, 2000, "Rock") + ".\r\n";
    if (ends != "\r\n")
        for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.replace(at, 2, ends);
    return text;
}

CddbReply Body(const std::string& body, int status = 200) {
    CddbReply reply;
    reply.body = body;
    reply.status = status;
    return reply;
}

CddbReply Kind(CddbReply::Kind kind, const std::string& body = "") {
    CddbReply reply;
    reply.kind = kind;
    reply.body = body;
    return reply;
}

bool IsQuery(const std::string& command) {
    return command.rfind("cddb query", 0) == 0;
}

TEST_F(CdSource, AReplyWithoutThisDiscIsParsedOnce) {
    // A read answered with other discs' records: no tags, and the records do not pile up track after track.
    const CdImage image = UniqueDisc(dir.path(), 4);
    const std::string id = DiscId(image);
    std::string others;
    for (int i = 0; i < 50; ++i) {
        char other[16];
        std::snprintf(other, sizeof other, "%08x", 0x10000000u + static_cast<unsigned>(i));
        others += "DISCID=" + std::string(other) + "\r\nDTITLE=Other / Disc\r\nTTITLE0=x\r\n";
    }
    CddbServer server([&](const std::string& command) {
        return IsQuery(command) ? Body("200 rock " + id + " x\r\n")
                                : Body("210 rock " + id + "\r\n" + others);
    });
    UseServer(server);
    const size_t before = CDDBCache().Disks().Count();
    for (int track = 0; track < 4; ++track) EXPECT_EQ(Tags(image.TrackName(track)), TagFrame{});
    EXPECT_EQ(CDDBCache().Disks().Count(), before + 50);
    EXPECT_EQ(server.Requests(), 2);
}

const ServerCase kServers[] = {
    {"exact_match",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("200 rock " + id + " x\r\n") : Body("210 rock " + id + "\r\n" + Record(id));
     },
     "T1", "Album"},
    {"close_matches",
     [](auto id, auto c, int) {
         return IsQuery(c)
                    ? Body("211 close matches\r\nrock " + id + " A / B\r\nmisc 12345678 C / D\r\n.\r\n")
                : c == "cddb read rock " + id ? Body("210 rock " + id + "\r\n" + Record(id))
                                              : Body("401 no");
     },
     "T1", "Album"},
    {"several_exact",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("210 exact\r\nrock " + id + " A / B\r\njazz " + id + " C / D\r\n.\r\n")
                : c == "cddb read rock " + id ? Body("210 rock " + id + "\r\n" + Record(id))
                                              : Body("401 no");
     },
     "T1", "Album"},
    {"line_feeds_only",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("200 rock " + id + " x\n")
                           : Body("210 rock " + id + "\n" + Record(id, "\n"));
     },
     "T1", "Album"},
    {"latin1",
     [](auto id, auto c, int) {
         std::string record = Record(id);
         record.replace(record.find("TTITLE0=T1"), 10, "TTITLE0=Caf\xE9");
         return IsQuery(c) ? Body("200 rock " + id + " x\r\n") : Body("210 rock " + id + "\r\n" + record);
     },
     "Caf\xC3\xA9", "Album"},
    {"no_match", [](auto, auto, int) { return Body("202 No match found\r\n"); }, "", ""},
    {"corrupt_entry", [](auto, auto, int) { return Body("403 Database entry is corrupt\r\n"); }, "", ""},
    {"read_refused",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("200 rock " + id + " x\r\n")
                           : Body("401 Specified CDDB entry not found.\r\n");
     },
     "", ""},
    {"records_out_of_order",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("200 rock " + id + " x\r\n")
                           : Body("210 rock " + id + "\r\nDISCID=" + id +
                                  "\r\nDTITLE=A / B\r\nTTITLE0=T1\r\nTTITLE2=T3\r\n.\r\n");
     },
     "T1", "B"},  // the disc read before the faulty line stays; the audio is not failed
    {"http_error",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("200 rock " + id + " x\r\n", 500)
                           : Body("210 rock " + id + "\r\n" + Record(id), 500);
     },
     "", ""},
    {"garbage", [](auto, auto, int) { return Kind(CddbReply::Kind::Garbage); }, "", ""},
    {"closes", [](auto, auto, int) { return Kind(CddbReply::Kind::Close); }, "", ""},
    {"hangs", [](auto, auto, int) { return Kind(CddbReply::Kind::Hang); }, "", ""},
    {"read_hangs",
     [](auto id, auto c, int) {
         return IsQuery(c) ? Body("200 rock " + id + " x\r\n") : Kind(CddbReply::Kind::Hang);
     },
     "", ""},
    {"drips", [](auto id, auto, int) { return Kind(CddbReply::Kind::Drip, "200 rock " + id + " x\r\n"); }, "",
     ""},
    {"floods", [](auto, auto, int) { return Kind(CddbReply::Kind::Flood); }, "", ""},
    {"redirects",
     [](auto, auto c, int port) {
         CddbReply reply = Kind(CddbReply::Kind::Redirect);
         reply.location = "http://127.0.0.1:" + std::to_string(port) + "/~cddb/cddb.cgi?cmd=" + c;
         return reply;
     },
     "", ""},
    {"redirects_to_a_file",
     [](auto, auto, int) {
         CddbReply reply = Kind(CddbReply::Kind::Redirect);
         reply.location = "file:///etc/passwd";
         return reply;
     },
     "", ""},
};

class MisbehavingServers : public CdSource, public ::testing::WithParamInterface<ServerCase> {};

TEST_P(MisbehavingServers, CostAtMostOneBoundedLookupPerDisc) {
    // Short limits keep the test quick; the bound is what is checked.
    constexpr double kTotal = 1.5;
    BASS_CD_SetCddbLimits(1000, static_cast<DWORD>(kTotal * 1000), 1 << 20);
    const CdImage image = UniqueDisc(dir.path());
    const std::string id = DiscId(image);
    // A second, well-behaved server that only a followed redirect would reach.
    CddbServer target(testsupport::ServeRecord(id, Record(id)));
    const int targetPort = target.Port();
    CddbServer server([&](const std::string& command) { return GetParam().reply(id, command, targetPort); });
    UseServer(server);

    const auto start = std::chrono::steady_clock::now();
    TagFrame tags;
    EXPECT_NO_THROW(tags = Tags(image.TrackName(0)));
    const double spent = SecondsSince(start);
    EXPECT_EQ(tags.title, GetParam().title);
    EXPECT_EQ(tags.album, GetParam().album);
    // Nothing past its limit: a margin of 2 s for a loaded machine, far below an unbounded wait.
    EXPECT_LT(spent, kTotal + 2.0);

    const int requests = server.Requests();
    EXPECT_LE(requests, 2);
    const auto again = std::chrono::steady_clock::now();
    Tags(image.TrackName(1));
    Tags(image.TrackName(2));
    EXPECT_EQ(server.Requests(), requests);  // the outcome is remembered for the disc
    EXPECT_LT(SecondsSince(again), 1.0);
    EXPECT_EQ(target.Requests(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, MisbehavingServers, ::testing::ValuesIn(kServers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CdSource, AServerThatIsDownCostsNoTime) {
    const CdImage image = UniqueDisc(dir.path());
    const std::string address = "127.0.0.1:" + std::to_string(testsupport::ClosedPort()) + "/~cddb/cddb.cgi";
    BASS_SetConfigPtr(kServerOption, address.c_str());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Tags(image.TrackName(0)), TagFrame{});
    EXPECT_LT(SecondsSince(start), 2.0);
}

TEST_F(CdSource, AReadErrorFailsTheTrackInsteadOfEndingIt) {
    CdImage image = UniqueDisc(dir.path());
    const std::vector<uint8_t> whole = image.TrackBytes(1);
    fs::resize_file(image.bin, static_cast<uintmax_t>((image.index1[1] + 7) * 2352 + 100));
    auto source = Registry().OpenFile(image.TrackName(1));
    ASSERT_TRUE(source && source->IsValid());
    std::vector<uint8_t> got;
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    try {
        while (source->ReadBlock(data, count) == 0) got.insert(got.end(), data, data + count);
        FAIL() << "the track ended quietly after " << got.size() << " bytes";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("read error"), std::string::npos) << error.what();
    }
    ASSERT_EQ(got.size(), 7u * 2352);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin()));
}

}  // namespace
