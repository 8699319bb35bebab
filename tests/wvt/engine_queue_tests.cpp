// The queue and its workers: Convert's refusals, progress shares, the skipped and failed counts with their
// log lines, the busy state, cancelling, the overwrite question's apply-to-all tick across workers, and a
// failing naming-and-open step that must not hold up the other files.
#include <future>

#include "engine_support.h"

namespace enginetest {
namespace {

class QueueTest : public EngineTest {
  protected:
    // Converts and waits for the last worker; answers Convert's refusal.
    Transcoder::Refusal Run(Transcoder& t, const std::vector<ConvertRow>& rows, bool keepFolders = false) {
        Transcoder::Refusal r = t.Convert(rows, keepFolders);
        if (r != Transcoder::Refusal::None) return r;
        EXPECT_TRUE(frontEnd.WaitEnded());
        t.Join();
        return r;
    }
};

TEST_F(QueueTest, MoreWorkersThanFilesEndWithAnEmptyShare) {
    Config.threadscount = 3;
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(Run(t, {{Scripted("a.fake"), 1, true}, {Scripted("b.fake"), 2, true}}),
              Transcoder::Refusal::None);
    ASSERT_EQ(t.Workers(), 3);
    int idle = 0;
    for (int i = 0; i < 3; ++i) {
        const double p = t.WorkerProgress(i);
        EXPECT_TRUE(p == 0.0 || p == 50.0 || p == 100.0) << p;
        idle += p == 0.0;
    }
    EXPECT_GE(idle, 1);
    EXPECT_DOUBLE_EQ(t.Progress(), 100.0);
    EXPECT_EQ(frontEnd.ended, 1);
    EXPECT_EQ(FilesIn(dir / "out"), (std::vector<std::string>{"a.wav", "b.wav"}));
}

TEST_F(QueueTest, CountsSkippedAndFailedFilesAndLogsThem) {
    Config.threadscount = 2;
    Config.overwrite = 1;  // skip existing outputs
    Wav16(Out("exists.wav"));
    Script six;
    six.channels = 6;
    const std::string skipped = Scripted("exists.fake"), failed = Scripted("six.fake", six);
    std::vector<ConvertRow> rows = {
        {Scripted("a.fake"), 1, true},         {skipped, 2, true}, {Scripted("b.fake"), 3, true},
        {Scripted("unticked.fake"), 4, false}, {failed, 5, true},  {Scripted("c.fake"), 6, true}};
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(Run(t, rows), Transcoder::Refusal::None);

    EXPECT_EQ(t.FilesQueued(), 5);
    EXPECT_EQ(t.Skipped(), 1);
    EXPECT_EQ(t.Failed(), 1);
    EXPECT_DOUBLE_EQ(t.Progress(), 100.0);
    const std::map<uint64_t, int> expected = {
        {1, STATUS_DONE}, {2, STATUS_SKIPPED}, {3, STATUS_DONE}, {5, STATUS_FAILED}, {6, STATUS_DONE}};
    for (const auto& [node, status] : expected) {
        ASSERT_EQ(frontEnd.rows[node].size(), 2u) << node;
        EXPECT_EQ(frontEnd.rows[node][0], STATUS_PROCESSING);
        EXPECT_EQ(frontEnd.rows[node][1], status) << node;
    }
    EXPECT_EQ(frontEnd.rows.count(4), 0u);  // the unchecked row is never touched
    std::vector<std::string> log = frontEnd.log;
    std::sort(log.begin(), log.end());
    EXPECT_EQ(log, (std::vector<std::string>{"Conversion failed for: " + failed +
                                                 " (6 channels: only mono and stereo are converted)",
                                             "Conversion skipped for: " + skipped}));
    EXPECT_EQ(FilesIn(dir / "out"), (std::vector<std::string>{"a.wav", "b.wav", "c.wav", "exists.wav"}));
}

struct RefusalCase {
    const char* name;
    Transcoder::Refusal refusal;
};

class RefusalTest : public QueueTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ChangesNothing) {
    std::vector<ConvertRow> rows = {{Scripted("a.fake"), 1, true}};
    switch (GetParam().refusal) {
        case Transcoder::Refusal::NoOutputFolder:
            Config.output = (dir / "missing").string();
            break;
        case Transcoder::Refusal::ListEmpty:
            rows.clear();
            break;
        case Transcoder::Refusal::NothingChecked:
            rows[0].checked = false;
            break;
        default:
            break;
    }
    Transcoder t(decoders, encoders, frontEnd);
    EXPECT_EQ(t.Convert(rows, false), GetParam().refusal);
    EXPECT_FALSE(t.Busy());
    t.Join();
    EXPECT_EQ(frontEnd.ended, 0);
    EXPECT_TRUE(frontEnd.rows.empty());
    EXPECT_TRUE(FilesIn(dir / "out").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(RefusalCase{"no_output_folder", Transcoder::Refusal::NoOutputFolder},
                      RefusalCase{"list_empty", Transcoder::Refusal::ListEmpty},
                      RefusalCase{"nothing_checked", Transcoder::Refusal::NothingChecked}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QueueTest, SecondConvertWhileBusyIsRefused) {
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::promise<void> started;
    Script s;
    s.onBlock = [&, gate](int i) {
        if (i == 0) {
            started.set_value();
            gate.wait();
        }
    };
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(t.Convert({{Scripted("slow.fake", s), 1, true}}, false), Transcoder::Refusal::None);
    started.get_future().wait();
    EXPECT_TRUE(t.Busy());
    EXPECT_EQ(t.Convert({{Scripted("b.fake"), 2, true}}, false), Transcoder::Refusal::Busy);
    release.set_value();
    ASSERT_TRUE(frontEnd.WaitEnded());
    t.Join();
    EXPECT_FALSE(t.Busy());
    EXPECT_EQ(frontEnd.rows.count(2), 0u);
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_DONE);
}

// Cancelling while the first file overwrites an existing output through a temporary name: that output
// stays as it was, the temporary file goes, the rest of the queue waits for the next Convert to drop it.
TEST_F(QueueTest, CancelMidFileKeepsTheExistingOutputAndLeavesTheQueue) {
    Config.overwrite = 0;
    Wav16(Out("x.wav"));
    const auto existing = testsupport::ReadBytes(Out("x.wav"));
    Transcoder t(decoders, encoders, frontEnd);
    Script s;
    s.onBlock = [&t](int i) {
        if (i == 2) t.Cancel();
    };
    std::vector<ConvertRow> rows = {
        {Scripted("x.fake", s), 1, true}, {Scripted("y.fake"), 2, true}, {Scripted("z.fake"), 3, true}};
    ASSERT_EQ(Run(t, rows), Transcoder::Refusal::None);
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_CANCELED);
    EXPECT_EQ(frontEnd.log, std::vector<std::string>{"Conversion canceled for: " + rows[0].path});
    EXPECT_EQ(testsupport::ReadBytes(Out("x.wav")), existing);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"x.wav"});
    EXPECT_EQ(t.QueueLeft(), 2u);
    EXPECT_EQ(t.Failed(), 0);

    // The next run starts from a fresh queue.
    frontEnd.ended = 0;
    ASSERT_EQ(Run(t, {{Scripted("w.fake"), 4, true}}), Transcoder::Refusal::None);
    EXPECT_EQ(t.QueueLeft(), 0u);
    EXPECT_EQ(frontEnd.rows.count(2), 0u);
    EXPECT_EQ(frontEnd.rows.count(3), 0u);
    EXPECT_EQ(frontEnd.FinalStatus(4), STATUS_DONE);
}

