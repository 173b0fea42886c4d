// Organiser files and directories: the operand path and one operation per remote command.
#include <cstdio>
#include <cstdlib>

#include "failure.h"
#include "hooks.h"
#include "ovlib.h"
#include "textutil.h"

std::string ovpath;
std::string ovfname;
int filechksum = 0;

namespace {

// Sends a command and returns its one reply.
std::string ask(const char* cmd) {
    ovcommand(cmd);
    std::string reply;
    ovresponse(reply);
    return reply;
}

// The value of a value reply: the decimal number after the one-character tag.
long replyvalue(const std::string& reply) {
    return reply.empty() ? 0 : std::strtol(reply.c_str() + 1, nullptr, 10);
}

}  // namespace

int attsfromreply(const std::string& reply) {
    auto has = [&reply](const char* word) { return reply.find(word) != std::string::npos; };
    int mask = 0;
    if (has("DIR"))
        mask = kAttDir;
    else if (has("TEXT"))
        mask = kAttText;
    else if (has("HIDDEN"))
        mask = kAttHidden;
    else if (has("SYSTEM"))
        mask = kAttSystem;
    else if (has("VOLUME"))
        mask = kAttVolume;
    if (!has("DIR")) mask |= kAttFile;
    return mask;
}

int ovsetpath(const std::string& path) {
    calltrace(3, "CALL: ovsetpath (path = %s)\n", path.c_str());
    if (path == ovpath) return kDone;
    return ovsp(path);
}

int ovsp(const std::string& path) {
    calltrace(3, "CALL: ovsp (path = %s)\n", path.c_str());
    const std::string line = "sp " + path;
    if (!ovlinefits(line)) return kFailed;
    ovpath = path;
    ovcommand(line);
    ovreply("XOK");
    return kDone;
}

int ispathset() {
    calltrace(3, "CALL: ispathset()\n");
    return static_cast<int>(ovpath.size());
}

void ovgetfname() {
    calltrace(3, "CALL: ovgetfname()\n");
    std::size_t slash = ovpath.rfind('\\');
    ovfname = slash == std::string::npos ? ovpath : ovpath.substr(slash + 1);
}

int ovep() {
    calltrace(3, "CALL: ovep()\n");
    ovcommand("ep");
    return ovquery("XYES");
}

void ovrp() {
    calltrace(3, "CALL: ovrp()\n");
    ovcommand("rp");
    if (ovquery("XOK")) return;
    std::printf("ERROR: Cant remove the file on the orvel\n");
    notefailure();
}

void ovclearfile() {
    calltrace(3, "CALL: ovclearfile()\n");
    if (ovep()) ovrp();
}

void ovmd() {
    calltrace(3, "CALL: ovmd()\n");
    ovcommand("md");
    ovquery("XOK");  // a failed "md" is silent: the caller finds out from what follows
}

void ovlp(FILE* out) {
    calltrace(3, "CALL: ovlp(OMITED)\n");
    ovcommand("lp");
    if (!ovquery("XSTARTLIST")) {
        notefailure();
        return;
    }
    for (;;) {
        std::string entry;
        ovresponse(entry);
        if (entry == "XENDLIST") return;
        if (entry == "XBADPATH") {
            if (linkvar("helpfull"))
                std::printf("HELP: Error in listing files, bad path specified\n");
            notefailure();
            return;
        }
        if (out)
            std::fprintf(out, "%s\n", entry.c_str());
        else
            std::printf("File :%s\n", shown(entry).c_str());
    }
}

long ovgetfsize() {
    calltrace(3, "CALL: ovgetfsize()\n");
    std::string reply = ask("sz");
    return reply == "XBADPATH" ? 0 : replyvalue(reply);
}

int ovgetrw() {
    calltrace(3, "CALL: ovgetrw()\n");
    std::string reply = ask("rw");
    if (reply == "XBADPATH") return -1;
    return reply == "XRW" ? 1 : 2;
}

int ovgetatts() {
    calltrace(3, "CALL: ovgetatts()\n");
    std::string reply = ask("ft");
    return reply == "XBADPATH" ? -1 : attsfromreply(reply);
}

long ovgetmodtime() {
    calltrace(3, "CALL: ovgetmodtime()\n");
    std::string reply = ask("ti");
    return reply == "XBADPATH" ? -1 : replyvalue(reply);
}

int ovcs() {
    calltrace(3, "CALL: ovcs()\n");
    std::string reply = ask("cs");  // the opening word, not examined
    ovresponse(reply);
    if (reply == "XBADOPEN") return -1;
    ovresponse(reply);
    if (reply == "XBADSUM") return -1;
    int sum = static_cast<int>(replyvalue(reply));
    calltrace(3, "INLINE: ovcs return string is :%s:\n", reply.c_str());
    calltrace(3, "INLINE: ovcs return value is %d\n", sum);
    ovresponse(reply);  // the closing word, not examined
    return sum;
}

void ovsetro() {
    calltrace(3, "CALL: ovsetro()\n");
    ask("wn");
}

void ovsetrw() {
    calltrace(3, "CALL: ovsetrw()\n");
    ask("wy");
}

void ovfc(int mode) {
    calltrace(3, "CALL: ovfc(mode = %d)\n", mode);
    ovcommand(mode == 1 ? "fc 1" : "fc 0");
    filechksum = mode == 1 ? 1 : 0;
    if (ovquery("XOK")) return;
    std::printf("Error in command ovfc\n");
    notefailure();
}

void ovgetpwd(std::string& buf) {
    calltrace(3, "CALL: ovgetpwd(OMITED)\n");
    std::string reply = ask("pp");
    buf = reply.empty() ? std::string() : reply.substr(1);
}

namespace {

// Sends "cd" for the directory `dir`, which gets a trailing backslash; true on "XOK".
// `failed` is set when the path line itself could not be sent.
bool changedir(const std::string& dir, bool* failed) {
    *failed = ovsetpath(dir + "\\") == kFailed;
    if (*failed) return false;
    ovcommand("cd");
    return ovquery("XOK") == 1;
}

int rcddevice() {
    char dev = ovpath[0];
    if (dev >= 'A' && dev <= 'Z') dev = static_cast<char>(dev - 'A' + 'a');
    if (dev != 'a' && dev != 'b' && dev != 'c' && dev != 'm') {
        std::printf("ERROR: Invalid devicename %s\n", shown(ovpath).c_str());
        notefailure();
        return kFailed;
    }
    bool failed = false;
    return changedir(ovpath, &failed) ? kDone : kFailed;
}

}  // namespace

int ovrcd() {
    calltrace(3, "CALL: ovrcd()\n");
    if (ovpath.size() == 2 && ovpath[1] == ':') return rcddevice();
    if (!ovep()) return kFailed;
    int atts = ovgetatts();
    if (atts < 0 || (atts & kAttDir) == 0) return kFailed;
    bool failed = false;
    if (changedir(ovpath, &failed)) return kDone;
    if (!failed) {
        std::printf("ERROR: remote command failed to set remote directory\n");
        notefailure();
    }
    return kFailed;
}

void ovdc(int status) {
    calltrace(3, "CALL: ovdc()\n");
    ovcommand("dc");
    ovreply("XDISCONNECTED");
    ovshutdown(status);
}

void ovvb() {
    calltrace(3, "CALL: ovvb()\n");
    ovcommand("vb");
    ovreply("XOK");
}
