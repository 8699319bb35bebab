// Persistent storage of the settings record: an INI file kept through QSettings under the user's
// configuration folder, plus the machine facts that some defaults come from.
#pragma once

#include <filesystem>
#include <string>

#include "wvt/config.h"  // the record itself; this unit loads and saves it

// Fills `settings` with the defaults, then overwrites every field whose stored value exists and holds a
// value of the field's type. A missing settings file is created (empty) so that the first save finds it.
// The overload without a file uses SettingsFile().
void LoadSettings(config& settings);
void LoadSettings(config& settings, const std::filesystem::path& file);

// Writes every field. A file that cannot be written is left alone without a message.
void SaveSettings(const config& settings);
void SaveSettings(const config& settings, const std::filesystem::path& file);

// $XDG_CONFIG_HOME/Quillsound/wavetrove.ini (organisation "Quillsound", application "wavetrove").
std::filesystem::path SettingsFile();

// Number of logical processors; at least 1.
int ProcessorCount();

// The user's music folder, or the empty text when the user has none.
std::string MusicFolder();

// Folder of the running executable, with its trailing "/".
std::string ProgramFolder();

// Sets the field named `name` (a value name as stored, e.g. "wavbps" or "col2") from text: a number for
// ints; a number, true/false, on/off or yes/no for bools; any text for strings. False for an unknown name
// or a value of the wrong kind, leaving the record unchanged.
bool SetSettingFromText(config& settings, const std::string& name, const std::string& value);
