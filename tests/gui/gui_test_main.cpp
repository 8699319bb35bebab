// Test entry point: a QApplication on the offscreen platform (unless a platform is chosen), with the
// settings folder redirected before anything reads it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "support/audio_fixtures.h"

namespace {

int ThreadCount() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 1;
    int count = 0;
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
    return count;
}

// On a real X server Qt's accessibility bridge starts QtDBus, whose connection-manager thread is stopped
// by a global destructor at exit. That destructor returns once the thread has run its last event, while
// the thread still releases its own data; a leak check running at that moment sees the data unreferenced.
// Registered before any Qt global exists, this runs after their destructors and before the leak check:
// it waits (5 s at most) until the library threads have gone.
void WaitForLibraryThreads() {
    for (int i = 0; i < 500 && ThreadCount() > 1; ++i) usleep(10000);
}

}  // namespace

int main(int argc, char** argv) {
    std::atexit(WaitForLibraryThreads);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // QSettings fixes the user's configuration folder at its first use, so the whole run shares one
    // temporary folder; each test starts by removing the settings file in it.
    testsupport::TempDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
