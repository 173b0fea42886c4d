// The organiser's release: asked once per run, compared field by field, and the gates on it.
#include <cstdio>
#include <cstdlib>

#include "failure.h"
#include "ovlib.h"

std::string version = "X";
int dovsnchk = 1;

namespace {

const char* const kDefaultVersion = "2.3";
constexpr int kFields = 4;

// The four numeric fields of a release text; missing fields are 0.
void vsnfields(const std::string& text, long out[kFields]) {
    std::size_t start = 0;
    bool more = true;
    for (int i = 0; i < kFields; i++) {
        std::string field = more ? text.substr(start) : std::string();
        out[i] = std::strtol(field.c_str(), nullptr, 10);
        std::size_t dot = more ? text.find('.', start) : std::string::npos;
        if (dot == std::string::npos)
            more = false;
        else
            start = dot + 1;
    }
}

}  // namespace

const std::string& ovversion() {
    calltrace(3, "CALL: ovversion()\n");
    if (version.empty() || version[0] != 'X') return version;
    std::string reply;
    ovvn(reply);
    version = reply.empty() ? std::string() : reply.substr(1);
    // An organiser without "vn" answers "XBADCMD": it is taken to run the oldest release.
    if (!version.empty() && version[0] == 'B') ovsetdefvsn();
    return version;
}

void ovvn(std::string& buf) {
    calltrace(3, "CALL: ovvn(OMITED)\n");
    ovcommand("vn");
    ovresponse(buf);
}

void ovsetdefvsn() {
    calltrace(3, "CALL: ovsetdefvsn()\n");
    version = kDefaultVersion;
}

int vsncompare(const std::string& a, const std::string& b) {
    long fa[kFields], fb[kFields];
    vsnfields(a, fa);
    vsnfields(b, fb);
    for (int i = 0; i < kFields; i++) {
        if (fa[i] > fb[i]) return 1;
        if (fa[i] < fb[i]) return -1;
    }
    return 0;
}

int ovvsncmp(const std::string& vsstr) {
    calltrace(3, "CALL: ovvsncmp(vsstr = %s)\n", vsstr.c_str());
    return vsncompare(ovversion(), vsstr);
}

int ovvsnlt(const std::string& vsn) {
    calltrace(3, "CALL: ovvsnlt(vsn = %s)\n", vsn.c_str());
    return dovsnchk != 0 && ovvsncmp(vsn) == -1 ? 1 : 0;
}

int ovvsngt(const std::string& vsn) {
    calltrace(3, "CALL: ovvsngt(vsn = %s)\n", vsn.c_str());
    return dovsnchk != 0 && ovvsncmp(vsn) == 1 ? 1 : 0;
}

int ovvsneq(const std::string& vsn) {
    calltrace(3, "CALL: ovvsneq(vsn = %s)\n", vsn.c_str());
    return dovsnchk != 0 && ovvsncmp(vsn) == 0 ? 1 : 0;
}

void versiontolow(const char* function, const char* vsn, int fatal) {
    std::printf("Function %s requires version %s of tavlin, you have version %s\n", function, vsn,
                ovversion().c_str());
    std::printf("Please contact the orvel maintainers at your site\n");
    std::printf("for a later release of this software\n");
    if (fatal) {
        std::printf("THIS IS A FATAL INCOMPATIBILITY, program exiting\n");
        ovdc(kExitTooOld);
    }
    notefailure();
    std::printf("This is not a fatal problem, other functions may still work\n");
}
