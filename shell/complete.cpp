// Tab completion at the interactive prompt.
#include "complete.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "ovmain.h"
#include "owned.h"
#include "remotenames.h"
#include "textutil.h"

namespace {

bool isblankchar(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool samechar(char a, char b, bool ignorecase) {
    if (!ignorecase) return a == b;
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

bool beginswith(const std::string& text, const std::string& prefix, bool ignorecase = false) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (!samechar(text[i], prefix[i], ignorecase)) return false;
    return true;
}

// Names with control bytes (C1 controls in UTF-8 too) are never offered: they would reach the
// terminal as they are.
bool printable(const std::string& name) {
    return escapecontrols(name) == name;
}

// The words of `text`, as the dispatcher would cut them (leading blanks are passed over).
std::vector<std::string> wordsof(const std::string& text) {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < text.size();) {
        while (i < text.size() && isblankchar(text[i])) ++i;
        std::size_t from = i;
        while (i < text.size() && !isblankchar(text[i])) ++i;
        if (i > from) words.push_back(text.substr(from, i - from));
    }
    return words;
}

const ArgKinds* kindsof(const std::string& name) {
    for (int i = 0; i < kArgKindsCount; ++i)
        if (name == argkinds[i].name) return &argkinds[i];
    if (name.size() > 1 && name[0] == '!') return kindsof("!");  // "!cmd" runs as "! cmd"
    return nullptr;
}

// The kind of the word at `index` of a line whose words before it are `words`.
char kindat(const std::vector<std::string>& words, std::size_t index) {
    if (index == 0) return 'C';
    const ArgKinds* row = kindsof(words[0]);
    if (!row) return '-';
    const std::string kinds = row->kinds;
    std::size_t command = kinds.find('C');
    if (command != std::string::npos && index > command + 1)
        return kindat(
            std::vector<std::string>(words.begin() + static_cast<long>(command) + 1, words.end()),
            index - command - 1);
    if (index <= kinds.size() && kinds[index - 1] != '*') return kinds[index - 1];
    if (kinds.size() >= 2 && kinds.back() == '*') return kinds[kinds.size() - 2];
    return '-';
}

void addcommands(const std::string& prefix, Completion& c) {
    for (int i = 0; i < kCommandCount; ++i)
        if (beginswith(cmds[i].name, prefix)) c.candidates.push_back({cmds[i].name, ' '});
}

// Variable names of the current level, bare or as "[name]" words.
void addvariables(const std::string& prefix, bool bracketed, Completion& c) {
    for (const VarEntry* e = curlevel->entries.get(); e; e = e->next.get())
        if (beginswith(e->name, prefix))
            c.candidates.push_back({bracketed ? "[" + e->name + "]" : e->name, ' '});
}

void addlocal(const std::string& typed, Completion& c) {
    std::size_t slash = typed.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    const std::string prefix = typed.substr(dir.size());
    DirPtr d(opendir(dir.empty() ? "." : dir.c_str()));
    if (!d) return;
    while (const dirent* e = readdir(d.get())) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || !beginswith(name, prefix) || !printable(name)) continue;
        if (name[0] == '.' && prefix.empty()) continue;  // hidden unless asked for
        struct stat st;
        bool folder = stat((dir + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        c.candidates.push_back({dir + name, folder ? '/' : ' '});
    }
}

// Organiser names match whatever their case and are completed as the organiser stores them.
void addorganiser(const std::string& typed, Completion& c) {
    c.ignorecase = true;
    if (typed.size() == 2 && std::isalpha(static_cast<unsigned char>(typed[0])) &&
        typed[1] == ':') {
        c.candidates.push_back({typed + "\\", 0});  // a bare drive: its root
        return;
    }
    std::size_t slash = typed.rfind('\\');
    const std::string folder = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    const std::string prefix = typed.substr(folder.size());
    for (const std::string& name : organisernames(folder))
        if (beginswith(name, prefix, true) && printable(name))
            c.candidates.push_back({folder + name, 0});
    if (c.candidates.size() == 1)
        c.candidates[0].end = organiserisdir(c.candidates[0].text) ? '\\' : ' ';
}

}  // namespace

Completion completeline(const std::string& before) {
    Completion c;
    c.start = before.size();
    while (c.start > 0 && !isblankchar(before[c.start - 1])) --c.start;
    const std::string typed = before.substr(c.start);
    const std::vector<std::string> words = wordsof(before.substr(0, c.start));
    if (!typed.empty() && typed[0] == '[') {
        addvariables(typed.substr(1), true, c);
    } else {
        switch (kindat(words, words.size())) {
            case 'C':
                addcommands(typed, c);
                break;
            case 'V':
                addvariables(typed, false, c);
                break;
            case 'L':
                addlocal(typed, c);
                break;
            case 'O':
                addorganiser(typed, c);
                break;
        }
    }
    auto bytext = [](const Candidate& a, const Candidate& b) { return a.text < b.text; };
    auto sametext = [](const Candidate& a, const Candidate& b) { return a.text == b.text; };
    std::sort(c.candidates.begin(), c.candidates.end(), bytext);
    c.candidates.erase(std::unique(c.candidates.begin(), c.candidates.end(), sametext),
                       c.candidates.end());
    return c;
}

TabEdit tabedit(const std::string& typed, const Completion& completion) {
    TabEdit edit{typed};
    const std::vector<Candidate>& all = completion.candidates;
    if (all.empty()) return edit;
    if (all.size() == 1) {
        edit.replacement = all[0].text;
        if (all[0].end) edit.replacement += all[0].end;
        return edit;
    }
    std::string common = all[0].text;
    for (const Candidate& c : all) {
        std::size_t n = 0;
        while (n < common.size() && n < c.text.size() &&
               samechar(common[n], c.text[n], completion.ignorecase))
            ++n;
        common.resize(n);
    }
    if (common.size() > typed.size())
        edit.replacement = common;
    else
        edit.list = true;
    return edit;
}

std::string candidatename(const Candidate& candidate) {
    const std::string& text = candidate.text;
    std::size_t cut = text.find_last_of("/\\");
    std::string name =
        cut == std::string::npos || cut + 1 == text.size() ? text : text.substr(cut + 1);
    if (candidate.end == '/' || candidate.end == '\\') name += candidate.end;
    return name;
}
