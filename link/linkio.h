// Internals shared by the link library's own files and nothing else: raw device reads and
// writes, the receive file that a shutdown must remove, and the line's signal handlers.
// The rest of the program includes ovlib.h only.
#pragma once

#include <cstddef>
#include <string>

// One read of at most `count` bytes from the device, retried on EINTR, after waiting at most
// the `linetimeout` seconds when that variable is set. Returns the number of bytes read (at
// least 1); end of file, a read error or the time-out end the program (ovlostcontact).
int ovreadraw(char* buf, int count);

// Closes the device (its settings are not touched); `devid` becomes -1.
void ovclosedevice();

// Writes `len` bytes to the device in one write (the rest again only if the device took part
// of them). A failed write ends the program like a lost contact.
void ovwritebytes(const char* data, std::size_t len);

// The receive file in progress: removed by ovshutdown and by the line's signal handlers.
// ovsetpending records a name (an empty name clears it); ovremovepending removes the file.
void ovsetpending(const std::string& name);
void ovremovepending();

// Installs the SIGINT, SIGTERM and SIGHUP handlers that restore `initial` on the device,
// remove the pending receive file and end the process with the signal's default action.
void ovinstallsignals();
// Set once `initial` holds the device's settings: only then may they be written back.
void ovmarkinitialsaved();
