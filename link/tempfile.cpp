// Private temporary files and the list of those to remove on the way out.
#include "tempfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The names live in fixed storage so that a signal handler can read them. A name that does not
// fit, or a file made while every slot is taken, is removed on the normal paths only.
constexpr int kSlots = 8;
constexpr std::size_t kNameMax = 4096;
char slotname[kSlots][kNameMax];
volatile sig_atomic_t slotused[kSlots];

int takeslot(const std::string& name) {
    if (name.size() >= kNameMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotused[i]) continue;
        std::memcpy(slotname[i], name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is whole before it counts
        slotused[i] = 1;
        return i;
    }
    return -1;
}

std::string tempdir() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && dir[0] != '\0' ? dir : "/tmp";
}

}  // namespace

bool TempFile::make(const char* stem) {
    remove();
    std::string pattern = tempdir() + "/" + stem + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    fd_.reset(mkostemp(buf.data(), O_CLOEXEC));
    if (!fd_) return false;
    name_ = buf.data();
    slot_ = takeslot(name_);
    return true;
}

int TempFile::remove() {
    if (name_.empty()) return 0;
    fd_.reset();
    int rc = unlink(name_.c_str());
    if (slot_ >= 0) slotused[slot_] = 0;
    slot_ = -1;
    name_.clear();
    return rc;
}

void removetempfiles() {
    for (int i = 0; i < kSlots; ++i) {
        if (slotused[i]) unlink(slotname[i]);
    }
}
