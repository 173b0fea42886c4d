// Sending files to the organiser ("gf"), the hexadecimal coding of file data, and the entry
// points of both transfer directions.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "failure.h"
#include "hooks.h"
#include "inputfile.h"
#include "ovlib.h"
#include "owned.h"
#include "progress.h"

int transct = 0;
int ftransgood = 0, ftransbad = 0;
int frecgood = 0, frecbad = 0;

namespace {

constexpr int kBlock = 100;  // file bytes per data line: 200 letters, 202 with the checksum

// Opens a local file to send; prints the error and holds nothing when it cannot be read or is
// no regular file (a FIFO or a device would block the program or never end).
UniqueFd openlocal(const std::string& fname, long* size) {
    bool notregular = false;
    UniqueFd fd = openinput(fname, &notregular);
    struct stat st;
    if (fd && fstat(fd.get(), &st) != 0) fd.reset();
    if (notregular) {
        std::printf("Error in puting %s, not a regular file\n", fname.c_str());
        notefailure();
    } else if (!fd) {
        std::printf("Error in puting %s, not found on local machine\n", fname.c_str());
        notefailure();
    } else {
        *size = static_cast<long>(st.st_size);
    }
    return fd;
}

// One data line: the letters of the block, after its checksum when checksums are on.
std::string dataline(const char* block, int n) {
    std::string line;
    line.reserve(2 * kBlock + 2);
    if (filechksum == 1) {
        int sum = 0;
        dochksum(&sum, block, n);
        char digits[3];
        std::snprintf(digits, sizeof digits, "%2.2X", sum);
        line = digits;
    }
    char pair[3];
    for (int i = 0; i < n; i++) {
        ovtoas(static_cast<unsigned char>(block[i]), pair);
        line.append(pair, 2);
    }
    return line;
}

// Sends one data line; with checksums on, again until the organiser answers "XG" (at most
// kMaxRefusals times).
void sendline(const std::string& line) {
    ovputline(line);
    if (filechksum != 1) return;
    std::string verdict;
    int refused = 0;
    for (ovresponse(verdict); verdict != "XG"; ovresponse(verdict)) {
        if (++refused == kMaxRefusals) ovgiveupsend();
        ovputline(line);
        linkdebug("putfile: Resent last block (%s)\n", "putfile: Resent last block (%s)\n",
                  line.c_str());
        ftransbad++;
    }
    ftransgood++;
}

void printsendhelp() {
    if (!linkvar("helpfull")) return;
    std::printf("HELP: Error in getting file from the orvel, cannot open it.\n");
    std::printf("HELP: Either the disk is full, there are to many files or the directory\n");
    std::printf("HELP: does not exist\n");
}

// Sends the data of an open local file (closed here) in blocks of exactly kBlock bytes, the
// last one shorter; returns false on a local read error, after ending the transfer properly.
// The file is read ahead in large pieces: one read per many blocks, not one per block.
bool senddata(UniqueFd fd) {
    std::vector<char> buf(kBlock * 64);
    std::size_t have = 0;
    bool readok = true, more = true;
    while (more || have > 0) {
        if (more && have < static_cast<std::size_t>(kBlock)) {
            ssize_t n = read(fd.get(), buf.data() + have, buf.size() - have);
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) {
                have += static_cast<std::size_t>(n);
                continue;
            }
            readok = readok && n == 0;
            more = false;
            continue;
        }
        int len = static_cast<int>(std::min(have, static_cast<std::size_t>(kBlock)));
        sendline(dataline(buf.data(), len));
        transct += len;
        progressupdate(transct);
        std::memmove(buf.data(), buf.data() + len, have - static_cast<std::size_t>(len));
        have -= static_cast<std::size_t>(len);
    }
    return readok;
}

// The sending transfer of an already opened local file.
int sendopen(UniqueFd fd, long size, const std::string& fname) {
    transct = 0;
    ovcommand("gf");
    ovreply("XSTARTGET");
    if (ovquery("XBADOPEN")) {
        printsendhelp();
        notefailure();
        return kFailed;
    }
    progressstart(fname, size);
    bool readok = senddata(std::move(fd));
    ovputline("XE");
    ovreply("XENDGET");
    progressend();
    if (readok) return kDone;
    std::printf("ERROR: Cant read %s, the transfer has failed\n", fname.c_str());
    notefailure();
    return kFailed;
}

}  // namespace

void ovtoas(unsigned char c, char out[3]) {
    calltrace(6, "CALL: ovtoas (OMITED)\n");
    out[0] = static_cast<char>('A' + (c >> 4));
    out[1] = static_cast<char>('A' + (c & 0x0F));
    out[2] = '\0';
}

unsigned char dehex(const char* s) {
    calltrace(6, "CALL: dehex (OMITED)\n");
    return static_cast<unsigned char>(idehex(s) & 0xFF);
}

int ovsendfile(const std::string& fname) {
    calltrace(3, "CALL: ovsendfile (fname = %s)\n", fname.c_str());
    ovgetfname();
    const std::string name = fname.empty() ? ovfname : fname;
    // The local file is opened first: when it is missing the organiser's copy stays.
    long size = -1;
    UniqueFd fd = openlocal(name, &size);
    if (!fd) return kFailed;
    ovclearfile();
    calltrace(3, "CALL: ovgf (fname = %s)\n", name.c_str());
    calltrace(3, "CALL: ovgfb(fname = %s)\n", name.c_str());
    return sendopen(std::move(fd), size, name);
}

int ovrecfile(const std::string& fname) {
    calltrace(3, "CALL: ovrecfile (fname = %s)\n", fname.c_str());
    if (!ovep()) return 0;
    if (!fname.empty()) return ovpf(fname);
    ovgetfname();
    return ovpf(ovfname);
}

int ovgf(const std::string& fname) {
    calltrace(3, "CALL: ovgf (fname = %s)\n", fname.c_str());
    return ovgfb(fname);
}

int ovpf(const std::string& fname) {
    calltrace(3, "CALL: ovpf (fname = %s)\n", fname.c_str());
    return ovpfb(fname);
}

int ovgfb(const std::string& fname) {
    calltrace(3, "CALL: ovgfb(fname = %s)\n", fname.c_str());
    transct = 0;
    long size = -1;
    UniqueFd fd = openlocal(fname, &size);
    if (!fd) return kFailed;
    return sendopen(std::move(fd), size, fname);
}
