// The bodies of the fuzz targets, one function per target, shared by the libFuzzer entry points
// (fuzz/<name>_fuzz.cpp) and the tests that replay every kept input. Each takes arbitrary bytes,
// must neither crash nor hang, and checks what must hold. The first six (targets.cpp) run the
// workstation's code, the last three (simtargets.cpp) the simulated organiser's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// "frame": ovunframe on one inbound line, and ovframe/ovunframe round trips.
void frametarget(const uint8_t* data, std::size_t size);
// "receive": the whole receive path over a pseudo-terminal with the link's own line settings:
// raw bytes on the line, read by ovresponse (and, by the first byte, after an ovputline that
// waits for the ready prompt and the acknowledgement).
void receivetarget(const uint8_t* data, std::size_t size);
// "dataline": a receiving transfer (ovpfb) whose data lines are the input's lines, each sent as
// an intact frame; the first byte turns per-line checksums and the organiser's refusal on.
void datalinetarget(const uint8_t* data, std::size_t size);
// "words": trimtrailing, splitwords, expandwords and readcmdline on the input.
void wordstarget(const uint8_t* data, std::size_t size);
// "cmdintr": each input line through cmdintr, for lines whose command (after expansion) needs
// no link and runs nothing outside the program; every run starts from fresh variables.
void cmdintrtarget(const uint8_t* data, std::size_t size);
// "cmdfile": readovcmdline over the input as a command file.
void cmdfiletarget(const uint8_t* data, std::size_t size);

// "simframe": the simulator's frame parser over a raw byte stream from the workstation, byte by
// byte and as parse_frame_bytes, and frame_body/parser round trips.
void simframetarget(const uint8_t* data, std::size_t size);
// "simdata": the data-line decoders of both directions (letters A-P from the workstation,
// hexadecimal pairs to it, with and without the line sum) and their round trips.
void simdatatarget(const uint8_t* data, std::size_t size);
// "simpath": organiser paths against a small host tree: parse, find, place_for_new, list and
// change_dir, none of which may ever name a host path outside the root.
void simpathtarget(const uint8_t* data, std::size_t size);

}  // namespace fuzz
