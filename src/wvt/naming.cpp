// Output file naming and the overwrite policy.
#include "wvt/naming.h"

#include <filesystem>
#include <system_error>

#include "wvt/frontend.h"
#include "encoder/maker.h"

namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);  // follows links
}

// A name is taken when a file has it or an output being written will get it.
bool Taken(const std::string& path, const NamesInFlight* inFlight) {
    return (inFlight && inFlight->count(path) > 0) || FileExists(path);
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Position of the first occurrence of `needle` in `haystack`, comparing ASCII letters without case.
size_t FindNoCase(const std::string& haystack, const std::string& needle) {
    if (needle.empty() || needle.size() > haystack.size()) return std::string::npos;
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        size_t j = 0;
        while (j < needle.size() && FoldAscii(haystack[i + j]) == FoldAscii(needle[j])) ++j;
        if (j == needle.size()) return i;
    }
    return std::string::npos;
}

void OverwriteThroughTemporaryName(NamingOutcome& out, const EncoderClass& writer,
                                   const NamesInFlight* inFlight) {
    out.finalOutputName = out.outputName;
    out.replacePending = true;
    out.outputName = NumberedName(out.outputName, writer.GetExtension(), inFlight);
}

}  // namespace

std::string ExtractExtension(const std::string& fileName) {
    size_t slash = fileName.rfind('/');
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return fileName.substr(dot);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
    size_t slash = fileName.rfind('/');
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fileName + extension;
    return fileName.substr(0, dot) + extension;
}

std::string ExtractFilePath(const std::string& fileName) {
    size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string getbasepath(const std::vector<std::string>& paths) {
    if (paths.empty()) return {};
    const std::string& f = paths.front();
    // The level-j prefix: up to and including the j-th delimiter, looking at all but the last character.
    auto prefix = [](const std::string& p, int level) {
        size_t limit = p.empty() ? 0 : p.size() - 1;
        int seen = 0;
        for (size_t i = 0; i < limit; ++i) {
            if (p[i] == '/' && ++seen == level) return p.substr(0, i + 1);
        }
        return p.substr(0, limit);
    };
    int levels = 0;
    for (size_t i = 0; i + 1 < f.size(); ++i)
        if (f[i] == '/') ++levels;
    std::string base;
    for (int j = 1; j <= levels; ++j) {
        std::string mine = prefix(f, j);
        for (size_t k = 1; k < paths.size(); ++k)
            if (prefix(paths[k], j) != mine) return base;
        base = mine;
    }
    return base;
}

std::string NumberedName(const std::string& outputName, const std::string& extension,
                         const NamesInFlight* inFlight) {
    std::string stem = ChangeFileExt(outputName, "");
    for (long n = 1;; ++n) {
        std::string candidate = stem + "_" + std::to_string(n) + "." + extension;
        if (!Taken(candidate, inFlight)) return candidate;
    }
}

NamingOutcome NamingStep(const std::string& sourceName, config& settings, const std::string& basePath,
                         const EncoderClass& writer, OverwriteState& overwrite, FrontEnd& frontEnd,
                         const NamesInFlight* inFlight) {
    NamingOutcome out;
    if (settings.samefolder) {
        out.outputFolder = ExtractFilePath(sourceName);
        out.outputName = sourceName;
        // The tracks of a CD image are named inside its cue sheet: their outputs go beside the sheet.
        const std::string container = out.outputFolder.empty()
                                          ? std::string()
                                          : out.outputFolder.substr(0, out.outputFolder.size() - 1);
        std::error_code ec;
        if (!container.empty() && fs::is_regular_file(container, ec)) {
            out.outputFolder = ExtractFilePath(container);
            out.outputName = out.outputFolder + sourceName.substr(sourceName.rfind('/') + 1);
        }
    } else if (settings.keepfolder && !basePath.empty()) {
        // (Keep-folders without a base folder for the run falls through to the output folder: the source
        // path would otherwise come out unchanged and the output would land beside the source.)
        if (settings.output.empty() || settings.output.back() != '/') settings.output += '/';
        out.outputName = sourceName;
        size_t at = FindNoCase(sourceName, basePath);
        if (at != std::string::npos) out.outputName.replace(at, basePath.size(), settings.output);
        out.outputFolder = ExtractFilePath(out.outputName);
        std::error_code ec;
        if (!out.outputFolder.empty() && !fs::exists(out.outputFolder, ec))
            fs::create_directories(out.outputFolder, ec);  // a failure shows up when the writer opens
    } else {
        std::string folder = settings.output;
        size_t slash = sourceName.rfind('/');
        std::string name = slash == std::string::npos ? sourceName : sourceName.substr(slash + 1);
        out.outputName = folder + (folder.empty() || folder.back() != '/' ? "/" : "") + name;
        out.outputFolder = folder;
    }
    out.outputName = ChangeFileExt(out.outputName, "." + writer.GetExtension());

    if (!Taken(out.outputName, inFlight)) return out;

    int action = settings.overwrite;  // 0 overwrite, 1 skip, 2 ask, 3 numbered name
    int answer = 0;                   // for "ask": 1 overwrite, 2 skip, 3 new name
    if (action == 2) {
        if (overwrite.applyToAll && overwrite.answer != 0) {
            answer = overwrite.answer;
        } else {
            int button = frontEnd.AskOverwrite(out.outputName, overwrite.applyToAll);
            answer = button == OVERWRITE_YES ? 1 : button == OVERWRITE_NO ? 2 : 3;
            overwrite.answer = answer;
        }
    }

    if (action == 0 || answer == 1) {
        OverwriteThroughTemporaryName(out, writer, inFlight);
    } else if (action == 1 || answer == 2) {
        out.proceed = false;
    } else if (action == 3) {
        out.outputName = NumberedName(out.outputName, writer.GetExtension(), inFlight);
    } else {  // enter a new name
        std::string chosen;
        if (!frontEnd.AskSaveName(writer.GetFilter(), writer.GetExtension(), out.outputFolder, chosen)) {
            out.proceed = false;
        } else {
            // Writers store under their own extension whatever the name says ("x.WAV" becomes "x.wav"):
            // name the file the writer will really create, so the existence check, the tags and the removal
            // of a failed output all concern that file and not another one the user happens to have.
            out.outputName = ChangeFileExt(chosen, "." + writer.GetExtension());
            // The user agreed to replace an existing file (possibly the source itself). Writing straight
            // over it would lose it when the conversion fails, or destroy the source mid-read: replace it
            // through a temporary name instead, as "Yes" does.
            if (Taken(out.outputName, inFlight)) OverwriteThroughTemporaryName(out, writer, inFlight);
        }
    }
    return out;
}
