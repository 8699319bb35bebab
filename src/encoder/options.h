// A writer's options as a table of rows: the writer maps the stored item indexes to rates, bit rates and
// channel counts through it, and the desktop program builds the writer's option dialog from it. Qt-free,
// so the writer layer and its tests need no widgets.
#pragma once

#include <span>

#include "wvt/config.h"

// One item of a drop-down list: its text and what the writer makes of it (a rate in Hz, a bit rate in
// kbit/s, a channel count); 0 stands for "Same As Original".
struct Choice {
    const char* text;
    int value;
};

// One check box of a row of check boxes, with the setting it shows and stores.
struct CheckItem {
    const char* text;
    const char* object;
    bool config::*field;
};

enum class RowKind {
    List,         // label, then a drop-down list; the setting is the item index
    Slider,       // label, then a horizontal slider over min..max; the setting is its position
    CheckSlider,  // check box (its own setting), then a slider over min..max
    Checks,       // check boxes side by side across the row
};

// One row of an option dialog. Object names are those the dialog's controls carry (tests find them).
struct OptionRow {
    RowKind kind;
    const char* labelObject;            // the label (List, Slider) or the check box (CheckSlider)
    const char* label;                  // its text
    const char* object;                 // the list or slider
    int config::*field;                 // List: item index; Slider, CheckSlider: position
    std::span<const Choice> choices{};  // List
    int fallback = 0;  // List: the item a stored index outside the list stands for, for dialog and writer
    int min = 0;       // Slider, CheckSlider
    int max = 0;
    bool config::*flag = nullptr;         // CheckSlider: the check box's setting
    std::span<const CheckItem> checks{};  // Checks

    // List rows: the item index the settings select, `fallback` when the stored one is outside the list.
    int Index(const config& settings) const;
    // List rows: the value of that item.
    int Value(const config& settings) const { return choices[static_cast<size_t>(Index(settings))].value; }
};

// The sample-rate list most dialogs share, and the mode list of every dialog but MP3's.
inline constexpr Choice kSampleRates[] = {
    {"Same As Original", 0}, {"96000", 96000}, {"88200", 88200}, {"64000", 64000}, {"48000", 48000},
    {"44100", 44100},        {"32000", 32000}, {"24000", 24000}, {"22050", 22050}, {"16000", 16000},
    {"12000", 12000},        {"11025", 11025}, {"8000", 8000}};
inline constexpr Choice kModes[] = {{"Same As Original", 0}, {"Stereo", 2}, {"Mono", 1}};

// Row makers for the shapes the dialogs repeat.
constexpr OptionRow ListRow(const char* labelObject, const char* label, const char* object,
                            int config::*field, std::span<const Choice> choices, int fallback = 0) {
    return {.kind = RowKind::List,
            .labelObject = labelObject,
            .label = label,
            .object = object,
            .field = field,
            .choices = choices,
            .fallback = fallback};
}
// "Samplerate:" over `rates`; a stored index outside the list keeps the source's rate.
constexpr OptionRow RateRow(int config::*field, std::span<const Choice> rates = kSampleRates) {
    return ListRow("srLabel", "Samplerate:", "srbox", field, rates, 0);
}
// "Mode: " over `modes`; by default any index outside the list means mono.
constexpr OptionRow ModeRow(int config::*field, std::span<const Choice> modes = kModes, int fallback = 2) {
    return ListRow("chLabel", "Mode: ", "chbox", field, modes, fallback);
}
constexpr OptionRow SliderRow(const char* labelObject, const char* label, const char* object,
                              int config::*field, int min, int max) {
    return {.kind = RowKind::Slider,
            .labelObject = labelObject,
            .label = label,
            .object = object,
            .field = field,
            .min = min,
            .max = max};
}
constexpr OptionRow CheckSliderRow(const char* checkObject, const char* text, bool config::*flag,
                                   const char* object, int config::*field, int min, int max) {
    return {.kind = RowKind::CheckSlider,
            .labelObject = checkObject,
            .label = text,
            .object = object,
            .field = field,
            .min = min,
            .max = max,
            .flag = flag};
}
constexpr OptionRow ChecksRow(std::span<const CheckItem> checks) {
    return {.kind = RowKind::Checks,
            .labelObject = "",
            .label = "",
            .object = "",
            .field = nullptr,
            .checks = checks};
}

// The option dialog a writer's ShowOptions opens: caption, object name, client size and rows. A dialog
// several writers share (WAV and AIFF) is told each time which writer's mode, caption and rows to use.
struct OptionsDialogFacts {
    const char* caption;
    const char* object;
    int width = 362;
    int height = 125;
    std::span<const OptionRow> rows{};
    int sharedMode = 0;  // non-zero: the shared dialog's mode for this writer
};
