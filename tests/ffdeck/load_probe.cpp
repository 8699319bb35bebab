// Loads an add-on by path in a fresh process (so it binds to the host found next to it) and prints
// whether BASSplugin answers each of its faces 0, 1 and 2.
#include <dlfcn.h>

#include <cstdio>

#include "platform/bass/bass_addon.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    void* addon = dlopen(argv[1], RTLD_NOW);
    if (!addon) {
        std::printf("load failed: %s\n", dlerror());
        return 1;
    }
    auto* plugin = reinterpret_cast<BASSPLUGINPROC*>(dlsym(addon, "BASSplugin"));
    if (!plugin) return 1;
    for (DWORD face = 0; face <= 2; ++face)
        std::printf("%s%s", face ? " " : "", plugin(face) ? "answer" : "null");
    std::printf("\n");
    return 0;
}
