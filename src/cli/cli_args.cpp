#include "cli/cli_args.h"

namespace tunalyx::cli {

std::optional<std::string> CliArgs::option(const std::string& name) const {
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> CliArgs::all(const std::string& name) const {
    std::vector<std::string> out;
    for (auto [it, end] = options.equal_range(name); it != end; ++it)
        out.push_back(it->second);
    return out;
}

CliArgs parseCliArgs(const std::vector<std::string>& argv,
                     const std::set<std::string>& valueOptions, std::string& error) {
    CliArgs args;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a.rfind("--", 0) == 0 && a.size() > 2) {
            std::string name = a, value;
            const auto eq = a.find('=');
            const bool inlineValue = eq != std::string::npos;
            if (inlineValue) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            if (valueOptions.count(name)) {
                if (!inlineValue) {
                    if (i + 1 >= argv.size()) {
                        error = name + " needs a value";
                        return args;
                    }
                    value = argv[++i];
                }
                args.options.emplace(name, value);
            } else {
                args.flags.insert(a);
            }
        } else if (args.command.empty()) {
            args.command = a;
        } else {
            args.positionals.push_back(a);
        }
    }
    return args;
}

}  // namespace tunalyx::cli
