// The bodies of the fuzz targets, shared by the libFuzzer entry points (fuzz/<name>_fuzz.cpp)
// and the tests that replay every kept input. Each takes arbitrary bytes, must neither crash nor
// hang, and checks what must hold. The first seven run the workstation's code (targets.cpp, and
// listingtarget.cpp for "listing"), the last three the simulated organiser's (simtargets.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

void frametarget(const uint8_t* data, std::size_t size);     // ovunframe, ovframe round trips
void receivetarget(const uint8_t* data, std::size_t size);   // raw bytes on a pty, ovresponse
void datalinetarget(const uint8_t* data, std::size_t size);  // a receiving transfer's data lines
void wordstarget(const uint8_t* data, std::size_t size);     // reading, trimming, splitting lines
void cmdintrtarget(const uint8_t* data, std::size_t size);   // lines through cmdintr (no link)
void cmdfiletarget(const uint8_t* data, std::size_t size);   // readovcmdline on a command file
void listingtarget(const uint8_t* data, std::size_t size);   // hostile listings: get *, backup
void simframetarget(const uint8_t* data, std::size_t size);  // the simulator's frame parser
void simdatatarget(const uint8_t* data, std::size_t size);   // its data-line decoders, encoders
void simpathtarget(const uint8_t* data, std::size_t size);   // its organiser paths, in the root

}  // namespace fuzz
