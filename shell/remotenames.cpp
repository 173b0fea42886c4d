// Organiser names for completion at the prompt, fetched once and kept while they hold.
#include "remotenames.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "ovmain.h"

namespace {

struct Cache {
    unsigned changes = 0;  // ovnamechanges when these were fetched
    std::map<std::string, std::vector<std::string>> folders;
    std::map<std::string, bool> isdir;
};
Cache cache;

// Organiser paths compare whatever their case.
std::string key(const std::string& path) {
    std::string k = path;
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

// Drops everything once the organiser's names may have changed.
void dropstale() {
    if (cache.changes == ovnamechanges) return;
    cache = Cache();
    cache.changes = ovnamechanges;
}

// Only between commands, and only for a path line that fits one frame.
bool mayask(const std::string& path) {
    return level == 0 && 3 + path.size() <= kMaxFrameText;
}

// The last components of the entries of one listing of `pattern`.
std::vector<std::string> fetchnames(const std::string& pattern) {
    std::vector<std::string> names;
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    if (!out) return names;
    if (ovsetpath(pattern) != kFailed) ovlp(out);
    std::fclose(out);
    std::string all(text, size);
    std::free(text);
    for (std::size_t at = 0, nl; (nl = all.find('\n', at)) != std::string::npos; at = nl + 1) {
        std::string entry = all.substr(at, nl - at);
        std::size_t cut = entry.rfind('\\');
        if (cut != std::string::npos) entry.erase(0, cut + 1);
        if (!entry.empty()) names.push_back(entry);
    }
    return names;
}

}  // namespace

const std::vector<std::string>& organisernames(const std::string& folder) {
    static const std::vector<std::string> none;
    dropstale();
    auto found = cache.folders.find(key(folder));
    if (found != cache.folders.end()) return found->second;
    if (!mayask(folder + "*")) return none;
    return cache.folders[key(folder)] = fetchnames(folder + "*");
}

bool organiserisdir(const std::string& path) {
    dropstale();
    auto found = cache.isdir.find(key(path));
    if (found != cache.isdir.end()) return found->second;
    if (!mayask(path) || ovsetpath(path) == kFailed) return false;
    int atts = ovgetatts();
    return cache.isdir[key(path)] = atts > 0 && (atts & kAttDir) != 0;
}
