// Reading a cue sheet of a BIN/CUE disc image: the one BINARY file it names and its tracks with their
// indexes, checked strictly, and the plain sheet libcdio can read whatever the original looked like.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace basscd {

struct CueTrack {
    int number = 0;
    std::string mode;  // AUDIO, MODE1/2352 or MODE2/2352
    bool audio = true;
    long index0 = -1;  // sector of INDEX 00 (the pregap), -1 when the track has none
    long index1 = -1;  // sector of INDEX 01, where the track starts
};

struct CueSheet {
    std::string binPath;  // the BINARY file in the sheet's folder or below it
    std::vector<CueTrack> tracks;
};

// Parses the text of a sheet. `folder` is the sheet's folder: the FILE name is looked for there or below it,
// an absolute name or one climbing out of the folder by its last component beside the sheet. Answers nothing
// and sets `error` for a sheet that is damaged or describes what libcdio cannot read: no or several FILE
// lines, a file type other than BINARY (WAVE, MOTOROLA, ...), sector sizes other than 2352, tracks out of
// order, missing or decreasing indexes. The BIN file itself is not looked at.
std::optional<CueSheet> ParseCueSheet(const std::string& text, const std::string& folder, std::string& error);

// Reads and parses the sheet at `path` (at most 1 MiB) and checks that its BIN file exists as a regular file
// (a FILE name that does not exist as written is looked for in the sheet's folder by its last component).
std::optional<CueSheet> LoadCueSheet(const std::string& path, std::string& error);

// The sheet as libcdio reads it: upper-case keywords, no byte-order mark, one FILE line naming `binName`.
std::string NormalisedCueText(const CueSheet& sheet, const std::string& binName);

}  // namespace basscd
