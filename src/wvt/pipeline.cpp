// The per-file conversion pipeline.
#include "wvt/pipeline.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/audiodsp/audiodsp.h"
#include "wvt/config.h"
#include "wvt/frontend.h"
#include "wvt/partial.h"
#include "decoder/manager.h"
#include "encoder/maker.h"
#include "encoder/manager.h"
#include "bindings/taglib.h"

namespace fs = std::filesystem;

namespace {

// Largest converter input per call; its output always fits into the work buffer.
constexpr uint32_t kConverterInput = 8192;

// Gives `target` the access and modification times of `source`; Linux has no settable creation time.
void CopyFileTimes(const std::string& source, const std::string& target) {
    struct stat st {};
    if (stat(source.c_str(), &st) != 0) return;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, target.c_str(), times, 0);
}

}  // namespace

std::string CurrentErrorText() {
    try {
        throw;
    } catch (const EEncoderError& e) {
        return e.Reason();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

FileConversion::~FileConversion() {
    Release();
}

void FileConversion::Fail(const std::string& reason) {
    if (!failed || failReason.empty()) failReason = reason;
    failed = true;
}

bool FileConversion::Open() {
    DeleteSRC2(converter_);
    converter_ = nullptr;
    lastPercent_ = 0;
    conversionNeeded_ = true;
    integerRoad_ = false;
    failed = false;
    failReason.clear();

    source_ = ctx_.decoders.OpenFile(sourceName);
    if (!source_ || !source_->IsValid() || source_->GetChannels() < 1 || source_->GetChannels() > 2) {
        // An invalid source still knows its channel count when that was the only thing wrong with it.
        const int channels = source_ ? source_->GetChannels() : 0;
        Fail(channels > 2 ? std::to_string(channels) + " channels: only mono and stereo are converted"
                          : "not a readable audio file");
        return false;
    }

    const EncoderClass* writerClass = WriterClass();
    if (!writerClass) {
        Fail("no writer for the chosen output format");
        return false;
    }
    // The writer, its finishing step, the tags and the file times all act on a hidden temporary file;
    // only a complete output is renamed to the final name, so a crash at any moment leaves either the
    // old file or nothing under that name.
    if (replacePending) outputName = finalOutputName;
    renameTarget_ = FollowLinks(outputName);
    struct stat target {};
    // A device or a pipe named as the output cannot be replaced by a file: it is written as it is.
    inPlace_ = stat(renameTarget_.c_str(), &target) == 0 && !S_ISREG(target.st_mode);
    partialName = inPlace_ ? outputName : PartialName(renameTarget_);
    try {
        writer_ = writerClass->Create(partialName, source_->GetWaveFormat());
    } catch (...) {
        writer_.reset();
        Fail(CurrentErrorText());
        return false;
    }
    // The rename and the removal of a failed output concern the file the writer reports.
    partialName = writer_->GetFileName();
    CrashPoint("opened");

    source_->GetTags(tags_);
    const WAVEFORMATEX& wanted = writer_->InputFormat();
    // A format that cannot hold the source's length (whole seconds, so never more than the real length
    // of a source that knows it) fails the file now rather than after hours of writing.
    try {
        writer_->CheckLength(static_cast<uint64_t>(std::max(source_->GetDuration(), 0)) *
                             wanted.nSamplesPerSec);
    } catch (...) {
        Fail(CurrentErrorText());
        return false;
    }
    const int writerCode = SampleFormatCode(wanted);
    conversionNeeded_ =
        !(static_cast<uint32_t>(source_->GetSampleRate()) == wanted.nSamplesPerSec &&
          source_->GetChannels() == wanted.nChannels && source_->GetSampleFormat() == writerCode);
    // Created even when bypassed, so a pair the converter refuses fails the file either way.
    converter_ = NewSRC2(source_->GetSampleRate(), static_cast<int>(wanted.nSamplesPerSec),
                         source_->GetChannels(), wanted.nChannels, source_->GetSampleFormat(), writerCode, 1);
    if (!converter_) {
        Fail("cannot convert " + std::to_string(source_->GetSampleRate()) + " Hz/" +
             std::to_string(source_->GetChannels()) + " Ch to " + std::to_string(wanted.nSamplesPerSec) +
             " Hz/" + std::to_string(wanted.nChannels) + " Ch");
        return false;
    }
    UseIntegerRoad(wanted);
    return true;
}

void FileConversion::UseIntegerRoad(const WAVEFORMATEX& wanted) {
    // A source that stores integers and a writer that stores at least as many bits, at the same rate and
    // channel count: the samples go as 32-bit integers from the decoder to the writer, without the float
    // round trip and the converter, and arrive exactly as the float road would bring them.
    const bool sameShape = static_cast<uint32_t>(source_->GetSampleRate()) == wanted.nSamplesPerSec &&
                           source_->GetChannels() == wanted.nChannels;
    const int depth = writer_->Int32Depth();
    if (!ctx_.integerRoad || !sameShape || depth <= 0 || source_->GetFormatTag() != WAVE_FORMAT_PCM ||
        source_->GetBitsPerSample() < 1 || source_->GetBitsPerSample() > depth)
        return;
    if (!source_->DeliverInt32()) return;
    writer_->UseInt32Input();
    conversionNeeded_ = false;
    integerRoad_ = true;
}

void FileConversion::WriteBlock(const uint8_t* data, uint32_t length) {
    if (length == 0 || failed) return;
    try {
        writer_->Write(data, length);
    } catch (...) {
        Fail(CurrentErrorText());
    }
    CrashPoint("written");
}

void FileConversion::Convert(int k, std::atomic<double>& progress, uint8_t* workBuffer) {
    if (failed || !source_ || !writer_) return;
    const uint8_t* block = nullptr;
    uint32_t blockLength = 0;
    int result = 1;
    try {
        result = source_->ReadBlock(block, blockLength);
    } catch (...) {
        Fail(CurrentErrorText());
    }
    if (result == 1) Fail("no audio in the file");  // no audio at all is a failed conversion

    const double share = 100.0 / ctx_.filesQueued;
    while (result == 0 && !ctx_.cancel.load(std::memory_order_relaxed) && !failed) {
        if (conversionNeeded_) {
            // The converter takes at most kConverterInput bytes per call. Its outputs for one source block
            // are gathered in the work buffer and written with one Write (writers that frame their output,
            // such as WavPack's blocks, do better with whole blocks); only when the next piece's output
            // might not fit behind what is gathered is that handed over first.
            uint32_t gathered = 0;
            for (uint32_t at = 0; at < blockLength && !failed;) {
                const uint32_t piece = std::min(kConverterInput, blockLength - at);
                if (gathered > 0 && gathered + SRC2_MaxOutputBytes(converter_, piece) > WORK_BUFFER_SIZE) {
                    WriteBlock(workBuffer, gathered);
                    gathered = 0;
                }
                uint32_t outLength = 0;
                try {
                    SRC2_process(converter_, block + at, piece, workBuffer + gathered, &outLength);
                } catch (...) {
                    const std::string text =
                        "Sorry, conversion between " + std::to_string(source_->GetSampleRate()) + "Hz and " +
                        std::to_string(writer_->InputFormat().nSamplesPerSec) + "Hz is not possible";
                    ctx_.frontEnd.RunOnMain([&] { ctx_.frontEnd.ShowError("Error!", text); });
                    Fail(text);
                }
                gathered += outLength;
                at += piece;
            }
            WriteBlock(workBuffer, gathered);
        } else {
            // Nothing to convert: the block goes to the writer as it is, whatever its size.
            WriteBlock(block, blockLength);
        }

        int p = source_->GetProgress();
        if (p > lastPercent_) {
            progress.store(((k - 1) + p / 100.0) * share, std::memory_order_relaxed);
            lastPercent_ = p;
        }
        try {
            result = source_->ReadBlock(block, blockLength);
        } catch (...) {
            Fail(CurrentErrorText());
        }
    }
    if (!failed && conversionNeeded_ && !ctx_.cancel.load(std::memory_order_relaxed)) {
        uint32_t outLength = 0;
        try {
            SRC2_flush(converter_, workBuffer, &outLength);
            WriteBlock(workBuffer, outLength);
        } catch (...) {
            Fail(CurrentErrorText());
        }
    }
}

void FileConversion::Release() {
    DeleteSRC2(converter_);
    converter_ = nullptr;
    if (writer_) {
        // Completing the output can fail (a full disk at the last flush): that fails the file. The
        // writer is finished here, where its error can be caught, before it is destroyed.
        CrashPoint("finishing");
        try {
            writer_->Finish();
        } catch (...) {
            Fail(CurrentErrorText());
        }
        writer_.reset();
        CrashPoint("finished");
    }
    source_.reset();
}

const EncoderClass* FileConversion::WriterClass() const {
    if (Config.codec < 0 || static_cast<size_t>(Config.codec) >= ctx_.encoders.Count()) return nullptr;
    return &ctx_.encoders.Item(static_cast<size_t>(Config.codec));
}

void FileConversion::TransferTags() {
    const EncoderClass* writerClass = WriterClass();
    if (!writerClass) return;
    if (writerClass->CanCopyTags() && ctx_.decoders.CanCopyTagsOf(sourceName)) {
        taglib::taglib_set_strings_unicode(true);
        taglib::TagLib_File* from = taglib::taglib_file_newu(sourceName.c_str());
        // The output still has its temporary name: its type is the writer's.
        taglib::TagLib_File* to =
            taglib::taglib_file_new_as(partialName.c_str(), writerClass->GetExtension().c_str());
        if (from && to) {
            taglib::taglib_tag_copy(from, to);
            taglib::taglib_file_save(to);
        }
        if (to) taglib::taglib_file_free(to);
        if (from) taglib::taglib_file_free(from);
        taglib::taglib_tag_free_strings();
    } else {
        writerClass->WriteTags(partialName, tags_);
    }
}

int FileConversion::Finish(std::atomic<int>& failedCount) {
    int status = STATUS_DONE;
    if (ctx_.cancel.load(std::memory_order_relaxed)) {
        status = STATUS_CANCELED;
    } else if (failed) {
        status = STATUS_FAILED;
        failedCount.fetch_add(1, std::memory_order_relaxed);
    } else {
        if (Config.tags) {
            std::lock_guard<std::mutex> lock(ctx_.namingLock);
            TransferTags();
        }
        if (Config.retaindate) CopyFileTimes(sourceName, partialName);
        // On the device before it takes its name, so a power cut after "Done!" leaves no empty file.
        std::string error = inPlace_ ? std::string() : SyncFile(partialName);
        CrashPoint("renaming");
        // One atomic step in one folder: at every moment either the old file or the complete new one has
        // the final name.
        if (!inPlace_ && error.empty() && std::rename(partialName.c_str(), renameTarget_.c_str()) != 0)
            error = std::strerror(errno);
        if (error.empty()) {
            if (!inPlace_) SyncFolderOf(renameTarget_);
            partialName.clear();
            replacePending = false;
        } else {
            Fail("the output could not be completed: " + error);
            status = STATUS_FAILED;
            failedCount.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (status != STATUS_DONE) DiscardPartial();
    return status;
}

void FileConversion::DiscardPartial() {
    if (partialName.empty()) return;
    std::error_code ec;
    // A device or pipe written in place is not ours to remove; a link to one may go, as a failed output.
    if (!inPlace_ || fs::is_symlink(fs::symlink_status(partialName, ec))) fs::remove(partialName, ec);
    partialName.clear();
}
