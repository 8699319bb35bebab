// Shared pieces of the GUI tests: a fixture with its own settings folder and recorded message boxes,
// waiting on the event loop, generated WAV files and a watcher that answers modal dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"

class Tmainform;

struct RecordedMessage {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
    bool owned;
};

// Turns the event loop until `done` holds or `ms` pass; answers whether it held.
bool WaitFor(const std::function<bool()>& done, int ms = 30000);

// A stereo 16-bit WAV of `seconds` of a sine at `frequency`.
void MakeWav(const std::filesystem::path& path, double seconds = 0.2, double frequency = 440.0,
             int rate = 44100);

// Codec index of the writer whose description starts with `shortName` ("WAV", "GSM", ...), or -1.
int CodecIndex(const Tmainform& form, const QString& shortName);

// Every test starts without a settings file, with message boxes and file dialogs
// answered by hooks; the settings file can be seeded before the window is made.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes "[Settings]" values into the settings file before a window reads it.
    void SeedSettings(const std::vector<std::pair<std::string, std::string>>& values);
    // A shown main window over `arguments`; its first display is not run.
    Tmainform& MakeWindow(const QStringList& arguments = {});
    void CloseWindow();
    std::vector<std::string> ListPaths() const;
    std::vector<QString> Statuses() const;
    // The messages shown, apart from the start-up note about the Windows Media runtime.
    std::vector<RecordedMessage> Messages() const;

    std::filesystem::path SettingsFolder() const;
    testsupport::TempDir files_;
    std::unique_ptr<Tmainform> form_;
    std::vector<RecordedMessage> messages_;
    std::vector<QString> folderAnswers_;
};
