// The file-system words of the simulated organiser: each acts on the operand path set by "sp".
#include <fcntl.h>
#include <unistd.h>

#include "simresult.h"
#include "simtext.h"
#include "simulator.h"

namespace sim {

namespace {

// The last name of an entry as stored (empty for a drive root).
std::string last_name(const FsEntry& e) {
    return e.names.empty() ? "" : e.names.back();
}

bool ends_with_ci(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && equal_ci(s.substr(s.size() - tail.size()), tail);
}

// Opens a regular file for reading without following links or blocking on special files.
// A file without its owner read bit counts as unreadable even for a privileged simulator.
int open_regular(const FsEntry& e) {
    if (!e.exists || !S_ISREG(e.st.st_mode) || (e.st.st_mode & S_IRUSR) == 0) return -1;
    return open(e.host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// Reads the whole file into `sum` and `text` (all bytes printable ASCII, tab, CR or LF).
// False on a read error.
bool scan_file(int fd, int* sum, bool* text) {
    unsigned s = 0;
    bool printable = true;
    char buf[8192];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(buf[i]);
            s = (s + c) & 0xFF;
            if (!((c >= 0x20 && c < 0x7f) || c == '\t' || c == '\r' || c == '\n')) {
                printable = false;
            }
        }
    }
    *sum = static_cast<int>(s);
    *text = printable;
    return true;
}

}  // namespace

int Simulator::cm_sp(const std::string& arg) {
    path_ = arg;  // any path is taken; a bad one shows in the command that uses it
    return reply("XOK");
}

int Simulator::cm_ep(const std::string&) {
    FsEntry e;
    return reply(fs_.find(path_, &e) == kDone ? "XYES" : "XNO");
}

int Simulator::cm_rp(const std::string&) {
    FsEntry e, parent, place;
    if (fs_.find(path_, &e) != kDone || e.names.empty() || e.read_only() ||
        fs_.place_for_new(path_, &parent, &place) != kDone || parent.read_only()) {
        return reply("XBADPATH");
    }
    const int r = e.is_dir() ? rmdir(e.host.c_str()) : unlink(e.host.c_str());
    return reply(r == 0 ? "XOK" : "XBADPATH");
}

int Simulator::cm_md(const std::string&) {
    FsEntry parent, e;
    if (fs_.place_for_new(path_, &parent, &e) != kDone || e.exists || parent.read_only() ||
        mkdir(e.host.c_str(), 0755) != 0) {
        return reply("XBADPATH");
    }
    return reply("XOK");
}

std::string listing_key(const std::string& path) {
    std::string key = lower_ascii(path);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

// A fixed listing stands in for the folder's own, so that tests can be served names that no
// host folder could hold.
int Simulator::cm_lp(const std::string&) {
    std::vector<std::string> entries;
    const auto fixed = config_.listings.find(listing_key(path_));
    const bool ok = fixed != config_.listings.end() || fs_.list(path_, &entries) == kDone;
    if (fixed != config_.listings.end()) entries = fixed->second;
    int r = reply("XSTARTLIST");
    if (r != kDone) return r;
    if (!ok) return reply("XBADPATH");
    for (const std::string& entry : entries) {
        if ((r = reply(entry)) != kDone) return r;
    }
    return reply("XENDLIST");
}

int Simulator::cm_sz(const std::string&) {
    FsEntry e;
    if (fs_.find(path_, &e) != kDone) return reply("XBADPATH");
    const long long size = e.is_dir() ? 0 : static_cast<long long>(e.st.st_size);
    return reply(tagged('S', std::to_string(size)));
}

int Simulator::cm_rw(const std::string&) {
    FsEntry e;
    if (fs_.find(path_, &e) != kDone) return reply("XBADPATH");
    return reply(e.read_only() ? "XRO" : "XRW");
}

int Simulator::cm_ft(const std::string&) {
    FsEntry e;
    if (fs_.find(path_, &e) != kDone) return reply("XBADPATH");
    if (e.is_dir()) return reply("XDIR");
    std::string words = "XFILE";
    int sum = 0;
    bool text = false;
    const int fd = open_regular(e);
    if (fd >= 0) {
        if (!scan_file(fd, &sum, &text)) text = false;
        close(fd);
    }
    const std::string name = last_name(e);
    if (text) words += " TEXT";
    if (!name.empty() && name[0] == '.') words += " HIDDEN";
    if (ends_with_ci(name, ".sys")) words += " SYSTEM";
    return reply(words);
}

int Simulator::cm_ti(const std::string&) {
    FsEntry e;
    if (fs_.find(path_, &e) != kDone) return reply("XBADPATH");
    return reply(tagged('T', std::to_string(static_cast<long long>(e.st.st_mtime))));
}

int Simulator::set_write_bit(bool writable) {
    FsEntry e;
    if (fs_.find(path_, &e) != kDone) return reply("XBADPATH");
    const mode_t mode = writable ? (e.st.st_mode | S_IWUSR) : (e.st.st_mode & ~S_IWUSR);
    return reply(chmod(e.host.c_str(), mode & 07777) == 0 ? "XOK" : "XBADPATH");
}

int Simulator::cm_wn(const std::string&) {
    return set_write_bit(false);
}

int Simulator::cm_wy(const std::string&) {
    return set_write_bit(true);
}

int Simulator::cm_cd(const std::string&) {
    return reply(fs_.change_dir(path_) == kDone ? "XOK" : "XBADPATH");
}

int Simulator::cm_pp(const std::string&) {
    return reply(tagged('P', fs_.cwd()));
}

int Simulator::cm_cs(const std::string&) {
    FsEntry e;
    int r = reply("XSTARTSUM");
    if (r != kDone) return r;
    const int fd = fs_.find(path_, &e) == kDone ? open_regular(e) : -1;
    if (fd < 0) return reply("XBADOPEN");
    int sum = 0;
    bool text = false;
    const bool ok = scan_file(fd, &sum, &text);
    close(fd);
    if ((r = reply("XOK")) != kDone) return r;
    if (!ok) return reply("XBADSUM");
    if (link_.faults().draw(FaultKind::kSum)) {
        ++link_.stats().sum_lies;
        link_.note("fault sum: answered " + std::to_string((sum + 1) & 0xFF) + " for " +
                   std::to_string(sum));
        sum = (sum + 1) & 0xFF;
    }
    if ((r = reply(tagged('C', std::to_string(sum)))) != kDone) return r;
    return reply("XENDSUM");
}

}  // namespace sim
