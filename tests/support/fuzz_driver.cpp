// Runs a libFuzzer entry point over every file named on the command line (folders are walked), so the
// test suite exercises the fuzz targets on their seed corpus without libFuzzer itself.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void runOne(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (auto& e : std::filesystem::recursive_directory_iterator(p)) {
                if (e.is_regular_file()) {
                    runOne(e.path());
                    ++count;
                }
            }
        } else {
            runOne(p);
            ++count;
        }
    }
    std::printf("%d inputs run\n", count);
    return count > 0 ? 0 : 1;
}
