// The link library: everything that crosses the serial line to the organiser's `tavlin`.
// It owns the device, the framing with acknowledgement and resend, link start-up and shutdown,
// binary file transfer, the organiser's release and the gates on it, and one operation per remote
// command. It prints only its own documented messages; the shell decides what commands mean.
// This is the one header that the rest of the program includes for link work.
//
// Every operation that talks to the organiser blocks until it is answered. None returns when the
// line is lost (end of file, a read or write error, `linetimeout`: status 1), and one that
// requires a reply ("XOK required") ends the program as a protocol violation (status 1) when
// another comes. Operations that send nothing say so.
#pragma once

#include <termios.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "progress.h"
#include "trace.h"
#include "yalutils.h"

// Result codes shared by the link operations and the shell's command handlers.
inline constexpr int kDone = -2;    // finished (also after most reported errors): go on
inline constexpr int kFailed = -3;  // failed: a running command file stops
inline constexpr int kPause = -4;   // `pause`: a command file stops and the prompt loop ends
inline constexpr int kRefused = 0;  // a release gate refused rlist or the backup family

// The longest text one frame can carry (two hexadecimal length digits).
inline constexpr std::size_t kMaxFrameText = 255;

// The most refusals in a row of one frame (or one data line of a transfer), in either
// direction, before the link gives up on the line as too noisy. Noise that spoils even a third
// of all frames needs far fewer than this; only a fault that repeats every time reaches it.
inline constexpr int kMaxRefusals = 64;

// ---- frame.cpp: the device, frames, acknowledgements and counters --------------------------
extern int devid;                // descriptor of the open serial device
extern struct termios initial;   // the device's settings as found at the open
extern struct termios modified;  // the settings applied while the link runs
extern int transgood, transbad;  // frames sent and acknowledged / resends
extern int recgood, recbad;      // frames received intact / refused with "R"
// Grows with every command that may change the organiser's names or its current directory
// ("rp", "md", "cd", "gf"), so that what was listed before can be known to be stale.
extern unsigned ovnamechanges;

// Builds the outbound frame "$%2.2X%s$%2.2X" for a text of at most 255 bytes. Pure. A longer
// text keeps only the low byte of its length: check it with ovlinefits first.
std::string ovframe(std::string_view text);

// Result of checking one inbound frame line (newline already removed).
enum class FrameCheck { kIntact, kBadChecksum, kMalformed };
// Checks an inbound frame line; on kIntact stores its text. Blanks stand for 0 in the first
// length digit and in either checksum digit; "$" signs are not examined. Never reads past the
// line. `lenstr`/`chkstr` (optional) receive the fields as the debug lines show them.
FrameCheck ovunframe(std::string_view line, std::string* text, std::string* lenstr = nullptr,
                     std::string* chkstr = nullptr);

// Reads two characters as a hexadecimal number (either case), 0 to 255; stops at the first
// non-digit (0 when the first is one), so it never reads past a NUL. Pure.
int idehex(const char* s);

// Prints a clear error and returns 0 when `line` would not fit one frame; 1 when it fits.
// Every place that composes a command line for the organiser checks it here first.
int ovlinefits(const std::string& line);

// Opens the device (`devstr`, or the default device when empty) without waiting for a carrier,
// locks it for this orvel alone, keeps its settings in `initial` and applies `modified`; the
// signal handlers restore them. Sends nothing. Does not return when the device cannot be opened
// or set up, or is in use (status 6).
void ovinitlink(const std::string& devstr);
// Sends a command line (ovputline), after checking standard output with ovcheckoutput, so that
// no more work is asked of the organiser once the output is lost; "dc" goes out regardless.
// Returns once the organiser has acknowledged it. The length is not checked here.
void ovcommand(const std::string& msg);
// ovputline1 with the wait for the ready prompt.
void ovputline(const std::string& str);
// Frames `str` and sends it until the organiser accepts it ("O"), after the ready prompt ">"
// when `sync` is 1 (other lines before it are dropped). Counts transgood and transbad. Does not
// return when it is refused kMaxRefusals times in a row (ovgiveupsend).
void ovputline1(const std::string& str, int sync);
// One read of at most `count` bytes; the last byte read (the newline) becomes NUL. Returns the
// number of bytes kept. End of file or a read error is fatal (lost contact, status 1).
int ovreadstr(char* buf, int count);
// Receives frames until one is intact, answering each damaged one "R" and the intact one "O",
// and puts its text in `buf`: exactly the bytes between the length and checksum fields (a
// carriage return right before the line's newline is not part of the line). Counts recgood and
// recbad. Does not return after kMaxRefusals damaged frames in a row (ovgiveupreceive).
void ovresponse(std::string& buf);
// Reads one reply and returns when it is `expected`; any other ends the program with "ERROR,
// Protocol violation, expected (%s), got (%s), exiting" (status 1).
void ovreply(const char* expected);
// Reads one reply: 1 when it is `expected`, 0 otherwise (the reply is used up either way).
int ovquery(const char* expected);

