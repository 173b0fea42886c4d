// A pseudo-terminal standing in for the serial line while a fuzz target drives the link's
// receive path: the link reads the slave, set up by ovinitlink exactly as a device, while a
// thread feeds the master a scripted byte stream and throws away what the link sends back.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fuzzline {

// The organiser's framing, written apart from the link's: "$LL" text "$CC" and a newline (the
// text cut at 255 bytes).
std::string peerframe(const std::string& text);

// Runs `body` with `devid` set to the slave while `stream` is fed into the master, then reads
// the line until everything fed has arrived, so that the next run starts on an empty line;
// `devid` is given back. False (body not run) when no pty could be set up.
bool runonline(const std::string& stream, const std::function<void()>& body);

// A fresh directory for files that the fuzz targets write; made once per process.
const std::string& scratchdir();

// What a peer answers to one command text: the texts of its reply frames.
using Answer = std::function<std::vector<std::string>(const std::string& command)>;

// Runs `body` with `devid` set to the slave while a peer on the master answers each frame that
// the link sends with an acknowledgement, the frames of `answer` (as they are: the link's line
// settings pass every byte) and the next ready prompt.
// The line is emptied afterwards. False (body not run) when no pty could be set up.
bool runwithpeer(const Answer& answer, const std::function<void()>& body);

}  // namespace fuzzline
