// The bodies of the simulated organiser's fuzz targets, shared by the libFuzzer entry points
// (fuzz/sim*_fuzz.cpp) and the simulator's regression test that replays every kept input. Each
// takes arbitrary bytes, must neither crash nor hang, and checks what must hold.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Target "simframe": the simulator's frame parser over a raw byte stream from the workstation,
// byte by byte and as parse_frame_bytes, and frame_body/parser round trips.
void simframetarget(const uint8_t* data, std::size_t size);

// Target "simdata": the data-line decoders of both directions (letters A-P from the workstation,
// hexadecimal pairs to it, with and without the line sum) and their round trips.
void simdatatarget(const uint8_t* data, std::size_t size);

// Target "simpath": organiser paths against a small host tree: parse, find, place_for_new, list
// and change_dir, none of which may ever name a host path outside the root.
void simpathtarget(const uint8_t* data, std::size_t size);

}  // namespace fuzz
