// A pseudo-terminal standing in for the serial line while a fuzz target drives the link's
// receive path: the link reads the slave exactly as it reads the device, set up by ovinitlink,
// while a helper thread feeds the master a scripted byte stream and throws away what the link
// sends back. Test support only: the program itself never includes this.
#pragma once

#include <functional>
#include <string>

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

}  // namespace fuzzline
