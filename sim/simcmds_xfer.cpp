// File transfers of the simulated organiser: "gf" (the organiser gets a file from the
// workstation) and "pf" (the organiser puts a file to the workstation).
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "simresult.h"
#include "simulator.h"

namespace sim {

namespace {

constexpr size_t kBlock = 100;  // file bytes per data line

// Reads up to kBlock bytes; fewer only at the end of the file. A read error ends the data.
std::string read_block(int fd) {
    std::string block;
    char buf[kBlock];
    while (block.size() < kBlock) {
        const ssize_t n = read(fd, buf, kBlock - block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        block.append(buf, static_cast<size_t>(n));
    }
    return block;
}

bool write_block(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// Creates or truncates the file at the operand path. kDone with `fd`, or kFailed when the
// parent is missing or read-only, or the target is a directory or read-only.
int Simulator::open_for_get(int* fd) {
    FsEntry parent, e;
    if (fs_.place_for_new(path_, &parent, &e) != kDone) return kFailed;
    if (e.exists ? (e.is_dir() || e.read_only() || !S_ISREG(e.st.st_mode)) : parent.read_only()) {
        return kFailed;
    }
    *fd = open(e.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    return *fd >= 0 ? kDone : kFailed;
}

int Simulator::cm_gf(const std::string&) {
    int r = reply("XSTARTGET");
    if (r != kDone) return r;
    int fd = -1;
    if (open_for_get(&fd) != kDone) return reply("XBADOPEN");
    r = reply("XOK");
    if (r == kDone) r = receive_data(fd);
    close(fd);
    return r;
}

// The data lines of "gf" up to "XE"; with per-line sums each line gets "XG" or "XBAD".
int Simulator::receive_data(int fd) {
    for (;;) {
        int r = link_.send_prompt();
        std::string line;
        if (r != kDone || (r = read_frame(&line)) != kDone) return r;
        if (line == "XE") return reply("XENDGET");
        std::string bytes;
        bool good = decode_get_line(line, filechk_, &bytes);
        if (good && filechk_ && link_.faults().draw(FaultKind::kDataOut)) {
            ++link_.stats().dataout_bad;
            link_.note("fault dataout: good data line answered XBAD");
            good = false;
        }
        if (good && !write_block(fd, bytes)) {
            std::fprintf(stderr, "tavlin-sim: cannot write %s\n", path_.c_str());
        }
        if (!good && !filechk_) link_.note("undecodable data line skipped");
        if (filechk_ && (r = reply(good ? "XG" : "XBAD")) != kDone) return r;
    }
}

// Opens the file at the operand path for reading: kDone with `fd`, or kFailed when it is
// missing, a directory, not a regular file or without its owner read bit.
int Simulator::open_for_put(int* fd) {
    FsEntry e;
    if (fs_.find(path_, &e) != kDone || !S_ISREG(e.st.st_mode) || (e.st.st_mode & S_IRUSR) == 0) {
        return kFailed;
    }
    *fd = open(e.host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return *fd >= 0 ? kDone : kFailed;
}

int Simulator::cm_pf(const std::string&) {
    int r = reply("XSTARTPUT");
    if (r != kDone) return r;
    int fd = -1;
    if (open_for_put(&fd) != kDone) return reply("XBADOPEN");
    r = reply("XOK");
    if (r == kDone) r = send_data(fd);
    close(fd);
    return r;
}

int Simulator::send_data(int fd) {
    for (;;) {
        const std::string block = read_block(fd);
        if (block.empty()) break;
        const int r = send_block(block);
        if (r != kDone) return r;
    }
    const int r = reply("XE");
    return r == kDone ? reply("XENDPUT") : r;
}

// One data line; with per-line sums it is sent again until the workstation answers "G".
int Simulator::send_block(const std::string& block) {
    for (;;) {
        const bool spoil = filechk_ && link_.faults().draw(FaultKind::kDataIn);
        if (spoil) {
            ++link_.stats().datain_bad;
            link_.note("fault datain: data line sent with a wrong line sum");
        }
        std::string line = encode_put_line(block, filechk_, spoil);
        if (filechk_ && link_.quirks().pad_blank && line[0] == '0') line[0] = ' ';
        int r = reply(line);
        if (r != kDone || !filechk_) return r;
        std::string verdict;
        if ((r = link_.send_prompt()) != kDone || (r = read_frame(&verdict)) != kDone) return r;
        if (verdict != "B") return kDone;
    }
}

}  // namespace sim
