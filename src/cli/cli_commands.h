#pragma once

#include "cli/cli_args.h"
#include "cli/cli_prompts.h"
#include "ports/clock.h"
#include "ports/settings_store.h"

namespace tunalyx::cli {

// Exit status of every command: 0 done, 1 the operation failed, 2 bad usage.
enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct CliContext {
    SettingsStore& settings;
    Clock& clock;
    CliPrompts& prompts;
};

int runIdentify(const CliArgs& args, CliContext& ctx);
int runReadAll(const CliArgs& args, CliContext& ctx);
int runWriteAll(const CliArgs& args, CliContext& ctx);
int runUpdate(const CliArgs& args, CliContext& ctx);
int runConvert(const CliArgs& args, CliContext& ctx);
int runShow(const CliArgs& args, CliContext& ctx);
int runDiff(const CliArgs& args, CliContext& ctx);
int runLog(const CliArgs& args, CliContext& ctx);
int runRecover(const CliArgs& args, CliContext& ctx);
int runExportCsv(const CliArgs& args, CliContext& ctx);
int runAutoTune(const CliArgs& args, CliContext& ctx);
int runKnock(const CliArgs& args, CliContext& ctx);
int runDrive(const CliArgs& args, CliContext& ctx);
int runMapWatch(const CliArgs& args, CliContext& ctx);
int runScan(const CliArgs& args, CliContext& ctx);
int runSimulate(const CliArgs& args, CliContext& ctx);

// Usage text of the whole program.
const char* usageText();

}  // namespace tunalyx::cli
