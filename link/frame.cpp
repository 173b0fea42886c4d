// Frames on the line: building and checking them, sending a line until it is acknowledged,
// receiving a reply until an intact copy arrives, and the link's frame counters.
#include <cctype>
#include <cstdio>

#include "failure.h"
#include "linkio.h"
#include "ovlib.h"
#include "progress.h"

int devid = 0;
struct termios initial;
struct termios modified;
int transgood = 0, transbad = 0;
int recgood = 0, recbad = 0;
unsigned ovnamechanges = 0;

namespace {

// Prompt and acknowledgement lines are short; frame lines are read whole.
constexpr int kShortLine = 10;
constexpr int kFrameLine = 1000;

std::string hex2(int value) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%2.2X", value & 0xFF);
    return digits;
}

bool ishex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// A two-digit field as the debug lines show it: the "$" and the digits, blanks turned into
// "0" where the peer may pad. `padboth` allows a blank in the second digit as well.
std::string field(std::string_view line, std::size_t at, bool padboth) {
    std::string f(line.substr(at, 3));
    if (f.size() > 1 && f[1] == ' ') f[1] = '0';
    if (padboth && f.size() > 2 && f[2] == ' ') f[2] = '0';
    return f;
}

bool validfield(const std::string& f) {
    return f.size() == 3 && ishex(f[1]) && ishex(f[2]);
}

}  // namespace

// Appended piece by piece into one buffer: GCC 12 at -O3 takes the `"$" + hex2(...)` of a
// chain of + for a copy between overlapping buffers and warns.
std::string ovframe(std::string_view text) {
    int sum = 0;
    dochksum(&sum, text.data(), static_cast<int>(text.size()));
    std::string frame = "$";
    frame.reserve(text.size() + 6);
    frame.append(hex2(static_cast<int>(text.size()))).append(text).append("$").append(hex2(sum));
    return frame;
}

int idehex(const char* s) {
    calltrace(6, "CALL: idehex (OMITED)\n");
    int value = 0;
    for (int i = 0; i < 2 && ishex(s[i]); i++) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10);
    }
    return value;
}

FrameCheck ovunframe(std::string_view line, std::string* text, std::string* lenstr,
                     std::string* chkstr) {
    std::string len = field(line, 0, false);
    if (lenstr) *lenstr = len;
    if (text) text->clear();
    if (chkstr) chkstr->clear();
    if (!validfield(len)) return FrameCheck::kMalformed;
    std::size_t n = static_cast<std::size_t>(idehex(len.c_str() + 1));
    std::string_view body = line.substr(3, n);
    if (text) text->assign(body);
    if (body.size() < n) return FrameCheck::kMalformed;
    std::string chk = field(line, 3 + n, true);
    if (chkstr) *chkstr = chk;
    if (!validfield(chk)) return FrameCheck::kMalformed;
    int sum = 0;
    dochksum(&sum, body.data(), static_cast<int>(n));
    return sum == idehex(chk.c_str() + 1) ? FrameCheck::kIntact : FrameCheck::kBadChecksum;
}

int ovlinefits(const std::string& line) {
    if (line.size() <= kMaxFrameText) return 1;
    std::printf("ERROR: Command too long to send to the orvel (%zu characters, at most 255)\n",
                line.size());
    notefailure();
    return 0;
}

void ovcommand(const std::string& msg) {
    calltrace(3, "CALL: ovcommand (msg = %s)\n", msg.c_str());
    // Remove, make directory, change directory, receive a file: names seen before may be stale.
    if (msg == "rp" || msg == "md" || msg == "cd" || msg == "gf") ++ovnamechanges;
    // A quit still closes the organiser's side, whatever became of the output.
    if (msg != "dc") ovcheckoutput();
    ovputline(msg);
}

void ovputline(const std::string& str) {
    calltrace(4, "CALL: ovputline (str = :%s:)\n", str.c_str());
    ovputline1(str, 1);
}

