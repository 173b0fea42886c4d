// Which organiser names may become local paths. Names read from the organiser (a listing, a tree
// walk) are data: one function decides whether such a name may become a file or folder below a
// local target folder, and wildcard get, the backup walk and rlist all ask it. Pure but for
// refusename, which reports a refusal; nothing here talks to the organiser or touches files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Why an organiser path may not become a local name (kFits: it may).
enum class NameCheck { kFits, kEmptyName, kDotName, kSlash, kNul, kSelf, kOutside };

// Whether organiser path `path` names a member of organiser folder `folder` whose name may become
// a local file name. The path's components (separated by single backslashes) must each be
// neither empty nor "." nor "..", and hold no "/" and no NUL; its components before the last
// must be those of `folder`, compared whole as the organiser compares names (ASCII case
// ignored); kSelf when it is `folder` itself. An empty `folder` has no components, so any
// one-component path is a member. On kFits `name` gets the last component; otherwise it is left
// unchanged.
NameCheck orvelmember(std::string_view path, std::string_view folder, std::string* name);

// The components of organiser path `path`, separated by single backslashes; none for "".
std::vector<std::string_view> orvelcomponents(std::string_view path);

// True when two organiser names are the same name to the organiser: equal but for ASCII case.
bool sameorvelname(std::string_view a, std::string_view b);

// The folder part of `path`: all before its last backslash, or "" when it holds none.
std::string orvelfolder(std::string_view path);

// True when `folder` names a folder by its full path, as listings name entries: a device ("m:")
// and plain names, none of them "." or ".." or holding "*". Only such a folder can be compared
// with what a listing names; any other is learned from the listing (see orvelmember).
bool fullorvelfolder(std::string_view folder);

// Reports a refused name on standard output, "Error, refused orvel name %s: %s, skipped", the
// name and the folder escaped as on a terminal, and notes that the command has failed. Returns.
void refusename(const std::string& path, NameCheck why, const std::string& folder);
