// The bodies of the workstation side's fuzz targets, one function per target, shared by the
// libFuzzer entry points (fuzz/<name>_fuzz.cpp) and the regression test that replays every kept
// input. Each takes arbitrary bytes, must neither crash nor hang, and checks what must hold.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Target "frame": ovunframe on one inbound line, and ovframe/ovunframe round trips.
void frametarget(const uint8_t* data, std::size_t size);

// Target "receive": the whole receive path over a pseudo-terminal with the link's own line
// settings: raw bytes on the line, read by ovresponse (and, by the first byte, after an
// ovputline that waits for the ready prompt and the acknowledgement).
void receivetarget(const uint8_t* data, std::size_t size);

// Target "dataline": a receiving transfer (ovpfb) whose data lines are the input's lines, each
// sent as an intact frame; the first byte turns per-line checksums on and the organiser's
// refusal ("XBADOPEN") on.
void datalinetarget(const uint8_t* data, std::size_t size);

// Target "words": trimtrailing, splitwords, expandwords and readcmdline on the input.
void wordstarget(const uint8_t* data, std::size_t size);

// Target "cmdintr": each input line through cmdintr, for lines whose command (after expansion)
// needs no link and runs nothing outside the program; every run starts from fresh variables.
void cmdintrtarget(const uint8_t* data, std::size_t size);

// Target "cmdfile": readovcmdline over the input as a command file.
void cmdfiletarget(const uint8_t* data, std::size_t size);

// Target "listing" (listingtarget.cpp): organiser listings of any bytes through a wildcard get
// and a backup walk; nothing may be written outside the folder of the run.
void listingtarget(const uint8_t* data, std::size_t size);

}  // namespace fuzz
