// The command line of tavlin-sim: parsing into one Options record and the help text. It does
// not open, create or start anything; main does that from the record.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "simfaults.h"
#include "simprocs.h"

namespace sim {

struct Options {
    std::string root;
    std::string device;  // serve this terminal device instead of a new pseudo-terminal
    std::string link;    // serve mode: keep a symbolic link to the pseudo-terminal here
    std::string release = "3.24";
    bool release_none = false;
    long baud = 0;  // pace input and output like this line speed (0: unpaced)
    FaultPlan faults;
    std::string stats_path;
    std::string trace_path;
    std::map<std::string, std::vector<std::string>> replies;
    std::map<std::string, std::vector<std::string>> listings;  // by organiser path, as given
    std::string online = "XONLINE";
    std::string ack = "O";
    std::string prompt = ">";
    int junk = 0;
    bool pad_blank = false;
    long mute_after = 0;
    std::vector<Proc> procs = default_procs();
    std::vector<std::string> child;  // run mode: the workstation program and its arguments
    bool help = false;
};

// Parses argv. kDone, or kFailed with `err` set.
int parse_options(int argc, char** argv, Options* opts, std::string* err);

// The --help text.
const char* help_text();

}  // namespace sim
