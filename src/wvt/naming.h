// Output file naming and the overwrite policy: where a converted file goes, what happens when a file of
// that name exists, and the common base folder of the conversion list for the keep-folders mode.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "wvt/config.h"

class EncoderClass;
class FrontEnd;

// The answer to the overwrite question that is reused while "Apply action to the all files" is ticked.
// One per conversion; reset by each Convert; touched on the main thread only.
struct OverwriteState {
    int answer = 0;  // 0 none, 1 overwrite, 2 skip, 3 enter a new name
    bool applyToAll = false;
};

// Result of the naming step for one file.
struct NamingOutcome {
    bool proceed = true;
    std::string outputName;
    std::string outputFolder;
    std::string finalOutputName;  // the existing file a temporary output replaces on success
    bool replacePending = false;
};

// Text from the last dot of the last path component on (dot included); empty when there is none.
std::string ExtractExtension(const std::string& fileName);
// `fileName` with its extension replaced by `extension` (which carries its dot, or is empty to drop it).
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
// Folder part of a path including its trailing "/"; empty when there is none.
std::string ExtractFilePath(const std::string& fileName);

// The common base folder of `paths` (list order, the first one decides), with its trailing "/"; empty
// when the paths share no folder.
std::string getbasepath(const std::vector<std::string>& paths);

// Final names of outputs still being written under their temporary names. The naming step counts them as
// existing files, so two files of one run never take the same name.
using NamesInFlight = std::set<std::string>;

// "stem_1.ext", or the first "stem_N.ext" that does not exist yet (nor is in `inFlight`, when given).
std::string NumberedName(const std::string& outputName, const std::string& extension,
                         const NamesInFlight* inFlight = nullptr);

// The naming step for `sourceName` (main thread, under the naming lock). May append the delimiter to
// `settings.output` in keep-folders mode and create the output folders. Names in `inFlight` count as
// existing files.
NamingOutcome NamingStep(const std::string& sourceName, config& settings, const std::string& basePath,
                         const EncoderClass& writer, OverwriteState& overwrite, FrontEnd& frontEnd,
                         const NamesInFlight* inFlight = nullptr);
