// The one checksum of the system: bytes summed modulo 256.
#include "yalutils.h"

#include <unistd.h>

#include <cerrno>

#include "inputfile.h"
#include "owned.h"
#include "trace.h"

void dochksum(int* number, const char* str, int len) {
    calltrace(5, "CALL: dochksum (number = 0x%2.2X, str = OMITTED, len = %d)\n", *number, len);
    unsigned value = static_cast<unsigned>(*number);
    for (int i = 0; i < len; i++) value = (value + static_cast<unsigned char>(str[i])) % 256;
    *number = static_cast<int>(value);
    calltrace(5, "END: dochksum (number = 0x%2.2X)\n", *number);
}

int yalsum(const std::string& fname) {
    calltrace(3, "CALL: yalsum (fname = %s)\n", fname.c_str());
    bool notregular = false;
    UniqueFd fd = openinput(fname, &notregular);
    if (!fd) return -2;
    int sum = 0;
    char block[1024];
    for (;;) {
        ssize_t n = read(fd.get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        dochksum(&sum, block, static_cast<int>(n));
    }
    return sum;
}
