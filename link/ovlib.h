// The link library: everything that crosses the serial line to the organiser's `tavlin`.
// It owns the device, the framing with acknowledgement and resend, link start-up and shutdown,
// binary file transfer, the organiser's release and the gates on it, and one operation per remote
// command. It prints only its own documented messages; the shell decides what commands mean.
// This is the one header that the rest of the program includes for link work.
#pragma once

#include <termios.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "trace.h"
#include "yalutils.h"

// Result codes shared by the link operations and the shell's command handlers.
inline constexpr int kDone = -2;     // finished (also after most reported errors): go on
inline constexpr int kFailed = -3;   // failed: a running command file stops
inline constexpr int kPause = -4;    // `pause`: a command file stops and the prompt loop ends
inline constexpr int kRefused = 0;   // a release gate refused rlist or the backup family

// The longest text one frame can carry (two hexadecimal length digits).
inline constexpr std::size_t kMaxFrameText = 255;

// The most refusals in a row of one frame (or one data line of a transfer), in either
// direction, before the link gives up on the line as too noisy. Noise that spoils even a third
// of all frames needs far fewer than this; only a fault that repeats every time reaches it.
inline constexpr int kMaxRefusals = 64;

// ---- frame.cpp: the device, frames, acknowledgements and counters --------------------------
extern int devid;                  // descriptor of the open serial device
extern struct termios initial;     // the device's settings as found at the open
extern struct termios modified;    // the settings applied while the link runs
extern int transgood, transbad;    // frames sent and acknowledged / resends
extern int recgood, recbad;        // frames received intact / refused with "R"

// Builds the outbound frame "$%2.2X%s$%2.2X" for a text of at most 255 bytes.
std::string ovframe(std::string_view text);

// Result of checking one inbound frame line (newline already removed).
enum class FrameCheck { kIntact, kBadChecksum, kMalformed };
// Checks an inbound frame line; on kIntact stores its text. Blanks stand for 0 in the first
// length digit and in either checksum digit; "$" signs are not examined. Never reads past the
// line. `lenstr`/`chkstr` (optional) receive the fields as the debug lines show them.
FrameCheck ovunframe(std::string_view line, std::string* text, std::string* lenstr = nullptr,
                     std::string* chkstr = nullptr);

// Reads two characters as a hexadecimal number (either case); stops at the first non-digit.
int idehex(const char* s);

// Prints a clear error and returns 0 when `line` would not fit one frame; 1 when it fits.
// Every place that composes a command line for the organiser checks it here first.
int ovlinefits(const std::string& line);

// Opens the device (default "/dev/term/a") without waiting for a carrier and applies the link's
// settings; ends the program with status 6 when it cannot be opened or is held by another orvel.
void ovinitlink(const std::string& devstr);
// Sends a command line (ovputline), after checking standard output with ovcheckoutput, so that
// no more work is asked of the organiser once the output is lost; "dc" goes out regardless.
void ovcommand(const std::string& msg);
void ovputline(const std::string& str);
// Frames `str` and sends it until the organiser accepts it (after its ready prompt when `sync`
// is 1). Does not return when it is refused kMaxRefusals times in a row (ovgiveupsend).
void ovputline1(const std::string& str, int sync);
// One read of at most `count` bytes; the last byte read (the newline) becomes NUL. Returns the
// number of bytes kept. End of file or a read error is fatal (lost contact, status 1).
int ovreadstr(char* buf, int count);
// Receives frames until one is intact and returns its text, exactly the bytes between the
// length and checksum fields (a carriage return right before the line's newline is not part of
// the line). Does not return after kMaxRefusals damaged frames in a row (ovgiveupreceive).
void ovresponse(std::string& buf);
void ovreply(const char* expected);
int ovquery(const char* expected);

