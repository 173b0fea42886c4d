// The workstation side's fuzz targets: the frame checker, the receive path over a pty, the data
// lines of a receiving transfer, the command words and dispatch, and the command-file reader.
#include "targets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "fuzzline.h"
#include "ovfile.h"
#include "ovlib.h"
#include "ovmain.h"
#include "ovvar.h"
#include "words.h"

namespace fuzz {

namespace {

std::string bytes(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input's lines, newlines removed; a last line without a newline counts.
std::vector<std::string> splitlines(const std::string& in) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < in.size()) {
        std::size_t end = in.find('\n', start);
        if (end == std::string::npos) end = in.size();
        lines.push_back(in.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool isblankchar(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

void ensurevars() {
    if (curlevel == nullptr) initvars();
}

// A variable level of its own, empty, for one run; dropped with everything set in it.
struct FreshVars {
    FreshVars() {
        ensurevars();
        upvarlevel();
        clearvarlevel();
    }
    ~FreshVars() { downvarlevel(); }
    FreshVars(const FreshVars&) = delete;
    FreshVars& operator=(const FreshVars&) = delete;
};

// ---- frame ---------------------------------------------------------------------------------

void checkinbound(const std::string& line) {
    std::string text, lenstr, chkstr;
    const FrameCheck check = ovunframe(line, &text, &lenstr, &chkstr);
    FUZZ_REQUIRE(lenstr.size() <= 3 && chkstr.size() <= 3);
    if (check != FrameCheck::kIntact) return;
    FUZZ_REQUIRE(text.size() <= kMaxFrameText);
    FUZZ_REQUIRE(line.size() >= text.size() + 6);
    FUZZ_REQUIRE(line.compare(3, text.size(), text) == 0);
}

void checkroundtrip(const std::string& text) {
    const std::string frame = ovframe(text);
    FUZZ_REQUIRE(frame.size() == text.size() + 6);
    std::string back;
    FUZZ_REQUIRE(ovunframe(frame, &back) == FrameCheck::kIntact && back == text);
    if (text.empty()) return;
    // Any one changed byte of the text changes the sum.
    std::string spoiled = frame;
    const std::size_t at = 3 + text.size() / 2;
    spoiled[at] = static_cast<char>(spoiled[at] ^ 0x5A);
    FUZZ_REQUIRE(ovunframe(spoiled, &back) == FrameCheck::kBadChecksum);
}

}  // namespace

void frametarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size);
    checkinbound(in);
    checkroundtrip(in.substr(0, kMaxFrameText));
}

// ---- receive and dataline ----------------------------------------------------------------

namespace {

// What ends any reader of the link: a ready prompt, an acknowledgement and an intact frame.
std::string tail(const std::string& text) {
    std::string t;
    for (int i = 0; i < 3; ++i) t += ">\nO\n" + fuzzline::peerframe(text);
    return t;
}

long filesize(const std::string& name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

}  // namespace

namespace {

int hexdigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A two-digit field, a blank allowed where the peer may pad; -1 when it is not hexadecimal.
int field(char hi, char lo, bool padlo) {
    const int h = hi == ' ' ? 0 : hexdigit(hi), l = padlo && lo == ' ' ? 0 : hexdigit(lo);
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

// The organiser's reading of one inbound frame line, apart from the link's: true with the text
// when the length and checksum fields are hexadecimal, the text is all there and the sum fits.
bool peerintact(const std::string& line, std::string* text) {
    if (line.size() < 3) return false;
    const int n = field(line[1], line[2], false);
    if (n < 0 || line.size() < static_cast<std::size_t>(n) + 6) return false;
    const int sum = field(line[4 + n], line[5 + n], true);
    unsigned computed = 0;
    for (int i = 0; i < n; ++i) computed += static_cast<unsigned char>(line[3 + i]);
    if (sum < 0 || static_cast<unsigned>(sum) != (computed & 0xFFu)) return false;
    *text = line.substr(3, static_cast<std::size_t>(n));
    return true;
}

// The replies that the link must deliver for `raw`, then the harness's closing "XTAIL". Set
// only when every line reaches the reader as sent and whole: printable characters, which the
// line settings pass unchanged, and lines short enough for one read.
bool expectedreplies(const std::string& raw, std::vector<std::string>* out) {
    for (char c : raw)
        if (c != '\n' && (c < 0x20 || c > 0x7e)) return false;
    out->clear();
    for (const std::string& line : splitlines(raw)) {
        std::string text;
        if (line.size() > 998) return false;
        if (peerintact(line, &text)) out->push_back(text);
    }
    for (const std::string& text : *out)
        if (text == "XTAIL") return false;
    out->push_back("XTAIL");
    return true;
}

// The longest head of the input, in whole lines, that the link reads in fewer than
// kMaxRefusals - 4 reads of at most `count` bytes: no run of damaged lines or pieces of lines,
// with the ready prompt and acknowledgement lines that may follow it, can then make the link
// give up, which would end the process.
std::string boundedlines(const std::string& in, std::size_t count) {
    std::size_t at = 0;
    for (int reads = 0; at < in.size();) {
        std::size_t end = in.find('\n', at);
        end = end == std::string::npos ? in.size() : end + 1;
        reads += static_cast<int>((end - at + count - 1) / count);
        if (reads >= kMaxRefusals - 4) break;
        at = end;
    }
    return in.substr(0, at);
}

}  // namespace

void receivetarget(const uint8_t* data, std::size_t size) {
    if (size == 0) return;
    ensurevars();
    const bool putfirst = (data[0] & 1) != 0;
    // Acknowledgements are read 10 bytes at a time, frame lines 1000.
    const std::string raw = boundedlines(bytes(data + 1, size - 1), putfirst ? 10 : 1000);
    std::vector<std::string> replies;
    fuzzline::runonline(raw + "\n" + tail("XTAIL"), [&] {
        if (putfirst) ovputline("pp");
        std::string reply;
        do {
            ovresponse(reply);
            FUZZ_REQUIRE(reply.size() <= kMaxFrameText);
            replies.push_back(reply);
        } while (reply != "XTAIL");
    });
    std::vector<std::string> expect;
    if (!putfirst && expectedreplies(raw, &expect)) FUZZ_REQUIRE(replies == expect);
}

namespace {

std::string datastream(const std::string& lines, bool chk, bool refuse) {
    std::string s = ">\nO\n" + fuzzline::peerframe("XSTARTPUT") +
                    fuzzline::peerframe(refuse ? "XBADOPEN" : "XOK");
    for (const std::string& line : splitlines(lines)) {
        s += fuzzline::peerframe(line);
        if (chk) s += ">\nO\n";  // the ready prompt and acknowledgement of the verdict
    }
    return s + fuzzline::peerframe("XE") + fuzzline::peerframe("XENDPUT") + tail("XE");
}

// What a transfer without line sums must write, decoded here apart from the link: each whole
// pair of characters is a byte, read as hexadecimal up to the first character that is not a
// digit; an odd last character is ignored. Set only when every line reaches the link as sent
// (printable characters, which the line settings pass unchanged) and none ends the data early.
bool expectedbytes(const std::string& lines, std::string* out) {
    out->clear();
    for (std::string line : splitlines(lines)) {
        line = line.substr(0, kMaxFrameText);
        if (line == "XE") return false;
        for (char c : line)
            if (c < 0x20 || c > 0x7e) return false;
        for (std::size_t i = 0; i + 1 < line.size(); i += 2) {
            const int hi = hexdigit(line[i]), lo = hexdigit(line[i + 1]);
            out->push_back(static_cast<char>(hi < 0 ? 0 : lo < 0 ? hi : hi * 16 + lo));
        }
    }
    return true;
}

std::string filebytes(const std::string& name) {
    std::string data;
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
        std::fclose(f);
    }
    return data;
}

}  // namespace

void datalinetarget(const uint8_t* data, std::size_t size) {
    if (size == 0 || fuzzline::scratchdir().empty()) return;
    const bool chk = (data[0] & 1) != 0, refuse = (data[0] & 2) != 0;
    const std::string lines = boundedlines(bytes(data + 1, size - 1), 1000);
    const std::string stream = datastream(lines, chk, refuse);
    const std::string target = fuzzline::scratchdir() + "/received";
    FreshVars vars;
    addvar("noprogress", "");
    const int keepchk = filechksum;
    filechksum = chk ? 1 : 0;
    int result = 0;
    fuzzline::runonline(stream, [&] { result = ovpfb(target); });
    filechksum = keepchk;
    FUZZ_REQUIRE(result == kDone || result == kFailed);
    FUZZ_REQUIRE(!refuse || result == kFailed);
    if (result == kDone) FUZZ_REQUIRE(filesize(target) == transct);
    std::string expect;
    if (result == kDone && !chk && expectedbytes(lines, &expect))
        FUZZ_REQUIRE(filebytes(target) == expect);
    unlink(target.c_str());
}

// ---- words -------------------------------------------------------------------------------

namespace {

const char* fakelookup(const std::string& name) {
    static const std::string longvalue(300, 'v');
    if (name == "a") return "x y";
    if (name.empty()) return "";
    if (name == "b") return "[c]";
    if (name == "long") return longvalue.c_str();
    return nullptr;
}

void checktrim(const std::string& line, const std::string& trimmed) {
    FUZZ_REQUIRE(trimmed.size() <= line.size());
    FUZZ_REQUIRE(line.compare(0, trimmed.size(), trimmed) == 0);
    FUZZ_REQUIRE(trimmed.size() <= 1 || !isblankchar(trimmed.back()));
    for (std::size_t i = trimmed.size(); i < line.size(); ++i) FUZZ_REQUIRE(isblankchar(line[i]));
}

// The words hold the line's non-blank characters (up to its first NUL), in order, and nothing
// else; only the first and the last word may be empty.
void checkwords(const std::string& line, const std::vector<std::string>& words) {
    FUZZ_REQUIRE(!words.empty() && words.size() <= kMaxWords);
    std::string joined, expect;
    for (std::size_t i = 0; i < words.size(); ++i) {
        FUZZ_REQUIRE(words[i].size() <= kMaxWordLen);
        FUZZ_REQUIRE(!words[i].empty() || i == 0 || i + 1 == words.size());
        for (char c : words[i]) FUZZ_REQUIRE(c != '\0' && !isblankchar(c));
        joined += words[i];
    }
    for (char c : line) {
        if (c == '\0') break;
        if (!isblankchar(c)) expect += c;
    }
    FUZZ_REQUIRE(joined == expect);
}

void checkexpand(const std::vector<std::string>& words) {
    std::vector<std::string> out = words;
    std::string missing;
    const bool all = expandwords(out, fakelookup, missing);
    FUZZ_REQUIRE(out.size() == words.size());
    if (!all) {
        FUZZ_REQUIRE(fakelookup(missing) == nullptr);
        return;
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i].empty() || words[i][0] != '[') {
            FUZZ_REQUIRE(out[i] == words[i]);
        } else {
            const std::string value = fakelookup(bracketname(words[i]));
            FUZZ_REQUIRE(out[i] == (i > 0 && isshellline(out) ? shellword(value) : value));
        }
    }
}

void checkline(const std::string& line) {
    std::string trimmed = line;
    trimtrailing(trimmed);
    checktrim(line, trimmed);
    std::vector<std::string> words;
    std::size_t badlen = 0;
    switch (splitwords(trimmed, words, &badlen)) {
        case SplitResult::kOk:
            checkwords(trimmed, words);
            checkexpand(words);
            break;
        case SplitResult::kWordTooLong:
            FUZZ_REQUIRE(badlen > kMaxWordLen);
            break;
        case SplitResult::kTooManyWords:
            break;
    }
}

// Reads the input as typed lines with a limit of `maxlen` characters; checks each line.
void readlines(std::string in, std::size_t maxlen) {
    if (in.empty()) return;
    std::FILE* f = fmemopen(in.data(), in.size(), "r");
    if (f == nullptr) return;
    std::string line;
    for (std::size_t guard = 0; guard <= in.size() + 1; ++guard) {
        const LineRead r = readcmdline(f, line, maxlen);
        if (r == LineRead::kEnd) break;
        if (r == LineRead::kTooLong) {
            FUZZ_REQUIRE(line.empty());
            continue;
        }
        FUZZ_REQUIRE(!line.empty() && line.size() <= maxlen + 1);
        FUZZ_REQUIRE(line.find('\n') == std::string::npos || line.find('\n') == line.size() - 1);
        checkline(line);
    }
    std::fclose(f);
}

}  // namespace

void wordstarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size);
    checkline(in);
    readlines(in, 64);
    readlines(in, kMaxLineLen);
}

