// The organiser's process table: names, kinds, listing, killing and shutdown by pattern, and
// the kill protection of system processes and of the link program itself. Pure data: the
// simulator turns the results into reply words.
#pragma once

#include <string>
#include <vector>

namespace sim {

enum class ProcKind { kApp, kSystem, kInterpreted, kLink };

struct Proc {
    std::string name;
    ProcKind kind = ProcKind::kApp;
};

inline constexpr size_t kMaxPattern = 16;

// The default table: SYS$SHLL, SYS$WSRV, SYS$FSRV (system), TAVLIN, Agenda, Word, Sheet, Data.
std::vector<Proc> default_procs();

// Parses "--procs" text: names separated by commas; a leading "!" marks a system process, "~"
// an interpreted one; the name TAVLIN (any case) is the link program. False on an empty name.
bool parse_procs(const std::string& text, std::vector<Proc>* out);

class ProcTable {
  public:
    explicit ProcTable(std::vector<Proc> procs) : procs_(std::move(procs)) {}

    // Names matching the pattern, in table order.
    std::vector<std::string> list(const std::string& pattern) const;
    // Kills matching processes. Returns -1 when nothing matches, else the count killed; with
    // protection on, system processes and the link program are spared and not counted.
    int kill(const std::string& pattern, bool protect);
    // Asks matching processes to shut down. -1 when nothing matches, else the count that
    // accepted (applications; they leave the table).
    int shutdown(const std::string& pattern);

    const std::vector<Proc>& procs() const { return procs_; }

  private:
    std::vector<Proc> procs_;
};

}  // namespace sim
