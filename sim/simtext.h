// Small text helpers of the simulated organiser: case folding, the `*` glob that both file
// listings and process patterns use, tagged value replies, and the C escaping of trace records.
// Pure functions only.
#pragma once

#include <string>

namespace sim {

// ASCII lower-casing; other bytes are left as they are.
std::string lower_ascii(const std::string& s);

// Case-insensitive ASCII equality.
bool equal_ci(const std::string& a, const std::string& b);

// True when `name` matches `pattern`, case-insensitively, where `*` matches any run of bytes
// (also none) and every other byte matches itself.
bool glob_match_ci(const std::string& pattern, const std::string& name);

// A value reply: the tag character followed by the value ("S1234", "PM:\\DOCS").
std::string tagged(char tag, const std::string& value);

// Escapes bytes for a one-line trace record: printable ASCII as is except the backslash;
// "\\", "\n", "\r" and "\xHH" for everything else.
std::string c_escape(const std::string& bytes);

}  // namespace sim
