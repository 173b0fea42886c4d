// Receiving files from the organiser ("pf"): hexadecimal data lines, per-line verdicts when
// checksums are on, and a local file that is replaced only when the transfer has ended well.
#include <cstdio>

#include "failure.h"
#include "hooks.h"
#include "localfile.h"
#include "ovlib.h"
#include "progress.h"
#include "textutil.h"

namespace {

// Decodes the hexadecimal pairs of `line` from position `from`; an odd last character is
// ignored.
std::string decodepairs(const std::string& line, std::size_t from) {
    std::string bytes;
    for (std::size_t i = from; i + 1 < line.size(); i += 2)
        bytes.push_back(static_cast<char>(dehex(line.c_str() + i)));
    return bytes;
}

// With checksums on: answers "G" or "B" until a copy of the line checks, and returns its bytes;
// gives up after kMaxRefusals bad copies in a row.
std::string verifiedline(std::string& line) {
    for (int damaged = 0;;) {
        if (!line.empty() && line[0] == ' ') line[0] = '0';
        int expected = line.empty() ? 0 : idehex(line.c_str());
        std::string bytes = decodepairs(line, 2);
        int computed = 0;
        dochksum(&computed, bytes.data(), static_cast<int>(bytes.size()));
        int len = static_cast<int>(line.size());
        const char* msg = line.size() > 2 ? line.c_str() + 2 : "";
        if (computed == expected) {
            ovputline("G");
            linkdebug("Recieved file datablock OK (len = %d, msg = :%s: chk = %2.2X)\n",
                      "Recieved file datablock OK (len = %d, msg = :%s: chk = %2.2X)\n", len, msg,
                      expected);
            frecgood++;
            return bytes;
        }
        if (++damaged == kMaxRefusals) ovgiveupreceive();
        frecbad++;
        ovputline("B");
        linkdebug("Error Recieving file datablock (len = %d, msg = :%s: chk = %2.2X)\n",
                  "Error Recieving file datablock (len = %d, msg = :%s: chk = %2.2X)\n", len, msg,
                  expected);
        ovresponse(line);
    }
}

// Receives data lines up to "XE" into `rf`. After a write error the data is still read to the
// end, so that the link stays in step; returns false then.
bool receivedata(ReceiveFile& rf) {
    bool writeok = true;
    std::string line;
    for (ovresponse(line); line != "XE"; ovresponse(line)) {
        std::string bytes = filechksum == 1 ? verifiedline(line) : decodepairs(line, 0);
        if (writeok) writeok = recvwrite(rf, bytes);
        transct += static_cast<int>(bytes.size());
        progressupdate(transct);
    }
    return writeok;
}

}  // namespace

int ovpfb(const std::string& fname) {
    calltrace(3, "CALL: ovpfb (fname = %s)\n", fname.c_str());
    transct = 0;
    ReceiveFile rf;
    if (!recvopen(rf, fname)) {
        std::printf("ERROR: Cant open file (%s) to recieve the data\n", shown(fname).c_str());
        notefailure();
        return kFailed;
    }
    // The size is asked only for the progress line: without a terminal the wire stays as it was.
    long total = progresswanted() ? ovgetfsize() : -1;
    ovcommand("pf");
    ovreply("XSTARTPUT");
    if (ovquery("XBADOPEN")) {
        recvdiscard(rf);
        if (linkvar("helpfull")) std::printf("Error in put, cannot open the file on the orvel\n");
        notefailure();
        return kFailed;
    }
    progressstart(fname, total);
    bool writeok = receivedata(rf);
    ovquery("XENDPUT");  // read, not required
    progressend();
    if (writeok && recvcommit(rf)) return kDone;
    recvdiscard(rf);
    std::printf("ERROR: Cant write to %s, the transfer has failed\n", shown(fname).c_str());
    notefailure();
    return kFailed;
}
