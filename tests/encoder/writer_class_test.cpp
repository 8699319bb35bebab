// The writer skeleton's finishing: Finish raises a failure to complete the file and completes once; a
// writer destroyed unfinished completes itself without letting a failure escape, also while another
// exception unwinds.
#include <gtest/gtest.h>

#include <stdexcept>

#include "encoder/writer_class.h"

namespace {

// What the scripted writer's Complete did, and whether it is to fail.
struct FinishLog {
    int completions = 0;
    bool fail = false;
};
FinishLog gLog;

class ScriptedWriter : public Tencoder {
  public:
    explicit ScriptedWriter(const WriterSetup& setup) : Tencoder(setup) {}
    int Write(const uint8_t*, uint32_t) override { return 0; }

  protected:
    void Complete() override {
        ++gLog.completions;
        if (gLog.fail) throw EEncoderError("trailer not written");
    }
};

constexpr WriterFacts kFacts = {.name = "Scriptedwriter",
                                .description = "SCR  - Scripted",
                                .extension = "scr",
                                .filter = "Scripted (*.scr)|*.scr"};
const WriterClass<ScriptedWriter> kClass(kFacts);

std::unique_ptr<Tencoder> MakeWriter(bool failing) {
    gLog = FinishLog{0, failing};
    return kClass.Create("/nonexistent/out.scr", MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
}

TEST(WriterFinish, FinishRaisesTheFailureAndCompletesOnce) {
    auto writer = MakeWriter(true);
    try {
        writer->Finish();
        FAIL() << "Finish did not raise";
    } catch (const EEncoderError& error) {
        EXPECT_STREQ(error.what(), "trailer not written");
    }
    writer->Finish();  // already finished: nothing happens, nothing is raised
    writer.reset();    // nor does destroying it complete the file again
    EXPECT_EQ(gLog.completions, 1);
}

TEST(WriterFinish, DestroyingAnUnfinishedWriterCompletesItAndDropsTheFailure) {
    for (bool failing : {false, true}) {
        SCOPED_TRACE(failing);
        auto writer = MakeWriter(failing);
        writer.reset();
        EXPECT_EQ(gLog.completions, 1);
    }
}

// A writer on the stack of a failing conversion is completed during unwinding; its own failure must not
// replace the first error (or end the program).
TEST(WriterFinish, UnwindingPastAFailingWriterKeepsTheFirstError) {
    try {
        auto writer = MakeWriter(true);
        throw std::runtime_error("source unreadable");
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "source unreadable");
    }
    EXPECT_EQ(gLog.completions, 1);
}

}  // namespace