// ---- session.cpp: start-up, restart, shutdown ------------------------------------------------
// Brings the link up on `devname`: opens it (ovinitlink), waits for "XONLINE" (`restart` 0) or
// re-attaches (ovrestart), then makes transfers binary (ovbinary). Returns only with the link up.
void ovinit(int restart, const std::string& devname);
// Re-attaches to an organiser left running by `pause`: drops input waiting from before, sends
// "ol" without waiting for a prompt, XONLINE required, then sets "m:" as the operand path anew.
void ovrestart();
// Asks "ia"; on "XYES" (not in binary mode) switches the organiser with ovtm. Any other reply
// means binary already, and nothing more is sent.
void ovbinary();
// "tm", XOK required: the organiser transfers in binary mode from now on.
void ovtm();
// Never returns: erases the progress line, removes an unfinished receive file and the temporary
// files (tempfile.h), gives the device the settings found at the open, closes it and exits with
// exitstatus(`ret`) (failure.h); 1 instead of 0, with a message on standard error, when standard
// output has not taken everything written to it.
[[noreturn]] void ovshutdown(int ret);
// Never returns: writes `str` and a newline to standard error, then ovshutdown(6).
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
// pipe, a full disk) says so on standard error, disconnects the organiser ("dc", as a quit does)
// when the line is open, and ends through ovshutdown with status 1. Only
// what stdio has already tried to write counts: nothing is flushed here.
void ovcheckoutput();
// The bytes moved by the current or last transfer (transct). Sends nothing.
int ovtrans();

// ---- version.cpp: the organiser's release and the gates on it --------------------------------
extern std::string version;  // "X" until asked
extern int dovsnchk;         // 1: ask and gate; 0 (-nv): assume "2.3", refuse nothing
// The organiser's release. Asked with "vn" only while `version` still begins with "X", then kept
// there; an organiser without "vn" ("XBADCMD") is taken to run "2.3".
const std::string& ovversion();
// Sends "vn" and puts the one reply in `buf` as it came (tag included); `version` is untouched.
void ovvn(std::string& buf);
// Sets `version` to the oldest release, "2.3". Sends nothing.
void ovsetdefvsn();
// Compares two release texts field by field (up to four numeric fields, a missing or
// non-numeric one counting as 0): 1, 0 or -1. Pure.
int vsncompare(const std::string& a, const std::string& b);
// vsncompare of the organiser's release (ovversion, asked if need be) with `vsstr`.
int ovvsncmp(const std::string& vsstr);
// 1 when version checks are on and the organiser's release is lower than (lt), higher than (gt)
// or equal to (eq) `vsn`; otherwise 0. Under -nv always 0, and nothing is asked.
int ovvsnlt(const std::string& vsn);
int ovvsngt(const std::string& vsn);
int ovvsneq(const std::string& vsn);
// Prints that `function` needs release `vsn` of tavlin, a failure of the command. Not `fatal`:
// says other functions may still work, and returns. `fatal`: says it is fatal and does not
// return (ovdc, status 4).
void versiontolow(const char* function, const char* vsn, int fatal);

// ---- remotefs.cpp: organiser files and directories --------------------------------------------
// The operations below act on the operand path `ovpath`; only ovsetpath, ovsp, ovrcd and
// ovrestart change it.
extern std::string ovpath;   // the operand path most recently sent with "sp"
extern std::string ovfname;  // last component of ovpath (ovgetfname)
extern int filechksum;       // 1 while per-line checksums are on in transfers

// Attribute mask bits of ovgetatts.
inline constexpr int kAttDir = 1, kAttText = 2, kAttHidden = 4, kAttSystem = 8, kAttVolume = 16,
                     kAttFile = 32;
// The attribute mask of one "ft" reply: the first of DIR, TEXT, HIDDEN, SYSTEM and VOLUME that it
// names, plus kAttFile unless it names DIR. Pure.
int attsfromreply(const std::string& reply);

