// Helpers of the remote file commands and of get/put/foreach that need no link: attribute words,
// the words foreach composes, safe opening of listing files, and keeping a bad received copy.
// They print only their own documented messages and never talk to the organiser.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "owned.h"

// The attribute words that `info` prints for an attribute mask, in the order 1, 2, 32, 4, 8, 16,
// each followed by one blank ("DIRECTORY ", "TEXT ", "FILE ", ...).
std::string attwords(int mask);

// Opens a listing file for writing (created with mode 0644, or emptied). A symbolic link is never
// followed, so a fixed name in /tmp cannot be turned against another file. Null on failure.
FilePtr openlistfile(const std::string& name);

// The words foreach dispatches for one line of its names file: argv[2] to argv[argc-1], then the
// line less its newline as one word (names holding blanks stay whole), through shellword when
// the command is "!". An empty line adds nothing.
std::vector<std::string> foreachwords(int argc, char** argv, const std::string& line);

// The bytes-per-second figure of a transfer: an elapsed time below 1 second counts as 1.
int transferspeed(int bytes, long elapsed);

// Keeps a bad local copy under `local` + six unique characters (made with mkstemp), without a
// shell, with the copy's bytes and mode; `local` itself stays until a re-get replaces it whole.
// Under `verbose` prints the equivalent "mv" command first. Returns the new name, or an empty
// text (with a message, a failure) when no name could be made or the copy failed; no new name
// is left then.
std::string chksumsave(const std::string& local, bool verbose);

// After a transfer that ended well: compares the workstation's sum of `local` with the
// organiser's sum of the current organiser path when `chksumwarn` or `chksumcorrect` is set,
// warns under `chksumwarn`, and under `chksumcorrect` transfers again by dispatching
// `retrywords` ("get"/"put", organiser path[, local name]) at a new variable level without
// `autofilefilter`. A get first keeps its bad copy aside under `chksumsave`; the copy in hand
// is replaced only by a whole new one, so a failed re-get leaves it. The corrections are
// bounded: after kMaxCorrections of them the chain gives up with a message. Sums that still
// disagree at the end are a failure of the command.
inline constexpr int kMaxCorrections = 5;
void chksumafter(const std::vector<std::string>& retrywords, const std::string& local);