// "No" with the tick answers for every later existing output, in every worker, without asking again.
TEST_F(QueueTest, NoWithApplyToAllSkipsEveryLaterExistingOutput) {
    Config.threadscount = 2;
    Config.overwrite = 2;
    frontEnd.overwriteAnswers = {OVERWRITE_NO};
    frontEnd.tickAnswer = true;
    std::vector<ConvertRow> rows;
    for (int i = 1; i <= 4; ++i) {
        std::string n = "f" + std::to_string(i);
        Wav16(Out(n + ".wav"));
        rows.push_back({Scripted(n + ".fake"), static_cast<uint64_t>(i), true});
    }
    rows.push_back({Scripted("fresh.fake"), 5, true});
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(Run(t, rows), Transcoder::Refusal::None);
    EXPECT_EQ(frontEnd.asked, 1);
    EXPECT_EQ(t.Skipped(), 4);
    EXPECT_EQ(frontEnd.FinalStatus(5), STATUS_DONE);

    // A new Convert clears the tick: the question comes again.
    frontEnd.ended = 0;
    ASSERT_EQ(Run(t, {rows[0]}), Transcoder::Refusal::None);
    EXPECT_EQ(frontEnd.asked, 2);
}

TEST_F(QueueTest, NewNameCancelledCountsAsSkipped) {
    Config.overwrite = 2;
    Wav16(Out("x.wav"));
    frontEnd.overwriteAnswers = {OVERWRITE_NEW_NAME};
    frontEnd.saveNames = {std::nullopt};
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(Run(t, {{Scripted("x.fake"), 1, true}}), Transcoder::Refusal::None);
    EXPECT_EQ(frontEnd.saveAsked, 1);
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_SKIPPED);
    EXPECT_EQ(t.Skipped(), 1);
    EXPECT_EQ(frontEnd.log, std::vector<std::string>{"Conversion skipped for: " + Src("x.fake")});
}

