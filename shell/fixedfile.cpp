// Fixed names in /tmp: opened safely and locked; the names file held across a wildcard get.
#include "fixedfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "failure.h"

namespace {

// What is wrong with the open file `fd` for use as a fixed name, or null when nothing is.
const char* unsafebecause(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (st.st_uid != geteuid()) return "belongs to another user";
    if (st.st_nlink != 1) return "has other links";
    return nullptr;
}

// Takes the exclusive lock, retrying when a signal interrupts the wait.
int lockfile(int fd, bool wait) {
    int rc;
    do {
        rc = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// The names file's descriptor while this run holds it, and how many holds share it.
UniqueFd namesfd;
int namesholds = 0;

// A stream over a new descriptor for the held file, placed at its start.
FilePtr streamat0(const char* mode) {
    UniqueFd fd(fcntl(namesfd.get(), F_DUPFD_CLOEXEC, 0));
    if (!fd || lseek(fd.get(), 0, SEEK_SET) != 0) return nullptr;
    return fdstream(std::move(fd), mode);
}

}  // namespace

UniqueFd openfixedfile(const std::string& name, mode_t mode, bool wait, std::string& why) {
    // O_NONBLOCK: a FIFO planted at the name must not hold the open up.
    const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    UniqueFd fd(open(name.c_str(), flags, mode));
    if (!fd) {
        why = errno == ELOOP ? "is a symbolic link" : std::strerror(errno);
        return fd;
    }
    if (const char* bad = unsafebecause(fd.get())) {
        why = bad;
        return UniqueFd();
    }
    if (fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0 ||
        lockfile(fd.get(), wait) != 0) {
        why = errno == EWOULDBLOCK ? "is in use by another orvel" : std::strerror(errno);
        return UniqueFd();
    }
    return fd;
}

NamesFileHold::~NamesFileHold() {
    if (taken_ && --namesholds == 0) namesfd.reset();
}

bool NamesFileHold::take() {
    if (namesholds == 0) {
        std::string why;
        namesfd = openfixedfile(kNamesFile, 0600, true, why);
        if (!namesfd) {
            std::printf("ERROR: %s %s, not used\n", kNamesFile, why.c_str());
            notefailure();
            return false;
        }
    }
    ++namesholds;
    taken_ = true;
    return true;
}

FilePtr NamesFileHold::rewrite() const {
    if (ftruncate(namesfd.get(), 0) != 0) return nullptr;
    return streamat0("w");
}

FilePtr NamesFileHold::reread() const {
    return streamat0("r");
}

void NamesFileHold::discard() const {
    // When even this fails there is nothing more to do: the listing's failure is reported.
    if (taken_ && ftruncate(namesfd.get(), 0) != 0) return;
}
