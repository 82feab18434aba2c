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

std::string usageProblem(const CliArgs& args, const CommandShape& shape) {
    const std::string& cmd = args.command;
    for (const auto& name : shape.required)
        if (args.options.count(name) == 0) return cmd + " needs " + name;
    for (auto it = args.options.begin(); it != args.options.end();
         it = args.options.upper_bound(it->first)) {
        const std::string& name = it->first;
        if (shape.repeatable.count(name)) continue;
        if (!shape.required.count(name) && !shape.optional.count(name))
            return cmd + " does not take " + name;
        if (args.options.count(name) > 1) return name + " given more than once";
    }
    for (const auto& flag : args.flags)
        if (flag != "--yes" && flag != "--no" && !shape.flags.count(flag))
            return cmd + " does not take " + flag;
    if (args.flag("--yes") && args.flag("--no")) return "--yes and --no contradict each other";
    if (args.positionals.size() > shape.positionals)
        return "unexpected argument '" + args.positionals[shape.positionals] + "'";
    if (args.positionals.size() < shape.positionals) return cmd + " needs " + shape.positionalNames;
    return {};
}

}  // namespace tunalyx::cli
