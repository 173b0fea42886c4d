// The workstation side of a receive: data goes to a temporary file beside the target, which
// replaces the target only when the whole transfer has ended well, so a failed or refused
// transfer never damages an existing local file. No link traffic here.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "owned.h"

struct ReceiveFile {
    std::string target;  // the file that the data is for (a symbolic link resolved)
    std::string temp;    // the temporary file beside it, registered for removal at shutdown
    UniqueFd fd;         // open on the temporary file until the commit or the discard
    mode_t mode = 0;     // the mode the target ends up with
};

// Creates the temporary file for `name`. False (nothing created) when the target is a
// directory, exists but may not be written, or no file can be made in its directory.
bool recvopen(ReceiveFile& rf, const std::string& name);
// Appends bytes; false on a write error.
bool recvwrite(ReceiveFile& rf, const std::string& bytes);
// Writes all `size` bytes at `bytes` to `fd`, through short writes and interruptions; false on
// a write error (how much was written is then unknown).
bool writeall(int fd, const char* bytes, std::size_t size);
// Closes the temporary file and renames it over the target; false (temporary file removed,
// target untouched) when that fails.
bool recvcommit(ReceiveFile& rf);
// Closes and removes the temporary file; the target stays as it was.
void recvdiscard(ReceiveFile& rf);
