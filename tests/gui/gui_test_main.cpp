// Test entry point: a QApplication on the offscreen platform (unless a platform is chosen), with the
// settings folder redirected before anything reads it.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/audio_fixtures.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // QSettings fixes the user's configuration folder at its first use, so the whole run shares one
    // temporary folder; each test starts by removing the settings file in it.
    testsupport::TempDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
