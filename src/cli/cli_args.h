#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tunalyx::cli {

// `tunalyx-cli <command> [--option value]... [--flag]... [positional]...`
struct CliArgs {
    std::string command;
    std::multimap<std::string, std::string> options;  // "--port" -> "/dev/pts/3"
    std::set<std::string> flags;                      // "--yes"
    std::vector<std::string> positionals;

    [[nodiscard]] std::optional<std::string> option(const std::string& name) const;
    [[nodiscard]] std::vector<std::string> all(const std::string& name) const;
    [[nodiscard]] bool flag(const std::string& name) const { return flags.count(name) != 0; }
};

// Options that take a value; everything else starting with "--" is a flag.
// Returns an error text in `error` for an option without its value.
[[nodiscard]] CliArgs parseCliArgs(const std::vector<std::string>& argv,
                                   const std::set<std::string>& valueOptions, std::string& error);

// What one command accepts besides the answer flags --yes and --no.
struct CommandShape {
    std::set<std::string> required{};    // options given exactly once
    std::set<std::string> optional{};    // options given at most once
    std::set<std::string> repeatable{};  // options given any number of times
    std::set<std::string> flags{};
    std::size_t positionals = 0;  // exactly this many
    const char* positionalNames = "";
};

// Why the arguments do not fit the command ("update needs --base"), empty when they do.
[[nodiscard]] std::string usageProblem(const CliArgs& args, const CommandShape& shape);

}  // namespace tunalyx::cli
