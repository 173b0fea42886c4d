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

// Arms a notice: when a read from the device has still to wait `ms` milliseconds from now,
// `give` is called, once, and the wait goes on. A null `give` disarms it. Changes nothing on
// the line and nothing of what the reads return.
void ovnoticewait(int ms, void (*give)());

// The path that ovinitlink opens for `devstr`: the named device, or the default one.
const char* ovdevicepath(const std::string& devstr);

// The receive file in progress: removed by ovshutdown and by the line's ending signals.
// ovsetpending records a name (an empty name clears it); ovremovepending removes the file.
void ovsetpending(const std::string& name);
void ovremovepending();

// Installs the line's signal handlers (signals.cpp), once the device is open:
// - SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM restore `initial` on the device,
//   remove the pending receive file and end the process by the signal's default action;
// - SIGTSTP restores `initial` and stops; SIGCONT applies `modified` again while the link holds
//   the line, and the program goes on where it was;
// - SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT restore `initial`, call the handler found there
//   before (a sanitizer's), and end the process by the same signal;
// - SIGPIPE does nothing, so that a write to a closed pipe fails with EPIPE instead.
// Handlers installed later (a child after exec) are not affected.
void ovinstallsignals();
// Set once `initial` holds the device's settings: only then may they be written back.
void ovmarkinitialsaved();
// Set once `modified` is in force: from then on SIGCONT applies it again.
void ovmarklinkheld();
// The link lets go of the line: `initial` is applied (when it was saved) and SIGCONT no longer
// applies `modified`. Used by the shut-down.
void ovgivebackline();