// An error inside the main-thread naming-and-open step (a tag reader that raises) fails that file only.
TEST_F(QueueTest, ErrorInTheOpenStepFailsOnlyThatFile) {
    Script bad;
    bad.throwInTags = true;
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(Run(t, {{Scripted("bad.fake", bad), 1, true}, {Scripted("good.fake"), 2, true}}),
              Transcoder::Refusal::None);
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_FAILED);
    EXPECT_EQ(frontEnd.FinalStatus(2), STATUS_DONE);
    EXPECT_EQ(t.Failed(), 1);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"good.wav"});
}

// Whatever escapes a file's block loop is shown, fails that file and leaves the worker running.
TEST_F(QueueTest, ErrorEscapingTheBlockLoopIsReportedAndTheWorkerGoesOn) {
    Script bad;
    bad.throwInProgress = true;
    Transcoder t(decoders, encoders, frontEnd);
    ASSERT_EQ(Run(t, {{Scripted("bad.fake", bad), 1, true}, {Scripted("good.fake"), 2, true}}),
              Transcoder::Refusal::None);
    EXPECT_EQ(frontEnd.exceptions.size(), 1u);
    EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_FAILED);
    EXPECT_EQ(frontEnd.FinalStatus(2), STATUS_DONE);
    EXPECT_EQ(t.Failed(), 1);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"good.wav"});
}

// A thread count below one still runs one worker; every worker opens the folder when asked to.
TEST_F(QueueTest, WorkerCountAndOpenFolder) {
    for (int threads : {0, 4}) {
        SCOPED_TRACE(threads);
        frontEnd.ended = frontEnd.opened = 0;
        Config.threadscount = threads;
        Config.openfolder = true;
        Config.overwrite = 3;
        Transcoder t(decoders, encoders, frontEnd);
        ASSERT_EQ(Run(t, {{Scripted("a.fake"), 1, true}}), Transcoder::Refusal::None);
        EXPECT_EQ(t.Workers(), std::max(threads, 1));
        EXPECT_EQ(frontEnd.opened, std::max(threads, 1));
        EXPECT_EQ(frontEnd.FinalStatus(1), STATUS_DONE);
    }
}

}  // namespace
}  // namespace enginetest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new enginetest::TagLibraryEnvironment);
    return RUN_ALL_TESTS();
}
