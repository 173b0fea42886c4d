// A pseudo-terminal standing in for the serial line while a fuzz target drives the link's
// receive path: the link reads the slave exactly as it reads the device, set up by ovinitlink,
// while a helper thread feeds the master a scripted byte stream and throws away what the link
// sends back. Test support only: the program itself never includes this.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fuzzline {

// The organiser's framing, written here apart from the link's: "$LL" text "$CC" and a newline.
// Texts longer than 255 bytes are cut there.
std::string peerframe(const std::string& text);

// Runs `body` with `devid` set to the pty's slave while `stream` is fed into the master, then
// reads the line until everything fed has arrived, so that the next run starts on an empty line.
// `devid` is given back as it was. Returns false (body not run) when no pty could be set up.
bool runonline(const std::string& stream, const std::function<void()>& body);

// A fresh directory for files that the fuzz targets write; made once per process.
const std::string& scratchdir();

// What a peer answers to one command text: the texts of its reply frames.
using Answer = std::function<std::vector<std::string>(const std::string& command)>;

// Runs `body` with `devid` set to the slave while a peer on the master answers each frame that
// the link sends with an acknowledgement, the frames of `answer` (each text as the line carries
// it under the slave's settings, so that nothing arrives damaged) and the next ready prompt.
// The line is emptied afterwards. False (body not run) when no pty could be set up.
bool runwithpeer(const Answer& answer, const std::function<void()>& body);

}  // namespace fuzzline