// ---- session.cpp: start-up, restart, shutdown ------------------------------------------------
void ovinit(int restart, const std::string& devname);
void ovrestart();
void ovbinary();
void ovtm();
[[noreturn]] void ovshutdown(int ret);
[[noreturn]] void overror(const char* str);
// Device read hit end of file or failed: "ERROR, Lost contact with the orvel, exiting", status 1.
[[noreturn]] void ovlostcontact();
// The organiser refused the same frame or data line kMaxRefusals times in a row: a message
// that says so and that the line is too noisy, then ovshutdown with status 1.
[[noreturn]] void ovgiveupsend();
// kMaxRefusals damaged copies in a row of one frame or data line came from the organiser: the
// same way out as ovgiveupsend, with its own message.
[[noreturn]] void ovgiveupreceive();
// Returns when standard output has taken everything written to it so far; otherwise (a closed
// pipe, a full disk) says so on standard error and ends through ovshutdown with status 1. Only
// what stdio has already tried to write counts: nothing is flushed here.
void ovcheckoutput();
int ovtrans();

// ---- version.cpp: the organiser's release and the gates on it --------------------------------
extern std::string version;  // "X" until asked
extern int dovsnchk;         // 1: ask and gate; 0 (-nv): assume "2.3", refuse nothing
const std::string& ovversion();
void ovvn(std::string& buf);
void ovsetdefvsn();
// Compares two release texts field by field (up to four numeric fields): 1, 0 or -1.
int vsncompare(const std::string& a, const std::string& b);
int ovvsncmp(const std::string& vsstr);
int ovvsnlt(const std::string& vsn);
int ovvsngt(const std::string& vsn);
int ovvsneq(const std::string& vsn);
void versiontolow(const char* function, const char* vsn, int fatal);

// ---- remotefs.cpp: organiser files and directories --------------------------------------------
extern std::string ovpath;   // the operand path most recently sent with "sp"
extern std::string ovfname;  // last component of ovpath (ovgetfname)
extern int filechksum;       // 1 while per-line checksums are on in transfers

// Attribute mask bits of ovgetatts.
inline constexpr int kAttDir = 1, kAttText = 2, kAttHidden = 4, kAttSystem = 8, kAttVolume = 16,
                     kAttFile = 32;
// The attribute mask of one "ft" reply.
int attsfromreply(const std::string& reply);

// ovsetpath/ovsp return kDone, or kFailed (with a message, nothing sent) when "sp " and the
// path would not fit one frame.
int ovsetpath(const std::string& path);
int ovsp(const std::string& path);
int ispathset();
void ovgetfname();
int ovep();
void ovrp();
void ovclearfile();
void ovmd();
void ovlp(FILE* out);
long ovgetfsize();
int ovgetrw();
int ovgetatts();
long ovgetmodtime();
int ovcs();
void ovsetro();
void ovsetrw();
void ovfc(int mode);
void ovgetpwd(std::string& buf);
int ovrcd();
[[noreturn]] void ovdc();
void ovvb();

// ---- transfer.cpp: binary file transfer -------------------------------------------------------
extern int transct;                  // bytes moved by the current or last transfer
extern int ftransgood, ftransbad;    // sent data lines confirmed / resent (checksums on)
extern int frecgood, frecbad;        // received data lines accepted / refused (checksums on)

int ovsendfile(const std::string& fname);
int ovrecfile(const std::string& fname);
int ovgf(const std::string& fname);
int ovpf(const std::string& fname);
int ovgfb(const std::string& fname);
int ovpfb(const std::string& fname);
void ovtoas(unsigned char c, char out[3]);
unsigned char dehex(const char* s);

// ---- process.cpp: organiser processes ---------------------------------------------------------
int ovpo(int mode);
int ovpl(FILE* out, const std::string& pattern);
int ovpk(const std::string& pattern);
#ifndef ORVEL_REVISION_322
int ovps(const std::string& pattern);
#endif

// ---- display.cpp: the organiser's data screen and verbose display -----------------------------
void ovscreenoff();
void ovscreenon();
void ovsc();
void ovverboseoff();
void ovverboseon();
