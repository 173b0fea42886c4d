// Target "listing": organiser listings of any bytes through a wildcard get and a backup walk,
// against a peer that lists the input's lines (after a first byte of switches) for every folder;
// a name ending in d or s is a folder. In a line, byte 01 stands for the folder listed and byte
// 02 for a workstation folder outside the copy. The oracle: the gets write only right in their
// folder and the backup only below its own, whatever the names.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "check.h"
#include "fuzzline.h"
#include "localnames.h"
#include "ovmain.h"
#include "targets.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

struct Peer {
    std::vector<std::string> lines;
    std::string outside, time, path;
    int listings = 0;  // a folder listed inside every folder would go on for ever: 200 at most

    std::vector<std::string> operator()(const std::string& command) {
        if (command.starts_with("sp ")) path = command.substr(3);
        const char last = path.empty() ? 0 : static_cast<char>(path.back() | 0x20);
        if (command == "ft") return {last == 'd' || last == 's' ? "XDIR" : "XFILE"};
        if (command == "ti") return {time};
        if (command == "ep") return {"XYES"};
        if (command == "pf") return {"XSTARTPUT", "XOK", "6F6B", "XE", "XENDPUT"};
        if (command != "lp") return {"XOK"};
        std::string folder = path.substr(0, path.find_last_not_of('\\') + 1);
        if (folder.find('*') != std::string::npos) folder = orvelfolder(folder);
        std::vector<std::string> reply = {"XSTARTLIST"};
        for (const std::string& line : ++listings < 200 ? lines : std::vector<std::string>()) {
            reply.emplace_back();
            for (char c : line) reply.back() += c == 1 ? folder : c == 2 ? outside : std::string{c};
        }
        reply.push_back("XENDLIST");
        return reply;
    }
};

}  // namespace

void listingtarget(const uint8_t* data, std::size_t size) {
    if (size == 0 || fuzzline::scratchdir().empty()) return;
    const fs::path home = fuzzline::scratchdir() + "/listing";
    std::error_code ec;
    fs::remove_all(home, ec);
    fs::create_directories(home / "get", ec);
    fs::create_directories(home / "out", ec);
    const char* const times[] = {"T0", "T9223372036854775807", "T-99999999999999999999", "Tx"};
    Peer peer{{""}, (home / "out").native(), times[data[0] & 3], "", 0};
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == '\n')
            peer.lines.emplace_back();
        else
            peer.lines.back() += static_cast<char>(data[i]);
    }
    const int keepdir = open(".", O_RDONLY | O_CLOEXEC);
    FUZZ_REQUIRE(chdir((home / "get").c_str()) == 0);
    if (curlevel == nullptr) initvars();
    upvarlevel();
    addvar("backupnocheck", "");
    ovpath.clear();  // so that the first path is sent, whatever an earlier run left
    const int keepchk = dovsnchk;
    dovsnchk = 0;
    fuzzline::runwithpeer(std::ref(peer), [&] {
        cmdintr(data[0] & 4 ? "get *" : "get m:\\docs\\*");
        cmdintr(std::string(data[0] & 8 ? "ibackup " : "backup ") +
                (data[0] & 16 ? "docs " : "m:\\docs ") + (home / "bk").native());
    });
    downvarlevel();
    dovsnchk = keepchk;
    FUZZ_REQUIRE(fchdir(keepdir) == 0 && close(keepdir) == 0);
    for (auto it = fs::recursive_directory_iterator(home, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        const fs::path rel = it->path().lexically_relative(home);
        const auto depth = std::distance(rel.begin(), rel.end());
        FUZZ_REQUIRE(*rel.begin() == "bk" || (*rel.begin() == "get" && depth <= 2) || rel == "out");
    }
}

}  // namespace fuzz
