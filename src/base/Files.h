// Whole files read and written in one go.
//
// ReadWholeFile answers a file's bytes. WriteFileReplacing writes bytes into
// a new file beside path (mode 0644), flushes it to the disk and renames it
// over path, so readers see the old file or the new one, never a part; on
// failure nothing is left behind. Both raise FileOpenError when the file
// cannot be opened or created and StreamError when it cannot be read or
// written. Safe from any thread for different paths.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qil {

std::string ReadWholeFile(const std::filesystem::path& path);

void WriteFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace qil
