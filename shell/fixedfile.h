// The two fixed names in /tmp that other programs (or a later command file) may know: the names
// file of a wildcard get, "/tmp/filenames", and the default log, "/tmp/orvel.log". A fixed name
// is opened without following a symbolic link and without waiting on a FIFO, used only when it
// is a regular file of this user with no other link, and locked exclusively while in use, so
// that two runs take turns instead of mixing their data. No link traffic.
#pragma once

#include <sys/types.h>

#include <string>

#include "owned.h"

// The names file of a wildcard get; command files may read it afterwards.
inline constexpr const char* kNamesFile = "/tmp/filenames";

// Opens the fixed name `name` for reading and writing (created with `mode` when missing) and
// locks it exclusively: waiting for another run's lock when `wait`, else failing at once. The
// file is not emptied. Returns the locked descriptor; on failure none, with `why` set to what
// is wrong ("is a symbolic link", "belongs to another user", ...), and nothing created but a
// missing file.
UniqueFd openfixedfile(const std::string& name, mode_t mode, bool wait, std::string& why);

// Holds the names file for this run while the object lives: taken with openfixedfile (waiting
// for another run to finish with it), released when the last hold in this run goes. Holds
// nested in one run (a wildcard get's own `list` and `foreach`) share the descriptor and lock.
class NamesFileHold {
  public:
    NamesFileHold() = default;
    ~NamesFileHold();
    NamesFileHold(const NamesFileHold&) = delete;
    NamesFileHold& operator=(const NamesFileHold&) = delete;

    // Takes the hold: true, or false with "ERROR: /tmp/filenames %s, not used" printed (a
    // failure of the command) when the file may not be used. Call once.
    bool take();
    // A new stream on the emptied file, for writing a listing; null when it cannot be made.
    FilePtr rewrite() const;
    // A new stream on the file from its start, for reading; null when it cannot be made.
    FilePtr reread() const;
    // Empties the file when this hold was taken, so that a listing cut short is not left for a
    // later reader.
    void discard() const;

  private:
    bool taken_ = false;
};
