// Outputs are written under a hidden temporary name in their own folder and renamed into place only when
// complete, so a crash never leaves a truncated file under a name that looks finished. This unit names
// those files, makes them durable before the rename and removes the ones a crashed run left behind.
#pragma once

#include <string>

// The temporary name of the output `finalName`: same folder, hidden, ending in ".partial", and carrying
// the process id and a per-process number so that neither two runs nor two workers share one.
std::string PartialName(const std::string& finalName);

// The file an output named `finalName` really replaces: `finalName` with its symbolic links followed, so
// that an output name linking elsewhere is written through as before instead of the link being replaced.
std::string FollowLinks(const std::string& finalName);

// True when `fileName` (no folder) is a temporary name PartialName makes; `owner` gets its process id.
bool IsPartialName(const std::string& fileName, long& owner);

// Flushes the file's data to the device; the system's error text when that fails, empty otherwise.
std::string SyncFile(const std::string& path);
// Flushes the folder holding `path`, so a rename inside it survives a power cut (failures are ignored:
// some file systems cannot sync folders).
void SyncFolderOf(const std::string& path);

// Removes from `folder` the temporary files of runs that are gone: PartialName's files older than
// `minimumAgeSeconds` whose process is not running. Anything else is left alone. Answers how many went.
int RemoveStalePartials(const std::string& folder, long minimumAgeSeconds);

// Test builds: ends the process with SIGKILL when the environment names this point (see partial.cpp);
// nothing otherwise.
void CrashPoint(const char* point);
