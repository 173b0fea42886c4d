// Temporary folders, organiser trees, the two ways of running orvel (through the simulator in
// run mode, and against a simulator in serve mode), and the wire as the simulator's trace records
// it: "Y " (bytes from the workstation) and "T " (bytes it sent) C-escaped, one record per read
// or write, and "# " notes (skipped). The binaries come from the build (ORVEL_BIN,
// ORVEL322_BIN, SIM_BIN).
#include "harness.h"

#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#ifndef ORVEL322_BIN
#define ORVEL322_BIN ORVEL_BIN
#endif

namespace {

// Makes a folder writable and searchable before it is removed: a test may have taken the bits.
int make_writable(const char* path, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D || type == FTW_DNR) chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

const char* orvel_binary(const RunSpec& spec) {
    return spec.rev322 ? ORVEL322_BIN : ORVEL_BIN;
}

std::vector<std::string> plus(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Fills the wire bytes and counters from the trace (from byte `offset` on) and stats.
void fill_from_files(RunResult* r, const std::string& trace, const std::string& stats,
                     size_t offset) {
    std::string all = slurp(trace);
    r->trace = offset < all.size() ? all.substr(offset) : "";
    for (const auto& [who, bytes] : trace_records(r->trace))
        (who == 'Y' ? r->from_yal : r->to_yal) += bytes;
    std::istringstream counters(slurp(stats));
    std::string key;
    for (long value; counters >> key >> value;) r->stats[key] = value;
}

int hex_digit(char c) {
    const char* digits = "0123456789ABCDEF0123456789abcdef";
    const char* at = c ? std::strchr(digits, c) : nullptr;
    return at ? static_cast<int>(at - digits) % 16 : -1;
}

// Undoes the trace's escaping: "\\", "\n", "\r" and "\xHH".
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
        } else if (s[++i] == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i] == 'n' ? '\n' : s[i] == 'r' ? '\r' : s[i];
        }
    }
    return out;
}

}  // namespace

void (*harness_fail)(const std::string& what) = [](const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    path = std::string(base && *base ? base : "/tmp") + "/orvel-e2e-XXXXXX";
    if (mkdtemp(path.data()) == nullptr) harness_fail("harness: mkdtemp failed for " + path);
}

TempDir::~TempDir() {
    nftw(path.c_str(), make_writable, 16, FTW_PHYS);
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void TempDir::write(const std::string& rel, const std::string& bytes) {
    std::string name = file(rel);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(name).parent_path(), ignored);
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) harness_fail("harness: cannot write " + name);
}

std::string TempDir::read(const std::string& rel) {
    if (!exists(rel)) harness_fail("harness: missing file " + file(rel));
    return slurp(file(rel));
}

bool TempDir::exists(const std::string& rel) {
    struct stat st;
    return lstat(file(rel).c_str(), &st) == 0;
}

std::vector<std::string> TempDir::dot_names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path))
        if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename());
    return names;
}

OrganiserTree::OrganiserTree() {
    for (const char* drive : {"a", "b", "c", "m"}) mkdir(file(drive).c_str(), 0755);
}

RunResult run_orvel(const RunSpec& spec) {
    if (spec.root.empty()) harness_fail("harness: run_orvel needs an organiser root");
    TempDir files;
    std::vector<std::string> sim = {
        SIM_BIN,   "--root",           spec.root, "--trace", files.file("trace"),
        "--stats", files.file("stats")};
    RunResult r;
    Proc(plus(plus(sim, spec.simargs), plus({"--", orvel_binary(spec)}, spec.args)), spec)
        .finish(spec.timeout_ms, &r);
    fill_from_files(&r, files.file("trace"), files.file("stats"), 0);
    return r;
}

ServedSim::ServedSim(const std::string& root, std::vector<std::string> simargs, bool record) {
    std::vector<std::string> argv = {SIM_BIN, "--root", root};
    if (record) argv = plus(argv, {"--trace", dir_.file("trace"), "--stats", dir_.file("stats")});
    sim_ = std::make_unique<Proc>(plus(argv, simargs), RunSpec{.cwd = dir_.path});
    if (sim_->wait_until([&] { return sim_->out().find('\n') != std::string::npos; }, 10000))
        pty = sim_->out().substr(0, sim_->out().find('\n'));
    else
        harness_fail("harness: the simulator printed no device path: " + sim_->err());
}

ServedSim::~ServedSim() {
    sim_->send(SIGTERM);
    RunResult ignored;
    sim_->finish(3000, &ignored);  // kills the group if it lingers
}

size_t ServedSim::trace_size() {
    struct stat st;
    return stat(dir_.file("trace").c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

// The simulator traces what it reads a moment after orvel wrote it: wait until the trace has
// been still for 150 ms (at most 1.5 s).
void ServedSim::settle_trace() {
    size_t last = trace_size();
    for (int waited = 0, still = 0; waited < 1500 && still < 150; waited += 10, still += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (trace_size() != last) still = 0;
        last = trace_size();
    }
}

std::unique_ptr<Proc> ServedSim::start(const RunSpec& spec) {
    settle_trace();
    offset_ = trace_size();
    return std::make_unique<Proc>(plus({orvel_binary(spec), "-d", pty}, spec.args), spec);
}

RunResult ServedSim::collect(Proc& proc, int timeout_ms) {
    RunResult r;
    proc.finish(timeout_ms, &r);
    settle_trace();
    fill_from_files(&r, dir_.file("trace"), dir_.file("stats"), offset_);
    return r;
}

std::string ServedSim::err(int wait_ms) {
    sim_->wait_until([] { return false; }, wait_ms);
    return sim_->err();
}

RunResult ServedSim::run(const RunSpec& spec) {
    std::unique_ptr<Proc> proc = start(spec);
    if (spec.drive) spec.drive(*proc);
    return collect(*proc, spec.timeout_ms);
}

std::vector<std::pair<char, std::string>> trace_records(const std::string& trace) {
    std::vector<std::pair<char, std::string>> records;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);)
        if (line.size() >= 2 && line[1] == ' ' && (line[0] == 'Y' || line[0] == 'T'))
            records.emplace_back(line[0], unescape(line.substr(2)));
    return records;
}

// Frames are "$LL" text "$CC"; what lies between them are acknowledgements and prompts. Each
// direction is parsed as a stream, and a frame counts when its last byte has arrived.
std::vector<std::pair<char, std::string>> RunResult::frames() const {
    std::vector<std::pair<char, std::string>> frames;
    std::string from_yal, to_yal;
    for (const auto& [who, bytes] : trace_records(trace)) {
        std::string& s = (who == 'Y' ? from_yal : to_yal) += bytes;
        std::size_t i = 0;
        for (; i + 5 < s.size(); ++i) {
            int h = hex_digit(s[i + 1]), l = hex_digit(s[i + 2]), n = h * 16 + l;
            if (s[i] != '$' || h < 0 || l < 0) continue;
            if (i + n + 6 > s.size()) break;  // not all there yet
            if (s[i + 3 + n] != '$') continue;
            frames.emplace_back(who, s.substr(i + 3, n));
            i += n + 5;
        }
        s.erase(0, i);
    }
    return frames;
}

std::vector<std::string> RunResult::frames_from_yal() const {
    std::vector<std::string> texts;
    for (const auto& [who, text] : frames())
        if (who == 'Y') texts.push_back(text);
    return texts;
}

long RunResult::stat(const std::string& key) const {
    auto it = stats.find(key);
    return it == stats.end() ? 0 : it->second;
}
