#include "ports/whole_file.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tunalyx {

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

WholeFile readWholeFile(const std::string& path, std::uintmax_t largest) {
    namespace fs = std::filesystem;
    using Problem = WholeFile::Problem;
    std::error_code ec;
    const fs::path file(path);
    if (!fs::is_regular_file(file, ec)) return {Problem::CannotOpen, {}};
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!ec && size > largest) return {Problem::TooLarge, {}};
    std::ifstream in(file, std::ios::binary);
    if (!in) return {Problem::CannotOpen, {}};
    WholeFile result;
    try {
        // One byte more than the file should hold tells when it grew while being opened.
        const std::uintmax_t expected = ec ? largest : size;
        result.contents.assign(static_cast<std::size_t>(expected) + 1, '\0');
        in.read(result.contents.data(), static_cast<std::streamsize>(result.contents.size()));
        result.contents.resize(static_cast<std::size_t>(in.gcount()));
        if (in.bad() || result.contents.size() > expected) result = {Problem::CannotRead, {}};
    } catch (const std::exception&) {
        result = {Problem::CannotRead, {}};
    }
    return result;
}

std::optional<std::string> readWholeFile(UserPrompts& prompts, const std::string& path,
                                         std::uintmax_t largest,
                                         const WholeFileMessages& messages) {
    WholeFile file = readWholeFile(path, largest);
    switch (file.problem) {
        case WholeFile::Problem::None:
            return std::move(file.contents);
        case WholeFile::Problem::CannotOpen:
            prompts.tell(messages.cannotOpen, MessageIcon::Critical);
            break;
        case WholeFile::Problem::TooLarge:
            prompts.tell(messages.tooLarge, MessageIcon::Critical);
            break;
        case WholeFile::Problem::CannotRead:
            prompts.tell(messages.cannotRead, MessageIcon::Critical);
            break;
    }
    return std::nullopt;
}

}  // namespace tunalyx
