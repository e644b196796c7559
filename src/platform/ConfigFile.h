// The program's configuration: lines "name=value" in plain text files.
//
// Blanks around names and values are ignored, as are empty lines and lines
// starting with "#" or ";". Names are matched ignoring letter case; within
// one file the last line for a name wins. Files are searched in the order
// given: the first file that has the name answers, so a user's file comes
// before the machine's. A missing or unreadable file has no values.
//
// Pure functions over the files; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qil {

// The value of name in the first of files that has it; nullopt when none has.
std::optional<std::string> ReadConfigValue(const std::vector<std::string>& files,
                                           const std::string& name);

// The desktop program's configuration files, the user's first:
// $XDG_CONFIG_HOME/brenlowe/orvella.conf (or ~/.config/...), then
// /etc/brenlowe/orvella.conf.
std::vector<std::string> ConfigFiles();

}  // namespace qil
