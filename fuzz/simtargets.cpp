// The simulated organiser's fuzz targets: its frame parser, its data-line decoders and its
// organiser paths.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "check.h"
#include "simframe.h"
#include "simfs.h"
#include "simresult.h"
#include "targets.h"

namespace fuzz {

// The stream parser's first event is what parse_frame_bytes makes of the whole input; every
// frame it finds formats back to itself, nothing else carries a text; formatting round trips.
void simframetarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size), text = in.substr(0, sim::kMaxText);
    sim::FrameParser parser;
    sim::FrameEvent first;
    bool seen = false;
    for (unsigned char c : in) {
        const sim::FrameEvent ev = parser.feed(c);
        if (ev.kind == sim::FrameEvent::kNone) continue;
        FUZZ_REQUIRE(!parser.in_frame());
        if (ev.kind == sim::FrameEvent::kFrame)
            FUZZ_REQUIRE(ev.text.size() <= sim::kMaxText &&
                         sim::parse_frame_bytes(sim::frame_body(ev.text)).text == ev.text);
        else
            FUZZ_REQUIRE(ev.text.empty());
        if (!seen) first = ev;
        seen = true;
    }
    const sim::FrameEvent whole = sim::parse_frame_bytes(in);
    FUZZ_REQUIRE(whole.kind == (seen ? first.kind : sim::FrameEvent::kNone));
    FUZZ_REQUIRE(whole.text == (seen ? first.text : std::string()));
    const std::string body = sim::frame_body(text);
    const sim::FrameEvent ev = sim::parse_frame_bytes(body);
    FUZZ_REQUIRE(body.size() == text.size() + 6 && ev.kind == sim::FrameEvent::kFrame &&
                 ev.text == text);
    FUZZ_REQUIRE(sim::frame_body(text, true).size() == body.size());
    if (text.empty()) return;
    std::string spoiled = body;
    spoiled[3] = static_cast<char>(spoiled[3] ^ 0x21);
    FUZZ_REQUIRE(sim::parse_frame_bytes(spoiled).kind == sim::FrameEvent::kBadChecksum);
}

// Each decoder either takes the input whole (and encodes it back) or leaves its output alone;
// each encoder's output decodes back, and a lying line sum differs from the true one.
void simdatatarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size), block = in.substr(0, 100);
    std::string out = "unchanged", upper = in;
    for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (sim::decode_letters(in, &out))
        FUZZ_REQUIRE(out.size() * 2 == in.size() && sim::encode_letters(out) == in);
    else
        FUZZ_REQUIRE(out == "unchanged");
    out = "unchanged";
    if (sim::decode_hex(in, &out))
        FUZZ_REQUIRE(out.size() * 2 == in.size() && sim::encode_hex(out) == upper);
    else
        FUZZ_REQUIRE(out == "unchanged");
    std::string line, sum;
    if (sim::decode_get_line(in, false, &line)) FUZZ_REQUIRE(sim::encode_letters(line) == in);
    if (sim::decode_get_line(in, true, &line))
        FUZZ_REQUIRE(sim::decode_hex(in.substr(0, 2), &sum) &&
                     static_cast<unsigned char>(sum[0]) == sim::text_sum(line) &&
                     sim::encode_letters(line) == in.substr(2));
    std::string back;
    FUZZ_REQUIRE(sim::decode_letters(sim::encode_letters(block), &back) && back == block);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sim::text_sum(block));
    FUZZ_REQUIRE(sim::decode_get_line(digits + sim::encode_letters(block), true, &back) &&
                 back == block);
    const std::string plain = sim::encode_put_line(block, false);
    const std::string good = sim::encode_put_line(block, true);
    const std::string bad = sim::encode_put_line(block, true, true);
    FUZZ_REQUIRE(sim::decode_hex(plain, &back) && back == block);
    FUZZ_REQUIRE(good.substr(0, 2) == digits && good.substr(2) == plain);
    FUZZ_REQUIRE(bad.substr(2) == plain && bad.substr(0, 2) != digits);
}

namespace {

std::string treeroot, realroot;  // the host tree, made once and removed at exit; its real path

// a/ b/ c/ m/ with names in both cases, a read-only file and symbolic links that lead out.
bool maketree() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvel-simfuzz-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) return false;
    treeroot = tmpl;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(treeroot, ignored);
    });
    std::string err;
    if (sim::SimFs(treeroot).init(&err) != sim::kDone) return false;
    for (const char* dir : {"/m/DOCS", "/m/docs", "/a/Sub", "/a/Sub/Deep"})
        mkdir((treeroot + dir).c_str(), 0755);
    for (const char* file : {"/m/DOCS/NOTES.TXT", "/m/Read.Me", "/a/Sub/Deep/x.y"})
        if (FILE* f = std::fopen((treeroot + file).c_str(), "w")) std::fclose(f);
    chmod((treeroot + "/m/Read.Me").c_str(), 0444);
    char real[PATH_MAX];
    if (symlink("/", (treeroot + "/m/LINK").c_str()) != 0 ||
        symlink("../..", (treeroot + "/m/DOCS/UP").c_str()) != 0 ||
        realpath(treeroot.c_str(), real) == nullptr)
        return false;
    realroot = std::string(real) + "/";
    return true;
}

// The host path, where it exists, lies inside the root.
void checkinside(const std::string& host) {
    FUZZ_REQUIRE(host.compare(0, treeroot.size() + 1, treeroot + "/") == 0);
    char real[PATH_MAX];
    if (realpath(host.c_str(), real) != nullptr)
        FUZZ_REQUIRE(std::string(real).compare(0, realroot.size(), realroot) == 0);
}

void checkorg(const std::string& org) {
    FUZZ_REQUIRE(org.size() >= 3 && org[1] == ':' && org[2] == '\\' &&
                 std::string("ABCM").find(org[0]) != std::string::npos);
}

void checkname(const std::string& n) {
    FUZZ_REQUIRE(!n.empty() && n != "." && n != "..");
}

void checkentry(const sim::FsEntry& e) {
    checkinside(e.host);
    checkorg(e.org);
    for (const std::string& n : e.names) checkname(n);
}

// One line of input: an operation letter, then the path.
void runop(sim::SimFs& fs, char op, const std::string& path) {
    sim::OrgPath p;
    if (fs.parse(path, &p) == sim::kDone) {
        FUZZ_REQUIRE(std::string("abcm").find(p.drive) != std::string::npos);
        for (const std::string& n : p.parts) {
            checkname(n);
            FUZZ_REQUIRE(n.find('/') == std::string::npos && n.find('\0') == std::string::npos);
        }
    }
    sim::FsEntry e, parent;
    std::vector<std::string> names;
    if (op % 4 == 0 && fs.find(path, &e) == sim::kDone) {
        checkentry(e);
    } else if (op % 4 == 1 && fs.place_for_new(path, &parent, &e) == sim::kDone) {
        checkentry(parent);
        checkinside(e.host);
        checkorg(e.org);
    } else if (op % 4 == 2 && fs.list(path, &names) == sim::kDone) {
        for (const std::string& n : names) checkorg(n);
    } else if (op % 4 == 3) {
        fs.change_dir(path);
        checkorg(fs.cwd());
    }
}

}  // namespace

void simpathtarget(const uint8_t* data, std::size_t size) {
    static const bool made = maketree();
    if (!made) return;
    sim::SimFs fs(treeroot);
    std::size_t count = 0;
    for (const std::string& line : splitlines(bytes(data, size)))
        if (!line.empty() && ++count <= 32) runop(fs, line[0], line.substr(1));
}

}  // namespace fuzz
