// Ownership shared by every layer: UniqueFd and FilePtr hold a descriptor or a stream and close
// it on every way out of the scope that owns it, and releasechain frees a list whose entries own
// the next one. Header only; nothing here talks to the serial line.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

// Owns one descriptor (-1: none) and closes it when destroyed or reset. Movable, not copyable.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it; the holder is left empty.
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor held, if any, and holds `fd` instead.
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now, for a caller that must know: 0, or -1 with errno set (0 when nothing was held).
    int close() {
        int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc;
    }

  private:
    int fd_ = -1;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
// Owns one stream (null: none) and closes it with fclose.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Closes the stream held now, for a caller that must know whether everything written to it
// reached the file: true when every write, the last flush and the close succeeded (true when
// nothing is held). Leaves `f` null either way.
inline bool closestream(FilePtr& f) {
    std::FILE* raw = f.release();
    if (raw == nullptr) return true;
    bool ok = std::fflush(raw) == 0 && !std::ferror(raw);
    return std::fclose(raw) == 0 && ok;
}

// A stream over `fd` that from then on owns the descriptor; null, with the descriptor closed,
// when `fd` holds none or fdopen fails.
inline FilePtr fdstream(UniqueFd fd, const char* mode) {
    if (!fd) return nullptr;
    FilePtr f(fdopen(fd.get(), mode));
    if (f) fd.release();
    return f;
}

// Frees a list whose entries own the next one through `next`, one entry at a time, so that a
// long list is not freed by a recursion as deep as the list is long. Leaves `head` null.
template <class Entry>
void releasechain(std::unique_ptr<Entry>& head) {
    while (head) head = std::move(head->next);
}
