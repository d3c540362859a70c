// Runs a fuzz target's LLVMFuzzerTestOneInput once over every file it is
// given, directly or inside the given directories (not recursing), the way
// libFuzzer does with -runs=0. The native build has no libFuzzer: this lets
// its ordinary test run replay the seed corpora and the regression cases.
// Arguments that start with '-' (libFuzzer's options) are ignored.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.string().c_str(), bytes.size());
    // A copy of exactly the input's size, so that a read past its end is
    // caught by the address sanitizer as it would be under libFuzzer.
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!arg.empty() && arg[0] == '-') continue;
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> inside;
            for (const auto& entry : std::filesystem::directory_iterator(arg, error))
                if (entry.is_regular_file()) inside.push_back(entry.path());
            std::sort(inside.begin(), inside.end());
            files.insert(files.end(), inside.begin(), inside.end());
        } else if (std::filesystem::is_regular_file(arg, error)) {
            files.emplace_back(arg);
        } else {
            std::fprintf(stderr, "replay: no such file or directory: %s\n", arg.c_str());
            ok = false;
        }
    }
    for (const auto& file : files) ok = replay(file) && ok;
    std::fprintf(stderr, "replay: %zu inputs run\n", files.size());
    return ok ? 0 : 1;
}
