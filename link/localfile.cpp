// Receive files: a temporary file beside the target, renamed over it at the end.
#include "localfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "linkio.h"

namespace {

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

// A symbolic link is followed, so that the file it names gets the data, as a plain write
// through the link would have done.
std::string resolvetarget(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    std::unique_ptr<char, FreeDeleter> real(realpath(name.c_str(), nullptr));
    return real ? std::string(real.get()) : name;
}

std::string directoryof(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t defaultmode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0644 & ~mask;
}

}  // namespace

bool recvopen(ReceiveFile& rf, const std::string& name) {
    rf.target = resolvetarget(name);
    struct stat st;
    if (stat(rf.target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || access(rf.target.c_str(), W_OK) != 0) return false;
        rf.mode = st.st_mode & 07777;
    } else {
        rf.mode = defaultmode();
    }
    std::string dir = directoryof(rf.target);
    std::string pattern = (dir == "/" ? std::string() : dir) + "/.orvel-recv-XXXXXX";
    rf.fd.reset(mkostemp(pattern.data(), O_CLOEXEC));  // no child of a filter or `!` holds it
    if (!rf.fd) return false;
    rf.temp = pattern;
    ovsetpending(rf.temp);
    return true;
}

bool recvwrite(ReceiveFile& rf, const std::string& bytes) {
    return writeall(rf.fd.get(), bytes.data(), bytes.size());
}

bool writeall(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool recvcommit(ReceiveFile& rf) {
    bool ok = fchmod(rf.fd.get(), rf.mode) == 0;
    ok = rf.fd.close() == 0 && ok;
    ok = ok && rename(rf.temp.c_str(), rf.target.c_str()) == 0;
    if (!ok) {
        recvdiscard(rf);
        return false;
    }
    ovsetpending("");
    return true;
}

void recvdiscard(ReceiveFile& rf) {
    rf.fd.reset();
    ovremovepending();
}
