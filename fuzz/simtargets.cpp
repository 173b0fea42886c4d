// The simulated organiser's fuzz targets: its frame parser, its data-line decoders and its
// organiser paths.
#include "simtargets.h"

#include <ftw.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "check.h"
#include "simframe.h"
#include "simfs.h"
#include "simresult.h"

namespace fuzz {

namespace {

std::string bytes(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// ---- simframe -----------------------------------------------------------------------------

void checkstream(const std::string& in) {
    sim::FrameParser parser;
    sim::FrameEvent first;
    bool seen = false;
    for (unsigned char c : in) {
        const sim::FrameEvent ev = parser.feed(c);
        if (ev.kind == sim::FrameEvent::kNone) continue;
        FUZZ_REQUIRE(!parser.in_frame());
        if (ev.kind == sim::FrameEvent::kFrame) {
            FUZZ_REQUIRE(ev.text.size() <= sim::kMaxText);
            FUZZ_REQUIRE(sim::parse_frame_bytes(sim::frame_body(ev.text)).text == ev.text);
        } else {
            FUZZ_REQUIRE(ev.text.empty());
        }
        if (!seen) first = ev;
        seen = true;
    }
    const sim::FrameEvent whole = sim::parse_frame_bytes(in);
    FUZZ_REQUIRE(whole.kind == (seen ? first.kind : sim::FrameEvent::kNone));
    FUZZ_REQUIRE(whole.text == (seen ? first.text : std::string()));
}

void checkframing(const std::string& text) {
    const std::string body = sim::frame_body(text);
    FUZZ_REQUIRE(body.size() == text.size() + 6);
    const sim::FrameEvent ev = sim::parse_frame_bytes(body);
    FUZZ_REQUIRE(ev.kind == sim::FrameEvent::kFrame && ev.text == text);
    const std::string padded = sim::frame_body(text, true);
    FUZZ_REQUIRE(padded.size() == body.size());
    if (text.empty()) return;
    std::string spoiled = body;
    spoiled[3] = static_cast<char>(spoiled[3] ^ 0x21);
    FUZZ_REQUIRE(sim::parse_frame_bytes(spoiled).kind == sim::FrameEvent::kBadChecksum);
}

}  // namespace

void simframetarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size);
    checkstream(in);
    checkframing(in.substr(0, sim::kMaxText));
}

// ---- simdata ------------------------------------------------------------------------------

namespace {

void checkdecoders(const std::string& in) {
    std::string out = "unchanged";
    if (sim::decode_letters(in, &out)) {
        FUZZ_REQUIRE(out.size() * 2 == in.size() && sim::encode_letters(out) == in);
    } else {
        FUZZ_REQUIRE(out == "unchanged");
    }
    out = "unchanged";
    if (sim::decode_hex(in, &out)) {
        FUZZ_REQUIRE(out.size() * 2 == in.size() && sim::encode_hex(out) == upper(in));
    } else {
        FUZZ_REQUIRE(out == "unchanged");
    }
    std::string plain, summed;
    if (sim::decode_get_line(in, false, &plain)) FUZZ_REQUIRE(sim::encode_letters(plain) == in);
    if (sim::decode_get_line(in, true, &summed)) {
        std::string sum;
        FUZZ_REQUIRE(sim::decode_hex(in.substr(0, 2), &sum));
        FUZZ_REQUIRE(static_cast<unsigned char>(sum[0]) == sim::text_sum(summed));
        FUZZ_REQUIRE(sim::encode_letters(summed) == in.substr(2));
    }
}

void checkencoders(const std::string& block) {
    std::string back;
    FUZZ_REQUIRE(sim::decode_letters(sim::encode_letters(block), &back) && back == block);
    char sum[3];
    std::snprintf(sum, sizeof sum, "%02X", sim::text_sum(block));
    back.clear();
    FUZZ_REQUIRE(sim::decode_get_line(sum + sim::encode_letters(block), true, &back));
    FUZZ_REQUIRE(back == block);
    const std::string plain = sim::encode_put_line(block, false);
    FUZZ_REQUIRE(sim::decode_hex(plain, &back) && back == block);
    const std::string good = sim::encode_put_line(block, true);
    const std::string bad = sim::encode_put_line(block, true, true);
    FUZZ_REQUIRE(good.substr(0, 2) == sum && good.substr(2) == plain);
    FUZZ_REQUIRE(bad.substr(2) == plain && bad.substr(0, 2) != sum);
}

}  // namespace

void simdatatarget(const uint8_t* data, std::size_t size) {
    const std::string in = bytes(data, size);
    checkdecoders(in);
    checkencoders(in.substr(0, 100));
}

