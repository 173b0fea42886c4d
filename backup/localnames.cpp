// The one decision on organiser names that become local paths, and its message.
#include "localnames.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "failure.h"
#include "textutil.h"

namespace {

NameCheck checkname(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) return NameCheck::kNul;
    if (name.find('/') != std::string_view::npos) return NameCheck::kSlash;
    if (name.empty()) return NameCheck::kEmptyName;
    if (name == "." || name == "..") return NameCheck::kDotName;
    return NameCheck::kFits;
}

}  // namespace

std::vector<std::string_view> orvelcomponents(std::string_view path) {
    std::vector<std::string_view> parts;
    if (path.empty()) return parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('\\', start);
        parts.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

bool sameorvelname(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

NameCheck orvelmember(std::string_view path, std::string_view folder, std::string* name) {
    const std::vector<std::string_view> parts = orvelcomponents(path);
    if (parts.empty()) return NameCheck::kEmptyName;
    for (std::string_view part : parts) {
        const NameCheck check = checkname(part);
        if (check != NameCheck::kFits) return check;
    }
    const std::vector<std::string_view> home = orvelcomponents(folder);
    auto within = [&](std::size_t count) {
        if (count != home.size()) return false;
        for (std::size_t i = 0; i < count; ++i)
            if (!sameorvelname(parts[i], home[i])) return false;
        return true;
    };
    if (within(parts.size())) return NameCheck::kSelf;
    if (!within(parts.size() - 1)) return NameCheck::kOutside;
    *name = parts.back();
    return NameCheck::kFits;
}

std::string orvelfolder(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? std::string_view()
                                                       : path.substr(0, slash));
}

bool fullorvelfolder(std::string_view folder) {
    const std::vector<std::string_view> parts = orvelcomponents(folder);
    if (parts.empty() || parts[0].size() != 2 || parts[0][1] != ':') return false;
    if (!std::isalpha(static_cast<unsigned char>(parts[0][0]))) return false;
    for (std::size_t i = 1; i < parts.size(); ++i)
        if (checkname(parts[i]) != NameCheck::kFits || parts[i].find('*') != std::string_view::npos)
            return false;
    return true;
}

void refusename(const std::string& path, NameCheck why, const std::string& folder) {
    std::string reason;
    switch (why) {
        case NameCheck::kEmptyName:
            reason = "it holds an empty name";
            break;
        case NameCheck::kDotName:
            reason = "it holds a name . or ..";
            break;
        case NameCheck::kSlash:
            reason = "it holds a /";
            break;
        case NameCheck::kNul:
            reason = "it holds a NUL byte";
            break;
        case NameCheck::kSelf:
            reason = "it is the folder being listed";
            break;
        case NameCheck::kOutside:
        case NameCheck::kFits:
            reason = "it is not in folder " + shown(folder);
            break;
    }
    std::printf("Error, refused orvel name %s: %s, skipped\n", shown(path).c_str(), reason.c_str());
    notefailure();
}
