// Watches a pseudo-terminal's slave for opens and closes by other processes (inotify), so the
// simulator can tell one workstation session from the next even when they follow each other
// within microseconds. It only reports events; the simulator decides what they mean.
#pragma once

#include <string>

namespace sim {

class OpenWatch {
  public:
    OpenWatch() = default;
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    // Starts watching `path`. False when the system cannot watch it (the simulator then falls
    // back on the terminal settings alone).
    bool start(const std::string& path);
    bool active() const { return fd_ >= 0; }

    // The events since the last call, oldest first: 'o' for an open, 'c' for a close.
    std::string take();

  private:
    int fd_ = -1;
};

}  // namespace sim
