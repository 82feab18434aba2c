#pragma once

// The log file: its number forms, the writer, the reader and the CSV export, and where logs go.
#include <ctime>
#include <string>

#include "monitor/log_csv.h"
#include "monitor/log_numbers.h"
#include "monitor/log_reader.h"
#include "monitor/log_writer.h"
#include "ports/settings_store.h"

namespace tunalyx {

// "LogPath": the folder the log dialogs start in, the program's Logs folder until one is used.
[[nodiscard]] std::string logPath(const SettingsStore& store, const std::string& programFolder);
void rememberLogPath(SettingsStore& store, const std::string& chosenPath);
// The name the save dialog proposes, "Log_yyyymmdd_hhmm.txt", or "Log1.txt" for a time that
// cannot be written so.
[[nodiscard]] std::string defaultLogName(const std::tm& when);
// The same for the local time now.
[[nodiscard]] std::string defaultLogName();

}  // namespace tunalyx