// ---- simpath ------------------------------------------------------------------------------

namespace {

int removeentry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

std::string treeroot;  // the host tree, made once and removed at exit
std::string realroot;  // its real path, "/" appended

void removetree() {
    if (!treeroot.empty()) nftw(treeroot.c_str(), removeentry, 16, FTW_DEPTH | FTW_PHYS);
}

void touch(const std::string& name) {
    if (FILE* f = std::fopen(name.c_str(), "w")) std::fclose(f);
}

// a/ b/ c/ m/ with names in both cases, a read-only file and symbolic links that lead out.
void maketree(const std::string& root) {
    sim::SimFs fs(root);
    std::string err;
    if (fs.init(&err) != sim::kDone) return;
    mkdir((root + "/m/DOCS").c_str(), 0755);
    mkdir((root + "/m/docs").c_str(), 0755);
    mkdir((root + "/a/Sub").c_str(), 0755);
    mkdir((root + "/a/Sub/Deep").c_str(), 0755);
    touch(root + "/m/DOCS/NOTES.TXT");
    touch(root + "/m/Read.Me");
    touch(root + "/a/Sub/Deep/x.y");
    chmod((root + "/m/Read.Me").c_str(), 0444);
    if (symlink("/", (root + "/m/LINK").c_str()) != 0) return;
    if (symlink("../..", (root + "/m/DOCS/UP").c_str()) != 0) return;
}

const std::string& theroot() {
    if (treeroot.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvel-simfuzz-XXXXXX";
        if (mkdtemp(tmpl.data()) == nullptr) return treeroot;
        treeroot = tmpl;
        std::atexit(removetree);
        maketree(treeroot);
        char real[PATH_MAX];
        if (realpath(treeroot.c_str(), real) != nullptr) realroot = std::string(real) + "/";
    }
    return treeroot;
}

// The host path, where it exists, lies inside the root.
void checkinside(const std::string& host) {
    FUZZ_REQUIRE(host.compare(0, treeroot.size() + 1, treeroot + "/") == 0);
    char real[PATH_MAX];
    if (realpath(host.c_str(), real) == nullptr) return;
    FUZZ_REQUIRE(std::string(real).compare(0, realroot.size(), realroot) == 0);
}

void checkorg(const std::string& org) {
    FUZZ_REQUIRE(org.size() >= 3 && org[1] == ':' && org[2] == '\\');
    FUZZ_REQUIRE(org[0] == 'A' || org[0] == 'B' || org[0] == 'C' || org[0] == 'M');
}

void checkentry(const sim::FsEntry& e) {
    checkinside(e.host);
    checkorg(e.org);
    for (const std::string& n : e.names) FUZZ_REQUIRE(!n.empty() && n != "." && n != "..");
}

void checkparse(const sim::SimFs& fs, const std::string& path) {
    sim::OrgPath p;
    if (fs.parse(path, &p) != sim::kDone) return;
    FUZZ_REQUIRE(p.drive == 'a' || p.drive == 'b' || p.drive == 'c' || p.drive == 'm');
    for (const std::string& n : p.parts) {
        FUZZ_REQUIRE(!n.empty() && n != "." && n != "..");
        FUZZ_REQUIRE(n.find('/') == std::string::npos && n.find('\0') == std::string::npos);
    }
}

// One line of input: an operation letter, then the path.
void runop(sim::SimFs& fs, char op, const std::string& path) {
    sim::FsEntry e, parent;
    std::vector<std::string> names;
    checkparse(fs, path);
    switch (op % 4) {
        case 0:
            if (fs.find(path, &e) == sim::kDone) checkentry(e);
            break;
        case 1:
            if (fs.place_for_new(path, &parent, &e) != sim::kDone) break;
            checkentry(parent);
            checkinside(e.host);
            checkorg(e.org);
            break;
        case 2:
            if (fs.list(path, &names) != sim::kDone) break;
            for (const std::string& n : names) checkorg(n);
            break;
        default:
            fs.change_dir(path);
            checkorg(fs.cwd());
            break;
    }
}

}  // namespace

void simpathtarget(const uint8_t* data, std::size_t size) {
    if (theroot().empty() || realroot.empty()) return;
    sim::SimFs fs(treeroot);
    const std::string in = bytes(data, size);
    std::size_t start = 0, count = 0;
    while (start < in.size() && ++count <= 32) {
        std::size_t end = in.find('\n', start);
        if (end == std::string::npos) end = in.size();
        if (end > start) runop(fs, in[start], in.substr(start + 1, end - start - 1));
        start = end + 1;
    }
}

}  // namespace fuzz
