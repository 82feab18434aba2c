// Runs a fuzz target over files and folders of inputs without libFuzzer, so that any compiler
// (and CI) replays the corpora.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << file << "\n";
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    // A copy of exactly the input's size, so that a read past its end is caught by ASan.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.data(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " FILE|FOLDER...\n";
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
                if (!entry.is_regular_file()) continue;
                if (!replay(entry.path())) return 1;
                ++replayed;
            }
        } else if (!replay(path)) {
            return 1;
        } else {
            ++replayed;
        }
        if (ec) {
            std::cerr << "cannot list " << path << ": " << ec.message() << "\n";
            return 1;
        }
    }
    // An empty or misnamed corpus would pass without testing anything.
    if (replayed == 0) {
        std::cerr << "no inputs found\n";
        return 1;
    }
    std::cout << replayed << " inputs replayed\n";
    return 0;
}
