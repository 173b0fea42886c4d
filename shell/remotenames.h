// Organiser names for completion at the prompt. A folder is listed with the ordinary listing
// exchange ("sp FOLDER*", then "lp") the first time its names are wanted, and kept until the
// organiser's names may have changed (ovnamechanges moved). Nothing is fetched while a command
// runs: only the prompt's editor calls these, and only at the outermost level.
#pragma once

#include <string>
#include <vector>

// The names in the organiser folder `folder` (empty for the organiser's current directory,
// otherwise ending in a backslash), as the organiser stores them. Empty when the folder
// cannot be listed, when a command is running, or when the listing would not fit one frame.
const std::vector<std::string>& organisernames(const std::string& folder);

// True when the organiser says `path` is a folder: one "ft" query, kept like the listings.
// False when it is a file, when it cannot be asked, or when a command is running.
bool organiserisdir(const std::string& path);
