// The one checksum of the system: the sum of the bytes modulo 256, over a block or a whole
// workstation file. Pure computation and local file reading; no link traffic.
#pragma once

#include <string>

// Adds `len` bytes to the running value `*number`, keeping it modulo 256.
void dochksum(int* number, const char* str, int len);

// The sum of a workstation file's bytes modulo 256 (0 to 255), or -2 when it cannot be opened or
// is no regular file (never blocks on a FIFO or a device).
int yalsum(const std::string& fname);
