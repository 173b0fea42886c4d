// Private temporary files: made with mkstemp under $TMPDIR (/tmp when it is unset or empty), so
// readable by this user alone and named by nobody else, and never left behind: removed when
// their owner lets them go, by ovshutdown, and by the line's ending signals. No link traffic.
#pragma once

#include <string>

#include "owned.h"

class TempFile {
  public:
    TempFile() = default;
    ~TempFile() { remove(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Makes a new, empty file "$TMPDIR/<stem>.XXXXXX" (a file made before is removed first).
    // False, with errno set and nothing made, when it cannot be made.
    bool make(const char* stem);
    // The file's name; empty while there is none.
    const std::string& name() const { return name_; }
    // A descriptor open for reading and writing on it; -1 while there is none.
    int fd() const { return fd_.get(); }
    // Closes and removes the file: 0, or -1 with errno set when the removal failed. The file is
    // forgotten either way; with no file, 0 and nothing done.
    int remove();

  private:
    std::string name_;
    UniqueFd fd_;
    int slot_ = -1;  // its place among the files removed on the way out, or -1
};

// Removes every temporary file still made. Async-signal-safe: only unlink on names held in
// storage set aside at load. ovshutdown and the line's ending signals call it.
void removetempfiles();
