// Command files: the search along a ":"-separated path, the line reader, and the rc file.
#include "ovfile.h"

#include <cstdio>
#include <string>

#include "failure.h"
#include "hooks.h"
#include "inputfile.h"
#include "ovvar.h"
#include "owned.h"
#include "trace.h"

namespace {

const char kSuffix[] = ".ovcmd";
const std::size_t kSuffixLength = sizeof kSuffix - 1;
// A candidate longer than the system's PATH_MAX cannot be opened; it is reported, not tried.
constexpr std::size_t kMaxCandidate = 4095;

// 1 when `cand` is short enough to try and names a readable file.
int trycandidate(const std::string& cand) {
    if (cand.size() > kMaxCandidate) {
        std::printf("Error, command file path too long (%zu characters, at most %zu), not tried\n",
                    cand.size(), kMaxCandidate);
        notefailure();
        return 0;
    }
    return ovcmdexists(cand);
}

// Copies the path element that starts at `pos` (up to the next ":" or the end), moving `pos`
// onto the ":" or the end.
std::string pathelement(const std::string& path, std::size_t& pos) {
    std::string elem;
    while (pos < path.size() && path[pos] != ':') {
        if (debugpath) std::printf("scanning path, %c\n", path[pos]);
        elem += path[pos++];
    }
    return elem;
}

// Searches each element of `path` in turn; an empty element ends the search.
int searchpath(const std::string& ovcmd, const std::string& path, std::string& res) {
    std::size_t pos = 0;
    for (;;) {
        if (debugpath) std::printf("New path = -%s-\n", path.c_str() + pos);
        std::string cand = pathelement(path, pos);
        if (cand.empty()) return 0;
        cand += "/" + ovcmd + kSuffix;
        if (trycandidate(cand)) {
            res = cand;
            return 1;
        }
        if (pos >= path.size()) return 0;
        ++pos;  // past the ":"
    }
}

}  // namespace

// The open never waits, so a FIFO or a device found on the way cannot block the search; it ends
// it, and the file is refused when it is to be read.
int ovcmdexists(const std::string& path) {
    calltrace(1, "CALL: ovcmdexists (path = %s)\n", path.c_str());
    if (debugpath) std::printf("Path, trying :%s:\n", path.c_str());
    bool notregular = false;
    return openinput(path, &notregular) || notregular ? 1 : 0;
}

int ovcmdpath(const std::string& ovcmd, const char* path, std::string& res) {
    calltrace(1, "CALL: ovcmdpath (ovcmd = %s, path = %s, res = %s)\n", ovcmd.c_str(),
              path ? path : "(null)", res.c_str());
    if (!ovcmd.empty() && ovcmd[0] == '/') {
        const std::string cand = ovcmd + kSuffix;
        if (!trycandidate(cand)) return 0;
        res = cand;
        return 1;
    }
    if (!path) return 0;
    return searchpath(ovcmd, path, res);
}

void runrc() {
    calltrace(1, "CALL: runrc\n");
    std::string rcpath = ".";
    if (const char* home = findvar("HOME")) rcpath += std::string(":") + home;
    if (debugpath) std::printf("Runrc path = -%s-\n", rcpath.c_str());
    std::string found;
    if (!ovcmdpath(".ovrc", rcpath.c_str(), found)) return;
    // `source` searches again for the name it is given, without the suffix.
    found.resize(found.size() - kSuffixLength);
    dispatchwords({"source", found});
}

CmdLineRead readovcmdline(std::FILE* f, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::getc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() == kMaxCmdLine) return CmdLineRead::kTooLong;
        line += static_cast<char>(c);
    }
    if (std::ferror(f)) return CmdLineRead::kReadError;
    if (!any) return CmdLineRead::kEnd;
    const std::size_t nul = line.find('\0');
    if (nul == 0) return CmdLineRead::kNulStart;
    if (nul == std::string::npos) return CmdLineRead::kLine;
    line.resize(nul);
    return CmdLineRead::kNulInside;
}
