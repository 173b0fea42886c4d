// The workstation side's fuzz targets: the frame checker, the receive path over a pty, the data
// lines of a receiving transfer, the command words and dispatch, and the command-file reader.
#include "targets.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "check.h"
#include "fuzzline.h"
#include "keptinputs.h"
#include "ovfile.h"
#include "ovlib.h"
#include "ovmain.h"
#include "ovvar.h"
#include "words.h"

namespace fuzz {

namespace {

bool isblankchar(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool printable(const std::string& s) {
    for (char c : s)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

// A variable level of its own, empty, for one run; dropped with everything set in it.
struct FreshVars {
    FreshVars() {
        if (curlevel == nullptr) initvars();
        upvarlevel();
        clearvarlevel();
    }
    ~FreshVars() { downvarlevel(); }
};

int hexdigit(char c) {
    const char* digits = "0123456789abcdef";
    const char* at = c ? std::strchr(digits, std::tolower(static_cast<unsigned char>(c))) : nullptr;
    return at ? static_cast<int>(at - digits) : -1;
}

// What ends any reader of the link: a ready prompt, an acknowledgement and an intact frame.
std::string tail(const std::string& text) {
    std::string t;
    for (int i = 0; i < 3; ++i) t += ">\nO\n" + fuzzline::peerframe(text);
    return t;
}

}  // namespace

void frametarget(const uint8_t* data, std::size_t size) {
    const std::string line = bytes(data, size), text = line.substr(0, kMaxFrameText);
    std::string got, lenstr, chkstr;
    const FrameCheck check = ovunframe(line, &got, &lenstr, &chkstr);
    FUZZ_REQUIRE(lenstr.size() <= 3 && chkstr.size() <= 3);
    if (check == FrameCheck::kIntact)
        FUZZ_REQUIRE(got.size() <= kMaxFrameText && line.size() >= got.size() + 6 &&
                     line.compare(3, got.size(), got) == 0);
    const std::string frame = ovframe(text);
    FUZZ_REQUIRE(frame.size() == text.size() + 6);
    FUZZ_REQUIRE(ovunframe(frame, &got) == FrameCheck::kIntact && got == text);
    if (text.empty()) return;
    std::string spoiled = frame;  // any one changed byte of the text changes the sum
    spoiled[3 + text.size() / 2] ^= 0x5A;
    FUZZ_REQUIRE(ovunframe(spoiled, &got) == FrameCheck::kBadChecksum);
}

namespace {

// The organiser's reading of an inbound frame line, apart from the link's: the text when the
// fields are hexadecimal (or blank where the peer may pad), the text is there and the sum fits.
bool peerintact(const std::string& line, std::string* text) {
    auto field = [](char hi, char lo, bool padlo) {
        const int h = hi == ' ' ? 0 : hexdigit(hi), l = padlo && lo == ' ' ? 0 : hexdigit(lo);
        return h < 0 || l < 0 ? -1 : h * 16 + l;
    };
    const int n = line.size() < 3 ? -1 : field(line[1], line[2], false);
    if (n < 0 || line.size() < static_cast<std::size_t>(n) + 6) return false;
    unsigned sum = 0;
    for (int i = 0; i < n; ++i) sum += static_cast<unsigned char>(line[3 + i]);
    if (field(line[4 + n], line[5 + n], true) != static_cast<int>(sum & 0xFFu)) return false;
    *text = line.substr(3, static_cast<std::size_t>(n));
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

// When every line reaches the reader as sent (printable characters, which the line settings pass
// unchanged), the replies delivered must be exactly the intact frames, then the closing "XTAIL":
// a line too long for one read is refused whole, whatever frames it holds.
void receivetarget(const uint8_t* data, std::size_t size) {
    if (size == 0) return;
    if (curlevel == nullptr) initvars();
    const bool putfirst = (data[0] & 1) != 0;
    // Acknowledgements are read 10 bytes at a time, frame lines 1000.
    const std::string raw = boundedlines(bytes(data + 1, size - 1), putfirst ? 10 : 1000);
    std::vector<std::string> replies, expect;
    fuzzline::runonline(raw + "\n" + tail("XTAIL"), [&] {
        if (putfirst) ovputline("pp");
        std::string reply;
        do {
            ovresponse(reply);
            FUZZ_REQUIRE(reply.size() <= kMaxFrameText);
            replies.push_back(reply);
        } while (reply != "XTAIL");
    });
    if (putfirst) return;
    for (char c : raw)
        if (c != '\n' && (c < 0x20 || c > 0x7e)) return;
    for (const std::string& line : splitlines(raw)) {
        std::string text;
        if (line.size() >= 1000 || !peerintact(line, &text)) continue;  // too long: refused whole
        if (text == "XTAIL") return;
        expect.push_back(text);
    }
    expect.push_back("XTAIL");
    FUZZ_REQUIRE(replies == expect);
}

// Without line sums, when every line reaches the link as sent (printable) and none ends the data
// early, the file holds each whole pair of characters as a byte, read as hexadecimal up to the
// first character that is no digit (an odd last character ignored).
void datalinetarget(const uint8_t* data, std::size_t size) {
    if (size == 0 || fuzzline::scratchdir().empty()) return;
    const bool chk = (data[0] & 1) != 0, refuse = (data[0] & 2) != 0;
    const std::vector<std::string> lines =
        splitlines(boundedlines(bytes(data + 1, size - 1), 1000));
    std::string stream = ">\nO\n" + fuzzline::peerframe("XSTARTPUT") +
                         fuzzline::peerframe(refuse ? "XBADOPEN" : "XOK"),
                expect;
    bool predictable = !chk;
    for (const std::string& line : lines) {
        stream += fuzzline::peerframe(line) + (chk ? ">\nO\n" : "");  // and a verdict's
        const std::string sent = line.substr(0, kMaxFrameText);
        predictable = predictable && sent != "XE" && printable(sent);
        for (std::size_t i = 0; i + 1 < sent.size(); i += 2) {
            const int hi = hexdigit(sent[i]), lo = hexdigit(sent[i + 1]);
            expect.push_back(static_cast<char>(hi < 0 ? 0 : lo < 0 ? hi : hi * 16 + lo));
        }
    }
    stream += fuzzline::peerframe("XE") + fuzzline::peerframe("XENDPUT") + tail("XE");
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
    if (result == kDone)
        FUZZ_REQUIRE(access(target.c_str(), F_OK) == 0 &&
                     readbytes(target).size() == static_cast<std::size_t>(transct));
    if (result == kDone && predictable) FUZZ_REQUIRE(readbytes(target) == expect);
    unlink(target.c_str());
}

namespace {

const char* fakelookup(const std::string& name) {
    static const std::string longvalue(300, 'v');
    if (name == "a") return "x y";
    if (name.empty()) return "";
    if (name == "b") return "[c]";
    return name == "long" ? longvalue.c_str() : nullptr;
}

// Trimming drops blanks at the end only (never the first character); the words are the line's
// non-blank characters up to a NUL, in order, only the first and last possibly empty; expansion
// replaces "[name]" words by the value (quoted in a ! line), found or not at all.
void checkline(const std::string& line) {
    std::string trimmed = line;
    trimtrailing(trimmed);
    FUZZ_REQUIRE(line.compare(0, trimmed.size(), trimmed) == 0);
    FUZZ_REQUIRE(trimmed.size() <= 1 || !isblankchar(trimmed.back()));
    for (std::size_t i = trimmed.size(); i < line.size(); ++i) FUZZ_REQUIRE(isblankchar(line[i]));
    std::vector<std::string> words;
    std::size_t badlen = 0;
    const SplitResult split = splitwords(trimmed, words, &badlen);
    if (split == SplitResult::kWordTooLong) FUZZ_REQUIRE(badlen > kMaxWordLen);
    if (split != SplitResult::kOk) return;
    FUZZ_REQUIRE(!words.empty() && words.size() <= kMaxWords);
    std::string joined, expect;
    for (std::size_t i = 0; i < words.size(); ++i) {
        FUZZ_REQUIRE(words[i].size() <= kMaxWordLen);
        FUZZ_REQUIRE(!words[i].empty() || i == 0 || i + 1 == words.size());
        for (char c : words[i]) FUZZ_REQUIRE(c != '\0' && !isblankchar(c));
        joined += words[i];
    }
    for (std::size_t i = 0; i < trimmed.size() && trimmed[i] != '\0'; ++i)
        if (!isblankchar(trimmed[i])) expect += trimmed[i];
    FUZZ_REQUIRE(joined == expect);
    std::vector<std::string> out = words;
    std::string missing;
    const bool all = expandwords(out, fakelookup, missing);
    FUZZ_REQUIRE(out.size() == words.size());
    if (!all) {
        FUZZ_REQUIRE(fakelookup(missing) == nullptr);
        return;
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!words[i].starts_with("[")) {
            FUZZ_REQUIRE(out[i] == words[i]);
            continue;
        }
        const std::string value = fakelookup(bracketname(words[i]));  // quoted in a ! line
        FUZZ_REQUIRE(out[i] == (i > 0 && isshellline(out) ? shellword(value) : value));
    }
}

// Reads the input as typed lines of at most `maxlen` characters; checks each line.
void readlines(std::string in, std::size_t maxlen) {
    std::FILE* f = in.empty() ? nullptr : fmemopen(in.data(), in.size(), "r");
    std::string line;
    for (std::size_t guard = 0; f && guard <= in.size() + 1; ++guard) {
        const LineRead r = readcmdline(f, line, maxlen);
        if (r == LineRead::kEnd) break;
        if (r == LineRead::kTooLong) FUZZ_REQUIRE(line.empty());
        if (r == LineRead::kTooLong) continue;
        FUZZ_REQUIRE(!line.empty() && line.size() <= maxlen + 1);
        FUZZ_REQUIRE(line.find('\n') == std::string::npos || line.find('\n') == line.size() - 1);
        checkline(line);
    }
    if (f) std::fclose(f);
}

}  // namespace

void wordstarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size);
    checkline(in);
    readlines(in, 64);
    readlines(in, kMaxLineLen);
}

// Each line whose command (after the same trimming, splitting and expansion as cmdintr) needs no
// link and runs nothing outside the program; the level and the debug switches are kept.
void cmdintrtarget(const uint8_t* data, std::size_t size) {
    static const std::set<std::string> kAlone = {
        "echo",         "#",      "REM",    "Rem",  "setv",         "unsetv",
        "ifusetv",      "getenv", "printv", "vars", "specialvars1", "specialvars2",
        "specialvars3", "help",   "usage"};
    FreshVars vars;
    int* const switches[] = {&debugcall, &debugargs, &debuglink,
                             &debugpath, &debugrun,  &debugbackup};
    int kept[6];
    for (int i = 0; i < 6; ++i) kept[i] = *switches[i];
    const int keeplevel = level;
    std::size_t count = 0;
    for (const std::string& line : splitlines(bytes(data, size))) {
        if (++count > 64) break;
        std::string t = line, missing;
        trimtrailing(t);
        std::vector<std::string> words;
        if (splitwords(t, words) == SplitResult::kOk && expandwords(words, findvar, missing) &&
            !kAlone.count(words[0]))
            continue;
        const int r = cmdintr(line);
        FUZZ_REQUIRE(r == kDone || r == kFailed);
        FUZZ_REQUIRE(level == keeplevel);
        for (int i = 0; i < 6; ++i) *switches[i] = kept[i];
    }
    std::fflush(stdout);
}

// Each line read is the input's line (up to a NUL), or refused as starting with NUL.
void cmdfiletarget(const uint8_t* data, std::size_t size) {
    std::string in = bytes(data, size);
    const std::string copy = in;
    std::FILE* f = in.empty() ? nullptr : fmemopen(in.data(), in.size(), "r");
    std::string line;
    for (std::size_t pos = 0, guard = 0; f; ++guard) {  // pos: where the line just read began
        FUZZ_REQUIRE(guard <= copy.size() + 1);
        const CmdLineRead r = readovcmdline(f, line);
        if (r == CmdLineRead::kEnd || r == CmdLineRead::kTooLong) break;
        FUZZ_REQUIRE(r != CmdLineRead::kReadError);
        const std::size_t len = std::min(copy.find('\n', pos), copy.size()) - pos;
        FUZZ_REQUIRE(len <= kMaxCmdLine);
        if (r == CmdLineRead::kNulStart) FUZZ_REQUIRE(copy[pos] == '\0');
        if (r != CmdLineRead::kNulStart)
            FUZZ_REQUIRE(line.size() <= len && line.find('\0') == std::string::npos &&
                         copy.compare(pos, line.size(), line) == 0 &&
                         (line.size() == len || copy[pos + line.size()] == '\0'));
        pos += len + 1;
    }
    if (f) std::fclose(f);
}

}  // namespace fuzz