namespace {

// Reads lines until the peer's ready prompt ">"; anything else is dropped.
void waitforprompt() {
    char buf[kShortLine];
    for (;;) {
        ovreadstr(buf, kShortLine);
        linkdebug("putline: got %c as sync char\n", "putline: got %c as sync char\n", buf[0]);
        if (buf[0] == '>') return;
    }
}

}  // namespace

void ovputline1(const std::string& str, int sync) {
    calltrace(4, "CALL: ovputline1 (str = :%s:)\n", str.c_str());
    if (sync == 1) waitforprompt();
    const std::string frame = ovframe(str);
    ovwritebytes(frame.data(), frame.size());
    linkdebug("Sent :%s:\n", "> %s\n", frame.c_str());
    char ack[kShortLine];
    for (int refused = 0;;) {
        ovreadstr(ack, kShortLine);
        if (ack[0] == 'O') break;
        if (++refused == kMaxRefusals) ovgiveupsend();
        ovwritebytes(frame.data(), frame.size());
        linkdebug("putline: Resent last block (%s)\n", "putline: Resent last block (%s)\n",
                  frame.c_str());
        transbad++;
    }
    transgood++;
    linkdebug("OK transmited (%s)\n", "OK transmited (%s)\n", frame.c_str());
}

namespace {

// Reads one inbound frame line, without its newline and a carriage return right before it.
// Returns false when the line did not end within the read (the rest of an overlong line is
// drained up to its newline); `line` then holds what was read.
bool readframeline(std::string& line) {
    char buf[kFrameLine];
    calltrace(3, "CALL: ovreadstr (string OMITED, count = %d)\n", kFrameLine);
    int n = ovreadraw(buf, kFrameLine);
    if (buf[n - 1] == '\n') {
        int end = n - 1;
        if (end > 0 && buf[end - 1] == '\r') --end;
        line.assign(buf, static_cast<std::size_t>(end));
        return true;
    }
    line.assign(buf, static_cast<std::size_t>(n));
    while (n == kFrameLine && buf[n - 1] != '\n') n = ovreadraw(buf, kFrameLine);
    return false;
}

// Reads frames until one is intact, answering each with "R" or "O"; returns its text.
std::string receiveframe() {
    for (int damaged = 0;;) {
        std::string line, text, lenstr, chkstr;
        bool whole = readframeline(line);
        FrameCheck check = ovunframe(line, &text, &lenstr, &chkstr);
        if (whole && check == FrameCheck::kIntact) {
            ovwritebytes("O", 1);
            linkdebug("Recieved datablock OK (lenstr = %s, msg = :%s: chkstr = %s)\n",
                      "Recieved datablock OK (lenstr = %s, msg = :%s:, chkstr = %s)\n",
                      lenstr.c_str(), text.c_str(), chkstr.c_str());
            return text;
        }
        if (++damaged == kMaxRefusals) ovgiveupreceive();
        recbad++;
        ovwritebytes("R", 1);
        linkdebug("Error on recieving data block (lenstr = %s, msg = :%s: chkstr = %s)\n",
                  "Error on recieving data block (lenstr = %s, msg = :%s: chkstr = %s)\n",
                  lenstr.c_str(), text.c_str(), chkstr.c_str());
    }
}

}  // namespace

void ovresponse(std::string& buf) {
    calltrace(3, "CALL ovresponse (OMITED)\n");
    buf = receiveframe();
    recgood++;
    linkdebug("Len %d, Got:%s:\n", nullptr, static_cast<int>(buf.size()), buf.c_str());
    linkdebug(nullptr, "< %s\n", buf.c_str());
}

void ovreply(const char* expected) {
    calltrace(3, "CALL: ovreply(expected = %s)\n", expected);
    std::string reply;
    ovresponse(reply);
    if (reply == expected) return;
    progressend();
    std::printf("ERROR, Protocol violation, expected (%s), got (%s), exiting\n", expected,
                reply.c_str());
    ovshutdown(1);
}

int ovquery(const char* expected) {
    calltrace(3, "CALL: ovquery(str = %s)\n", expected);
    std::string reply;
    ovresponse(reply);
    return reply == expected ? 1 : 0;
}
