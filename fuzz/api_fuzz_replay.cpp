// Runs the API fuzzer's entry point on every file of a folder, in name order,
// without libFuzzer: the regression inputs of tests/data/fuzz/api run in the
// suite this way. A fault shows as a sanitizer report and a failed run.
#include <dirent.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        std::fprintf(stderr, "no inputs in %s\n", folder.c_str());
        return 1;
    }
    for (const std::string& name : names) {
        std::vector<uint8_t> bytes;
        FILE* file = std::fopen((folder + "/" + name).c_str(), "rb");
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", name.c_str());
            return 1;
        }
        uint8_t buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
        std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu inputs replayed\n", names.size());
    return 0;
}
