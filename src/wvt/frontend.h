// What the conversion engine asks of the program that drives it. Workers never touch windows: everything
// a user sees or answers goes through this interface, which the desktop program implements with blocking
// queued calls to its main thread, the console front end with its own main-thread task loop, and the
// tests with an inline fake.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Results of the overwrite question, as its three buttons report them.
enum OverwriteButton : int {
    OVERWRITE_YES = 106,
    OVERWRITE_NO = 107,
    OVERWRITE_NEW_NAME = 102,
};

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // Runs `work` on the main thread and returns when it has run. Called from worker threads only.
    virtual void RunOnMain(const std::function<void()>& work) = 0;

    // Main thread. The overwrite question for `outputName`; answers one of OverwriteButton. `applyToAll`
    // is the state of the "Apply action to the all files" box, which the user may change.
    virtual int AskOverwrite(const std::string& outputName, bool& applyToAll) = 0;

    // Main thread. The save dialog for "Enter new name": `filter` in the "text|patterns" form, the default
    // extension without its dot, the folder it opens in. Answers false when the user cancels.
    virtual bool AskSaveName(const std::string& filter, const std::string& defaultExtension,
                             const std::string& folder, std::string& chosen) = 0;

    // Main thread. A modal error message; the caller waits until it is dismissed.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;

    // Main thread. An unexpected error that escaped a file's conversion steps.
    virtual void ShowException(const std::string& text) = 0;

    // Main thread. Store `status` in the row `node`; for a status other than 0 uncheck the row and
    // recompute the header check box; repaint the row and scroll it into view.
    virtual void UpdateRow(uint64_t node, int status) = 0;

    // Main thread. One line for the conversion log.
    virtual void AppendLog(const std::string& line) = 0;

    // Main thread. Open a folder in the desktop's file manager (the `openfolder` setting).
    virtual void OpenFolder(const std::string& folder) = 0;

    // Main thread. The last worker has ended: show the summary; in automation mode end the program.
    virtual void AllWorkersEnded() = 0;
};