// Makes `path` the operand path with "sp", XOK required. kDone; kFailed (with a message, nothing
// sent, ovpath unchanged) when "sp " and the path would not fit one frame. ovsetpath sends
// nothing when `path` is the operand path already; ovsp always sends.
int ovsetpath(const std::string& path);
int ovsp(const std::string& path);
// The length of ovpath: non-zero once an operand path is set. Sends nothing.
int ispathset();
// Sets ovfname to what follows the last backslash of ovpath (all of it without one). Sends
// nothing.
void ovgetfname();
// "ep": 1 when the operand path exists on the organiser ("XYES"), else 0.
int ovep();
// "rp": removes the operand path's file; prints "ERROR: Cant remove the file on the orvel" when
// the reply is not "XOK".
void ovrp();
// Removes the operand path's file when it exists (ovep, then ovrp); nothing is removed otherwise.
void ovclearfile();
// "md": creates the operand path as a directory. A refusal is silent: the reply is read, not
// required.
void ovmd();
// "lp": lists the operand path, each entry a line of `out`, or "File :%s" on standard output when
// `out` is null. Ends at "XENDLIST", or at "XBADPATH" (a HELP line under `helpfull`); lists
// nothing when the listing does not open with "XSTARTLIST".
void ovlp(FILE* out);
// "sz": the size in bytes of the operand path's file; 0 for a bad path.
long ovgetfsize();
// "rw": 1 when the operand path may be written ("XRW"), 2 when it is read-only (any other reply),
// -1 for a bad path ("XBADPATH").
int ovgetrw();
// "ft": the attribute mask of the operand path (attsfromreply); -1 (every bit set) for a bad path.
int ovgetatts();
// "ti": the operand path's modification time in seconds since 1970; -1 for a bad path.
long ovgetmodtime();
// "cs": the organiser's sum of the operand path's file, 0 to 255; -1 when it cannot open the
// file ("XBADOPEN") or sum it ("XBADSUM").
int ovcs();
// "wn"/"wy": makes the operand path read-only/writable. The reply is read and not examined.
void ovsetro();
void ovsetrw();
// "fc 1" (`mode` 1) or "fc 0" (anything else): per-line checksums in transfers on or off.
// `filechksum` follows `mode`, whatever the reply; a reply other than "XOK" prints an error.
void ovfc(int mode);
// "pp": puts the organiser's current directory in `buf` (the reply less its tag).
void ovgetpwd(std::string& buf);
// Makes the operand path (a device such as "m:", or an existing directory, sent again with a
// trailing backslash) the organiser's current directory: kDone. kFailed, the current directory
// unchanged, when it is neither or "cd" is refused (a message for a bad device name).
int ovrcd();
// Never returns: "dc", XDISCONNECTED required, then ovshutdown(`status`).
[[noreturn]] void ovdc(int status = 0);
// "vb", XOK required: toggles the organiser's verbose display.
void ovvb();

// ---- transfer.cpp: binary file transfer -------------------------------------------------------
extern int transct;                // bytes moved by the current or last transfer
extern int ftransgood, ftransbad;  // sent data lines confirmed / resent (checksums on)
extern int frecgood, frecbad;      // received data lines accepted / refused (checksums on)

// Sends the local file `fname` (when empty, the operand path's last component) to the operand
// path, replacing the organiser's file: kDone. kFailed, with the messages of ovgfb, when the
// local file cannot be read (the organiser's file then stays) or the transfer fails.
int ovsendfile(const std::string& fname);
// Receives the operand path's file into `fname` (when empty, into its last component): kDone,
// kFailed as ovpfb, or 0 when the organiser has no such path (only "ep" is sent).
int ovrecfile(const std::string& fname);
// ovgfb and ovpfb under their traced names.
int ovgf(const std::string& fname);
int ovpf(const std::string& fname);
// The sending transfer ("gf") of local `fname` to the operand path, not removed first: kDone.
// kFailed when the local file cannot be read, the organiser cannot open its file (HELP lines
// under `helpfull`; the others print an error), or a local read fails.
int ovgfb(const std::string& fname);
// The receiving transfer ("pf") into `fname`, through a temporary file beside it that replaces
// it only when the whole transfer has ended well: kDone. kFailed, `fname` untouched, when no
// temporary file can be made, the organiser cannot open its file, or a local write fails.
int ovpfb(const std::string& fname);
// Codes one byte as two letters, 'A' plus its high and its low four bits, NUL-terminated. Pure.
void ovtoas(unsigned char c, char out[3]);
// The byte of two hexadecimal digits (idehex). Pure.
unsigned char dehex(const char* s);

// ---- process.cpp: organiser processes ---------------------------------------------------------
// "po 1", XON required (`mode` 1), or "po 0", XOFF required (anything else): process protection
// on or off. Returns kDone.
int ovpo(int mode);
// "pl": lists the processes matching `pattern`, each a line of `out`, or "Process :%s" on
// standard output when `out` is null. kDone, also after "XBADPARAM" (a HELP line under
// `helpfull`); kFailed with a message, nothing sent, when the line would not fit one frame.
int ovpl(FILE* out, const std::string& pattern);
// "pk"/"ps": kills/shuts down the processes matching `pattern`. kDone whatever the organiser
// says (its refusals as HELP lines under `helpfull`, the count under `verbose`); kFailed with a
// message, nothing sent, when the line would not fit one frame.
int ovpk(const std::string& pattern);
#ifndef ORVEL_REVISION_322
int ovps(const std::string& pattern);
#endif

// ---- display.cpp: the organiser's data screen and verbose display -----------------------------
// "sc", XOK required: toggles the organiser's data screen.
void ovsc();
// Ask "is"/"iv" and toggle with ovsc/ovvb only when the data screen or the verbose display is
// not already as wanted: off for ovscreenoff/ovverboseoff, on for ovscreenon/ovverboseon.
void ovscreenoff();
void ovscreenon();
void ovverboseoff();
void ovverboseon();
