// Opening a workstation file that is to be read whole: the rc file, a command file, the file
// that a put sends or a sum reads. A FIFO, a device or a folder in its place would block the
// program or never end, so only a regular file is taken, and the open itself never waits.
// No link traffic; nothing is printed here.
#pragma once

#include <string>

#include "owned.h"

// Opens `path` for reading without waiting (O_NONBLOCK, O_NOCTTY, O_CLOEXEC), checks with fstat
// that it is a regular file, and only then clears O_NONBLOCK. Returns the descriptor; or none,
// with `*notregular` true when the path opened but is no regular file, false when it could not
// be opened (errno set).
UniqueFd openinput(const std::string& path, bool* notregular);
