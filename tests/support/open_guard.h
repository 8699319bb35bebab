// A guard that ends the process on any attempt to open a file, folder or socket, connect, or look up a
// host name while it is armed. Tests and fuzz entry points arm it while the program reads input that came
// from memory: then every such attempt was caused by something named inside that input.
// The executable must export its symbols (CMake ENABLE_EXPORTS), so that the libraries it loads reach the
// guard's versions of these calls before the C library's.
#pragma once

namespace testsupport {

class OpenGuard {
  public:
    OpenGuard() : OpenGuard(nullptr) {}
    // Lets `allowed` (a path, spelled exactly as it will be opened) be opened while armed: the one file a
    // test hands over by name.
    explicit OpenGuard(const char* allowed);
    ~OpenGuard();
    OpenGuard(const OpenGuard&) = delete;
    OpenGuard& operator=(const OpenGuard&) = delete;

    // The text written to standard error before the process aborts, for death tests.
    static constexpr const char* kMessage = "open attempt while guarded";
};

}  // namespace testsupport
