// Regular files only, opened without waiting.
#include "inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>

UniqueFd openinput(const std::string& path, bool* notregular) {
    *notregular = false;
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return fd;
    struct stat st;
    if (fstat(fd.get(), &st) != 0) return UniqueFd();
    if (!S_ISREG(st.st_mode)) {
        *notregular = true;
        return UniqueFd();
    }
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags == -1 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) == -1) return UniqueFd();
    return fd;
}