// ---- cmdintr -----------------------------------------------------------------------------

namespace {

// Commands that neither need the link nor run anything outside the program.
bool runsalone(const std::string& name) {
    static const char* const kAlone[] = {"echo",         "#",      "REM",          "Rem",
                                         "setv",         "unsetv", "ifusetv",      "getenv",
                                         "printv",       "vars",   "specialvars1", "specialvars2",
                                         "specialvars3", "help",   "usage"};
    for (const char* a : kAlone)
        if (name == a) return true;
    return false;
}

// True when cmdintr would hand the line to a command that is not safe here: the same trimming,
// splitting and expansion as cmdintr, then a look at the command word.
bool dispatchesunsafe(const std::string& line) {
    std::string t = line;
    trimtrailing(t);
    std::vector<std::string> words;
    if (splitwords(t, words) != SplitResult::kOk) return false;
    std::string missing;
    if (!expandwords(words, findvar, missing)) return false;
    return !runsalone(words[0]);
}

// The debug switches that setv may turn on, put back after each line.
struct DebugState {
    int call = debugcall, args = debugargs, link = debuglink, path = debugpath, run = debugrun,
        backup = debugbackup;
    void restore() const {
        debugcall = call;
        debugargs = args;
        debuglink = link;
        debugpath = path;
        debugrun = run;
        debugbackup = backup;
    }
};

}  // namespace

