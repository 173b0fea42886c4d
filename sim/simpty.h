// Opening the simulator's line (a new pseudo-terminal, or an existing terminal device set up
// raw) and starting the workstation program on it. No framing, no serving.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

// Creates a pseudo-terminal. The master goes to `master`; the slave is opened once into
// `slave_keep`, which the simulator holds so that the master never sees a hang-up between two
// workstation sessions. kDone, or kFailed with `err` set. Both descriptors are close-on-exec.
int open_pty(int* master, int* slave_keep, std::string* slave_path, std::string* err);

// Opens a terminal device and sets it raw 8N1: receiver on, modem lines ignored, no flow
// control, no echo, no output processing, `baud` (9600 when 0). kDone with `fd`, or kFailed.
int open_device(const std::string& path, long baud, int* fd, std::string* err);

// Starts `argv[0]` with "-d" and `device` inserted after its first word; it inherits standard
// input, output and error. The child's pid, or -1 with `err` set.
pid_t spawn_with_device(const std::vector<std::string>& argv, const std::string& device,
                        std::string* err);

// An exit status as a shell reports it: the exit code, or 128 + the signal.
int shell_status(int wait_status);

}  // namespace sim
