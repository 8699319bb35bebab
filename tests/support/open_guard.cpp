// The open guard: the calls through which a library reaches a file, a folder or the network, each passing
// on to the C library's version unless the guard is armed.
#undef _FORTIFY_SOURCE  // the fortified headers define some of these calls inline
#include "support/open_guard.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testsupport {
namespace {

std::atomic<int> g_armed{0};
std::atomic<const char*> g_allowed{nullptr};

void Write(const char* text) {
    if (text) (void)!::write(STDERR_FILENO, text, std::strlen(text));
}

// Reports and aborts when armed. The guard is disarmed first: writing the report and the sanitizers'
// crash report may open files themselves.
void Check(const char* call, const char* what) {
    if (g_armed.load() == 0) return;
    const char* allowed = g_allowed.load();
    if (allowed && what && std::strcmp(allowed, what) == 0) return;
    g_armed.store(0);
    Write(OpenGuard::kMessage);
    Write(": ");
    Write(call);
    Write("(");
    Write(what ? what : "");
    Write(")\n");
    std::abort();
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

mode_t ModeArgument(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

OpenGuard::OpenGuard(const char* allowed) {
    g_allowed.store(allowed);
    g_armed.fetch_add(1);
}

OpenGuard::~OpenGuard() {
    g_allowed.store(nullptr);
    // Never below zero: a report disarms every guard at once.
    int armed = g_armed.load();
    while (armed > 0 && !g_armed.compare_exchange_weak(armed, armed - 1)) {
    }
}

}  // namespace testsupport

using testsupport::Check;
using testsupport::ModeArgument;
using testsupport::Next;

extern "C" {

int open(const char* path, int flags, ...) {
    Check("open", path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    Check("open64", path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    static const auto next = Next<int (*)(const char*, int, ...)>("open64");
    return next(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    Check("openat", path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
    return next(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    Check("openat64", path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
    return next(dir, path, flags, mode);
}

// The fortified forms that libraries built with _FORTIFY_SOURCE call instead.
int __open_2(const char* path, int flags) {
    Check("open", path);
    static const auto next = Next<int (*)(const char*, int)>("__open_2");
    return next(path, flags);
}

int __open64_2(const char* path, int flags) {
    Check("open64", path);
    static const auto next = Next<int (*)(const char*, int)>("__open64_2");
    return next(path, flags);
}

FILE* fopen(const char* path, const char* mode) {
    Check("fopen", path);
    static const auto next = Next<FILE* (*)(const char*, const char*)>("fopen");
    return next(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    Check("fopen64", path);
    static const auto next = Next<FILE* (*)(const char*, const char*)>("fopen64");
    return next(path, mode);
}

DIR* opendir(const char* path) {
    Check("opendir", path);
    static const auto next = Next<DIR* (*)(const char*)>("opendir");
    return next(path);
}

int socket(int domain, int type, int protocol) noexcept {
    Check("socket", "");
    static const auto next = Next<int (*)(int, int, int)>("socket");
    return next(domain, type, protocol);
}

int connect(int fd, const struct sockaddr* address, socklen_t length) {
    Check("connect", "");
    static const auto next = Next<int (*)(int, const struct sockaddr*, socklen_t)>("connect");
    return next(fd, address, length);
}

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                struct addrinfo** result) {
    Check("getaddrinfo", node);
    static const auto next =
        Next<int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**)>("getaddrinfo");
    return next(node, service, hints, result);
}

}  // extern "C"
