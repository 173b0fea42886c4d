// Playing a session from top to bottom: setting up files and the environment, running orvel
// against the simulator (or alone), and checking each run's output, wire and files.
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <set>

#include "harness.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kRunParts = {"args",   "sim",    "stdout", "screen", "stderr",
                                         "status", "frames", "bytes",  "stats"};
bool harness_failed = false;

class Session {
  public:
    explicit Session(const std::string& path)
        : path_(path), names_{fs::canonical(local_.path), home_.path, org_.root, "", ORVEL_BIN} {}
    ~Session() {
        served_.reset();
        for (const std::string& p : locked_) unlink(p.c_str());
        for (int fd : lockfds_) close(fd);
    }

    bool play(const std::vector<Directive>& ds) {
        for (std::size_t i = 0, end; i < ds.size(); i = end) {
            end = run_end(ds, i);
            if (ds[i].name == "run")
                end = run(ds, i, end);
            else if (kRunParts.count(ds[i].name))
                fail(ds[i], ds[i].name + " belongs to a run");
            else
                state(ds[i]);
        }
        return ok_;
    }

  private:
    void fail(const Directive& d, const std::string& what) {
        std::printf("%s:%d: %s\n", path_.c_str(), d.line, what.c_str());
        ok_ = false;
    }
    std::vector<std::string> words(const Directive& d, const std::string& raw) {
        std::string error;
        std::vector<std::string> w = expand_words(raw, names_, &error);
        if (!error.empty()) fail(d, error);
        return w;
    }
    std::string block(const Directive& d, bool joined = false) {
        std::string error, text = block_text(d.block, names_, &error, joined);
        if (!error.empty()) fail(d, error);
        return text;
    }
    // Fails with the difference; the actual text is shown with the session's names put back.
    void check_text(const Directive& d, const std::string& what, const std::string& want,
                    const std::string& got, std::string shown) {
        for (const auto& [value, name] : {std::pair{names_.cwd, "{CWD}"},
                                          {names_.home, "{HOME}"},
                                          {names_.device, "{DEVICE}"},
                                          {names_.orvel, "{ORVEL}"}})
            for (std::size_t at; !value.empty() && (at = shown.find(value)) != std::string::npos;)
                shown.replace(at, value.size(), name);
        const std::string diff = differences(what, want, got, shown);
        if (!diff.empty()) fail(d, diff);
    }
    std::string masked(std::string text) const {
        for (const auto& [pattern, with] : masks_) text = std::regex_replace(text, pattern, with);
        return text;
    }

    // The host path of PATH in PLACE: the organiser's root, orvel's working folder, its home,
    // or (with no place) a fixed path that the session has locked.
    std::string host(const Directive& d, const std::string& place, const std::string& path) {
        if (place == "organiser" || place == "local" || place == "home")
            return (place == "organiser" ? names_.root
                    : place == "local"   ? names_.cwd
                                         : names_.home) +
                   "/" + path;
        if (place.empty() && std::count(locked_.begin(), locked_.end(), path)) return path;
        fail(d, "no place " + place + " " + path + " (organiser, local, home or a locked path)");
        return "";
    }

