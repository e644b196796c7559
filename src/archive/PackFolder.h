// Packs a folder of content files into an archive (the `qilcd pack` verb).
//
// Every regular file under the source folder becomes an entry named by its
// path relative to the folder, with "/" separators; entries are added in
// byte-wise order of their names, so the same folder always gives the same
// archive. The output file itself is never packed, should it lie inside the
// folder. Errors raise qil::Exception (FileOpenError for unreadable files); the
// output file is then left as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveWriter.h"

namespace qil {

struct PackOptions {
  std::string product_id{ArchiveWriter::kDefaultProductId};
  std::optional<std::string> content_key;  // unset: the writer's default key
  // Relative paths for which this answers true are not packed as entries.
  std::function<bool(const std::string& relative_path)> skip;
  // Called after the entries were added and before the file is written: may
  // add further entries and set the data region.
  std::function<void(const std::filesystem::path& src_dir, ArchiveWriter& writer)> complete;
};

// The relative "/"-separated paths of the regular files under src_dir, sorted byte-wise.
std::vector<std::string> ListFolderFiles(const std::filesystem::path& src_dir);

// Packs src_dir into out_file as described above.
void PackFolder(const std::filesystem::path& src_dir, const std::filesystem::path& out_file,
                const PackOptions& options = {});

}  // namespace qil
