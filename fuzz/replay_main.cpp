// Replays inputs through a fuzz target without libFuzzer: each file named on the
// command line (every file of a named directory), or standard input when none is
// named. A crash or trap points at the input that caused it.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void run(const std::string& bytes) {
    // A copy of its own, so that reads past the end show up under a sanitizer.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

bool replay_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << path << "\n";
        return false;
    }
    std::cerr << "replaying " << path << "\n";
    run(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        run(std::string(std::istreambuf_iterator<char>(std::cin),
                        std::istreambuf_iterator<char>()));
        return 0;
    }
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
                if (entry.is_regular_file(ec) && !replay_file(entry.path())) {
                    ++failures;
                }
            }
        } else if (!replay_file(path)) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
