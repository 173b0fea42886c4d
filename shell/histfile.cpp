// The history file of the interactive prompt.
#include "histfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "words.h"

std::string historypath() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::string();
    std::string path = home;
    if (path.back() != '/') path += '/';
    return path + ".orvel_history";
}

bool historyusable(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1;
}

std::vector<std::string> historyload(const std::string& path) {
    std::vector<std::string> lines;
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    std::FILE* f = fd < 0 ? nullptr : fdopen(fd, "r");
    if (!f) {
        if (fd >= 0) close(fd);
        return lines;
    }
    char* buf = nullptr;
    std::size_t cap = 0;
    ssize_t len;
    while ((len = getline(&buf, &cap, f)) > 0) {
        std::string line(buf, static_cast<std::size_t>(len));
        if (line.back() == '\n') line.pop_back();
        if (line.empty() || line.size() > kMaxLineLen || line.find('\0') != std::string::npos)
            continue;
        lines.push_back(std::move(line));
    }
    std::free(buf);
    std::fclose(f);
    if (lines.size() > kHistoryMax) lines.erase(lines.begin(), lines.end() - kHistoryMax);
    return lines;
}

bool historyappend(const std::string& path, const std::string& line) {
    std::vector<std::string> lines = historyload(path);
    lines.push_back(line);
    if (lines.size() > kHistoryMax) lines.erase(lines.begin(), lines.end() - kHistoryMax);
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    std::string temp = path + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) return false;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}