void cmdintrtarget(const uint8_t* data, std::size_t size) {
    FreshVars vars;
    const DebugState debug;
    const int keeplevel = level;
    std::size_t count = 0;
    for (const std::string& line : splitlines(bytes(data, size))) {
        if (++count > 64) break;
        if (dispatchesunsafe(line)) continue;
        const int r = cmdintr(line);
        FUZZ_REQUIRE(r == kDone || r == kFailed);
        FUZZ_REQUIRE(level == keeplevel);
        debug.restore();
    }
    std::fflush(stdout);
}

// ---- cmdfile -----------------------------------------------------------------------------

void cmdfiletarget(const uint8_t* data, std::size_t size) {
    std::string in = bytes(data, size);
    if (in.empty()) return;
    std::FILE* f = fmemopen(in.data(), in.size(), "r");
    if (f == nullptr) return;
    const std::string copy = in;
    std::size_t pos = 0;  // where the line just read began
    std::string line;
    for (std::size_t guard = 0;; ++guard) {
        FUZZ_REQUIRE(guard <= copy.size() + 1);
        const CmdLineRead r = readovcmdline(f, line);
        if (r == CmdLineRead::kEnd || r == CmdLineRead::kTooLong) break;
        FUZZ_REQUIRE(r != CmdLineRead::kReadError);
        const std::size_t end = copy.find('\n', pos);
        const std::size_t len = (end == std::string::npos ? copy.size() : end) - pos;
        FUZZ_REQUIRE(len <= kMaxCmdLine);
        if (r == CmdLineRead::kNulStart) {
            FUZZ_REQUIRE(copy[pos] == '\0');
        } else {
            FUZZ_REQUIRE(line.size() <= len && line.find('\0') == std::string::npos);
            FUZZ_REQUIRE(copy.compare(pos, line.size(), line) == 0);
            FUZZ_REQUIRE(line.size() == len || copy[pos + line.size()] == '\0');
        }
        pos += len + 1;
    }
    std::fclose(f);
}

}  // namespace fuzz
