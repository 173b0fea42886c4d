// The whole-file sum check after get and put, and its bounded correction: warn, keep a copy of
// a bad received file, and transfer again through the dispatcher at a new variable level.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "failure.h"
#include "filecmds.h"
#include "localfile.h"
#include "ovmain.h"
#include "owned.h"

namespace {

// Corrections in progress along the current chain of retries. Each retry is dispatched from
// inside the get or put that found the disagreement, so the depth is simply counted around it.
int correctiondepth = 0;

// Compares both sums; under `chksumwarn` warns when they differ. 1 when they differ. A sum that
// cannot be made (-2 here, -1 on the organiser) never equals the other side, so it differs.
int sumsdisagree(const std::string& local) {
    int yal = yalsum(local);
    int orvel = ovcs();
    if (yal == orvel) return 0;
    if (findvar("chksumwarn"))
        std::printf("Warning, the orvel and yal check sums disagree (yal = %d, orvel = %d)\n", yal,
                    orvel);
    return 1;
}

// Copies the file `from` (a symbolic link followed, as the sum was) into `to`, which it closes,
// with the mode of `from`; false, errno set, when any read, write or the close fails.
bool copyinto(const std::string& from, UniqueFd to) {
    UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!in || fstat(in.get(), &st) != 0) return false;
    char buf[8192];
    for (;;) {
        ssize_t n = read(in.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        if (!writeall(to.get(), buf, static_cast<std::size_t>(n))) return false;
    }
    return fchmod(to.get(), st.st_mode & 07777) == 0 && to.close() == 0;
}

// Dispatches the same transfer at a new level where no filter runs. `rmcheck` goes too: the
// retry is the program's own doing, and must not stop to ask.
void retransfer(const std::vector<std::string>& retrywords) {
    upvarlevel();
    delvar("autofilefilter");
    delvar("rmcheck");
    ++correctiondepth;
    cmdintrwords(retrywords);
    --correctiondepth;
    downvarlevel();
}

}  // namespace

std::string chksumsave(const std::string& local, bool verbose) {
    std::string pattern = local + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    UniqueFd saved(mkostemp(name.data(), O_CLOEXEC));
    if (!saved) {
        std::printf("ERROR: cannot make a name to save %s (%s)\n", local.c_str(),
                    std::strerror(errno));
        notefailure();
        return "";
    }
    std::string newname(name.data());
    std::string command = "mv " + local + " " + newname;
    if (verbose) std::printf("Saving incorrect version using :%s:\n", command.c_str());
    if (!copyinto(local, std::move(saved))) {
        std::printf("ERROR: cannot save %s as %s (%s)\n", local.c_str(), newname.c_str(),
                    std::strerror(errno));
        notefailure();
        unlink(newname.c_str());
        return "";
    }
    return newname;
}

void chksumafter(const std::vector<std::string>& retrywords, const std::string& local) {
    bool correct = findvar("chksumcorrect") != nullptr;
    if (!correct && !findvar("chksumwarn")) return;
    if (!sumsdisagree(local)) return;
    if (!correct) {
        notefailure();  // warned: the copy in hand disagrees with the organiser's
        return;
    }
    bool isget = retrywords[0] == "get";
    if (correctiondepth >= kMaxCorrections) {
        std::printf(
            "Error, the orvel and yal check sums still disagree after %d attempts, giving up on "
            "%s\n",
            kMaxCorrections, retrywords[1].c_str());
        notefailure();
        return;
    }
    // The disputed copy stays where it is: the re-get replaces it only with a whole new copy.
    if (isget && findvar("chksumsave")) chksumsave(local, findvar("verbose") != nullptr);
    if (findvar("verbose"))
        std::printf(isget ? "A Checksum difference has been detected, regetting the file\n"
                          : "A Checksum difference has been detected, re-putting the file\n");
    retransfer(retrywords);
}