    void state(const Directive& d) {
        if (d.name == "organiser" || d.name == "local" || d.name == "home") {
            make(d, d.name, words(d, d.rest));
        } else if (d.name.starts_with("/")) {
            std::vector<std::string> w = words(d, d.rest);
            w.insert(w.begin(), d.name);
            make(d, "", w);
        } else if (d.name == "env") {  // env NAME=VALUE (or NAME alone), in place of NAME's
            std::string entry, error = expand(d.rest, names_, &entry);
            if (!error.empty()) fail(d, error);
            std::erase_if(env_, [&](const std::string& e) {
                return e.substr(0, e.find('=')) == entry.substr(0, entry.find('='));
            });
            env_.push_back(entry);
        } else if (d.name == "serve") {
            served_ = std::make_unique<ServedSim>(org_.root, words(d, d.rest));
            names_.device = served_->pty;
        } else if (d.name == "lock") {
            lockfds_.push_back(
                open((d.rest + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666));
            if (flock(lockfds_.back(), LOCK_EX) != 0) fail(d, "cannot lock " + d.rest);
            unlink(d.rest.c_str());
            locked_.push_back(d.rest);
        } else if (d.name == "deadline") {
            deadline_ms_ = static_cast<int>(std::stod(d.rest) * 1000);
        } else if (d.name == "mask") {  // mask |REGEX|REPLACEMENT|, any first character as bar
            const std::size_t bar =
                d.rest.size() < 3 ? std::string::npos : d.rest.find(d.rest[0], 1);
            if (bar == std::string::npos || !d.rest.ends_with(d.rest[0]))
                return fail(d, "mask |REGEX|REPLACEMENT|");
            try {
                masks_.emplace_back(std::regex(d.rest.substr(1, bar - 1)),
                                    d.rest.substr(bar + 1, d.rest.size() - bar - 2));
            } catch (const std::regex_error& e) {
                fail(d, std::string("bad regular expression: ") + e.what());
            }
        } else if (d.name == "expect") {
            expect(d);
        } else {
            fail(d, "unknown directive " + d.name);
        }
    }

    // PLACE PATH [-> TARGET | random SIZE SEED | copy FOLDER | fifo] [mode=OCTAL]
    // [mtime=SECONDS], with the block as the file's bytes, in place of what was there; a PATH
    // ending in "/" is a folder; FOLDER (relative to the session file) is copied whole into PATH.
    void make(const Directive& d, const std::string& place, const std::vector<std::string>& w) {
        const std::string p = w.empty() ? "" : host(d, place, w[0]);
        if (p.empty()) return;
        std::error_code ignored;
        fs::create_directories(fs::path(p).parent_path(), ignored);
        if (w[0].ends_with("/")) {
            fs::create_directories(p, ignored);
        } else if (w.size() > 2 && w[1] == "copy") {
            const fs::path from = fs::path(path_).parent_path() / w[2];
            std::error_code error;
            fs::copy(from, p, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
                     error);
            if (error) fail(d, "cannot copy " + from.string() + ": " + error.message());
        } else if (fs::remove(p, ignored), w.size() > 2 && w[1] == "->") {  // never through a link
            if (symlink(w[2].c_str(), p.c_str()) != 0) fail(d, "cannot make the link " + p);
        } else if (w.size() > 1 && w[1] == "fifo") {
            if (mkfifo(p.c_str(), 0600) != 0) fail(d, "cannot make the FIFO " + p);
        } else {
            const std::string bytes = w.size() > 3 && w[1] == "random"
                                          ? random_bytes(std::stoul(w[2]), std::stoul(w[3]))
                                          : block(d);
            std::ofstream out(p, std::ios::binary);
            if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
                fail(d, "cannot write " + p);
        }
        for (const std::string& opt : w) {
            if (opt.starts_with("mode=")) chmod(p.c_str(), std::stoul(opt.substr(5), nullptr, 8));
            if (!opt.starts_with("mtime=")) continue;
            const struct timeval t = {std::stol(opt.substr(6)), 0}, times[2] = {t, t};
            utimes(p.c_str(), times);
        }
    }

    // expect PLACE PATH [absent | exists | contains | tree | mode OCTAL | random SIZE SEED]; a
    // PATH whose last part holds "*" or "?" names every match in its folder (at least one).
    void expect(const Directive& d) {
        std::vector<std::string> w = words(d, d.rest);
        if (!w.empty() && w[0].starts_with("/")) w.insert(w.begin(), "");
        if (w.size() < 2) return fail(d, "expect PLACE PATH [what]");
        expect_file(d, host(d, w[0], w[1]), w);
    }

    // A match is checked as it is named, never as a pattern again (a name may hold "*").
    void expect_file(const Directive& d, const std::string& p, const std::vector<std::string>& w,
                     bool pattern = true) {
        const std::string name = fs::path(p).filename();
        if (pattern && name.find_first_of("*?") != std::string::npos) {
            int matches = 0;
            for (const auto& e : fs::directory_iterator(fs::path(p).parent_path()))
                if (fnmatch(name.c_str(), e.path().filename().c_str(), 0) == 0)
                    ++matches, expect_file(d, e.path().string(), w, false);
            if (matches == 0) fail(d, "nothing matches " + p);
            return;
        }
        const std::string how = w.size() > 2 ? w[2] : "";
        struct stat st;
        const bool there = !p.empty() && lstat(p.c_str(), &st) == 0;
        if (p.empty() || how == "absent" || !there) {
            if (!p.empty() && there != (how != "absent"))
                fail(d, p + (there ? " is there" : " is missing"));
            return;
        }
        if (how == "mode" && w.size() > 3 && (st.st_mode & 07777) != std::stoul(w[3], nullptr, 8))
            fail(d, p + " has another mode");
        if (how == "exists" || how == "mode") return;
        const std::string got = how == "tree" ? tree(p) : slurp(p);
        if (how == "contains" && got.find(block(d)) == std::string::npos)
            fail(d, p + " does not contain the block; it holds:\n" + render(got));
        if (how == "contains") return;
        const std::string want = how == "random" && w.size() > 4
                                     ? random_bytes(std::stoul(w[3]), std::stoul(w[4]))
                                     : block(d);
        check_text(d, p, want, got, got.size() > 4000 ? "  (long)\n" : render(got));
    }

    // Every entry below `dir`, one a line: folders with "/", symbolic links with their target.
    std::string tree(const std::string& dir) const {
        std::vector<std::string> entries;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            entries.push_back(masked(e.path().lexically_relative(dir).string()) +
                              (e.is_symlink()     ? " -> " + fs::read_symlink(e.path()).string()
                               : e.is_directory() ? "/"
                                                  : "") +
                              "\n");
        std::sort(entries.begin(), entries.end());
        std::string all;
        for (const std::string& e : entries) all += e;
        return all;
    }

    // One run as its directives (from, to) say: orvel's spec and the transcript it is fed.
    struct Run {
        std::size_t from = 0, to = 0;
        RunSpec spec{};
        Transcript t{};
        bool alone = false, parallel = false;
        Screen screen{};            // a terminal run's
        std::string drive_error{};  // what the terminal never showed
    };

    // Where the directives of the run at `from` end (those of anything else: the next one).
    static std::size_t run_end(const std::vector<Directive>& ds, std::size_t from) {
        std::size_t end = from + 1;
        while (ds[from].name == "run" && end < ds.size() && kRunParts.count(ds[end].name)) ++end;
        return end;
    }

    // Plays the run at `from` (and, for a parallel one, the run after it at the same time, each
    // with a simulator of its own) and checks each. Returns where the runs' directives end.
    std::size_t run(const std::vector<Directive>& ds, std::size_t from, std::size_t to) {
        Run first = prepare(ds, from, to);
        if (!first.parallel) return verify(ds, first, execute(first)), to;
        if (to == ds.size() || ds[to].name != "run" || served_ || first.alone)
            return fail(ds[from], "parallel: a run with a simulator of its own, then another"), to;
        Run second = prepare(ds, to, run_end(ds, to));
        auto beside = std::async(std::launch::async, [&] { return execute(second); });
        verify(ds, first, execute(first));
        verify(ds, second, beside.get());
        return second.to;
    }

    // run [3.22] [alone] [stderr-terminal] [terminal=RxC] [file-size-limit=N] [stdout-full]
    // [parallel], then its parts.
    Run prepare(const std::vector<Directive>& ds, std::size_t from, std::size_t to) {
        const Directive& head = ds[from];
        const std::vector<std::string> opts = words(head, head.rest);
        auto has = [&](const char* opt) { return std::count(opts.begin(), opts.end(), opt) > 0; };
        Run run{.from = from, .to = to, .alone = has("alone"), .parallel = has("parallel")};
        RunSpec& spec = run.spec;
        spec = {.cwd = names_.cwd,
                .env = env_,
                .rev322 = has("3.22"),
                .timeout_ms = deadline_ms_,
                .stderr_terminal = has("stderr-terminal"),
                .stdout_full = has("stdout-full")};
        spec.env.push_back("HOME=" + names_.home);  // unless the session set its own
        for (const std::string& opt : opts) {
            if (opt.starts_with("file-size-limit="))
                spec.file_size_limit = std::stol(opt.substr(16));
            std::sscanf(opt.c_str(), "terminal=%dx%d", &spec.terminal_rows, &spec.terminal_columns);
        }
        const bool terminal = spec.terminal_rows > 0;
        if (terminal) spec.env.push_back("TERM=dumb");  // unless the session set its own
        if (spec.file_size_limit > 0 && !served_ && !run.alone)
            fail(head, "a file size limit needs serve (it would bind the simulator too)");
        run.t.error = terminal ? "a terminal run must say its screen" : "a run must say its stdout";
        for (std::size_t i = from + 1; i < to; ++i) {
            const Directive& d = ds[i];
            if (d.name == "args") spec.args = words(d, d.rest);
            if (d.name == "sim") spec.simargs = words(d, d.rest);
            if (d.name == "stdout" && !terminal) run.t = read_transcript(d.block, names_);
            if (d.name == "screen" && terminal)
                run.screen = read_screen(d.block, names_), run.t.error = run.screen.error;
        }
        if (!run.t.error.empty()) fail(head, run.t.error);
        spec.input = run.t.in;
        spec.root = org_.root;
        return run;
    }

    RunResult execute(Run& run) {
        RunResult r;
        const bool terminal = run.spec.terminal_rows > 0;
        if (terminal)
            run.spec.drive = [&](Proc& proc) {
                auto view = [&](const std::string& out) { return masked(screen_text(out)); };
                run.drive_error = drive_terminal(proc, run.screen, view, run.spec.timeout_ms);
                if (!run.drive_error.empty()) proc.send(SIGKILL);  // ends it at once
            };
        if (run.alone) {
            std::vector<std::string> argv = {run.spec.rev322 ? ORVEL322_BIN : ORVEL_BIN};
            argv.insert(argv.end(), run.spec.args.begin(), run.spec.args.end());
            Proc(argv, run.spec).finish(run.spec.timeout_ms, &r);
        } else if (terminal && !served_) {  // orvel the terminal's job, not the simulator's child
            r = ServedSim(org_.root, run.spec.simargs).run(run.spec);
        } else {
            r = served_ ? served_->run(run.spec) : run_orvel(run.spec);
        }
        // A prompt sent after orvel gave the line its echo back comes straight back: not orvel's.
        while (r.from_yal.ends_with(">\r\n")) r.from_yal.resize(r.from_yal.size() - 3);
        return r;
    }

    void verify(const std::vector<Directive>& ds, const Run& run, const RunResult& r) {
        const Directive& head = ds[run.from];
        const bool was_ok = ok_;
        int status = 0;
        if (!run.drive_error.empty()) fail(head, run.drive_error);
        for (std::size_t i = run.from + 1; i < run.to; ++i) check(ds[i], r, run, &status);
        if (r.timed_out) fail(head, "the run did not end within its deadline");
        if (r.status != status)
            fail(head, "exit status " + std::to_string(r.status) + ", expected " +
                           std::to_string(status));
        if (!ok_ && was_ok) std::printf("  standard error of the run:\n%s", render(r.err).c_str());
    }

    void check(const Directive& d, const RunResult& r, const Run& run, int* status) {
        std::string got;
        if (d.name == "status") {
            *status = std::stoi(d.rest);
        } else if (d.name == "stdout") {
            got = masked(r.out);
            check_text(d, "standard output", run.t.out, got, render_transcript(got, run.t));
        } else if (d.name == "screen") {
            got = masked(screen_text(r.out));
            check_text(d, "screen", run.screen.out, got, render_screen(got, run.screen));
        } else if (d.name == "stderr") {
            got = masked(r.err);
            check_text(d, "standard error", block(d), got, render(got));
        } else if (d.name == "frames") {
            for (const std::string& f : r.frames_from_yal()) got += f + "\n";
            check_text(d, "orvel's frames", block(d), got, render(got));
        } else if (d.name == "bytes") {
            got = d.rest == "to orvel" ? r.to_yal : r.from_yal;
            check_text(d, "bytes " + d.rest, block(d, true), got, render(got, true));
        } else if (d.name == "stats") {  // the counts named, as the simulator gave them
            std::string all;
            for (const auto& [key, value] : r.stats)
                all += key + " " + std::to_string(value) + "\n";
            for (const std::string& line : d.block) {
                const std::string key = line.substr(0, line.find(' '));
                got += key + " " + std::to_string(r.stat(key)) + "\n";
            }
            check_text(d, "simulator counts", block(d), got, render(all));
        }
    }

    std::string path_;
    OrganiserTree org_;
    TempDir local_, home_;
    Names names_;
    std::vector<std::string> env_;
    std::vector<std::pair<std::regex, std::string>> masks_;
    int deadline_ms_ = 30000;
    std::unique_ptr<ServedSim> served_;
    std::vector<std::string> locked_;
    std::vector<int> lockfds_;
    bool ok_ = true;
};

}  // namespace

bool play_session(const std::string& path) {
    std::vector<Directive> ds;
    const std::string error = parse_session(slurp(path), &ds);
    if (!error.empty()) std::printf("%s: %s\n", path.c_str(), error.c_str());
    harness_fail = [](const std::string& what) {
        std::printf("harness: %s\n", what.c_str());
        harness_failed = true;
    };
    return error.empty() && Session(path).play(ds) && !harness_failed;
}
