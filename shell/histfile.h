// The history file of the interactive prompt, ~/.orvel_history: the last kHistoryMax lines
// that the prompt accepted, one a line, oldest first, readable and writable by the user alone.
// Only the prompt's editor uses it; nothing here runs a command or talks to the link.
#pragma once

#include <string>
#include <vector>

inline constexpr std::size_t kHistoryMax = 1000;

// $HOME/.orvel_history, or empty when HOME is unset or empty.
std::string historypath();

// True when `path` may be used: it does not exist yet, or it is a regular file of the user's
// with one link (a symbolic link or anything else is left alone).
bool historyusable(const std::string& path);

// The file's lines, at most the last kHistoryMax; lines holding a NUL byte or longer than a
// typed line may be are skipped. Empty when the file is missing or unreadable.
std::vector<std::string> historyload(const std::string& path);

// Adds `line` (no newline) at the end, keeping the last kHistoryMax lines: the file is written
// anew as a private temporary file beside it and renamed over it. Returns false, leaving the
// old file as it was, when that fails.
bool historyappend(const std::string& path, const std::string& line);
