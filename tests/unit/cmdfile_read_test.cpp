// Reading command-file lines: newlines, a last line without one, NUL bytes and the length limit.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "ovfile.h"

namespace {

// Reads a command file up to its end or first stop, and closes it; a line is itself, any other
// step is named in angle brackets.
std::vector<std::string> readall(FILE* f) {
    std::vector<std::string> steps;
    for (CmdLineRead r = CmdLineRead::kLine; f && r != CmdLineRead::kEnd && steps.size() < 100;) {
        std::string line;
        r = readovcmdline(f, line);
        const char* names[] = {nullptr, "<nul>", "<end>", "<toolong>", "<error>", "<nul inside>"};
        steps.push_back(r == CmdLineRead::kLine ? line : names[static_cast<int>(r)]);
        if (r == CmdLineRead::kTooLong || r == CmdLineRead::kReadError) break;
    }
    if (f) fclose(f);
    return steps;
}

TEST(CmdFileReadTest, LinesNulBytesTheLengthLimitAndReadErrors) {
    using V = std::vector<std::string>;
    const std::string fits = "echo " + std::string(kMaxCmdLine - 5, 'x');
    const struct {
        std::string bytes;
        V steps;
    } cases[] = {
        {"echo a\necho b\n", {"echo a", "echo b", "<end>"}},
        {"echo a\necho bc", {"echo a", "echo bc", "<end>"}},  // the last character stays
        {"\n\nx\n", {"", "", "x", "<end>"}},
        {"", {"<end>"}},
        {"echo a\r\n", {"echo a\r", "<end>"}},  // left for the trim
        {std::string("echo a\n\0echo b\necho c\n", 22), {"echo a", "<nul>", "echo c", "<end>"}},
        {std::string("echo ab\0cd\nx\n", 13), {"<nul inside>", "x", "<end>"}},
        {fits + "\nnext\n", {fits, "next", "<end>"}},
        {fits, {fits, "<end>"}},
        {"first\n" + fits + "x\nnext\n", {"first", "<toolong>"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 20));
        std::string bytes = c.bytes;
        EXPECT_EQ(readall(fmemopen(bytes.data(), bytes.size(), "r")), c.steps);
    }
    EXPECT_EQ(readall(fopen("/", "r")), V{"<error>"});  // a directory opens, but no read works
}

}  // namespace
