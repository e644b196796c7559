// File-name helpers shared by the content server and the module manager.
//
// Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace qil {

// The extension of a name: the text from its last "." to the end, provided no
// "\" and no ":" follows that "."; "" otherwise. A "/" does not end the
// search, so the extension of "v1.2/readme" is ".2/readme".
std::string ExtractFileExt(std::string_view name);

}  // namespace qil
