#include "archive/PackFolder.h"

#include <algorithm>
#include <system_error>

#include "base/Exceptions.h"
#include "base/Files.h"

namespace qil {

namespace fs = std::filesystem;

namespace {

}  // namespace

std::vector<std::string> ListFolderFiles(const fs::path& src_dir) {
  std::error_code error;
  if (!fs::is_directory(src_dir, error)) {
    throw PackError("Not a folder: " + src_dir.string());
  }
  std::vector<std::string> names;
  fs::recursive_directory_iterator it(src_dir, error), end;
  for (; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) {
      names.push_back(it->path().lexically_relative(src_dir).generic_string());
    }
  }
  if (error) throw PackError("Cannot list folder " + src_dir.string() + ": " + error.message());
  std::sort(names.begin(), names.end());
  return names;
}

void PackFolder(const fs::path& src_dir, const fs::path& out_file, const PackOptions& options) {
  ArchiveWriter writer;
  writer.SetProductId(options.product_id);
  if (options.content_key) writer.SetContentKey(*options.content_key);
  for (const std::string& name : ListFolderFiles(src_dir)) {
    const fs::path path = src_dir / name;
    std::error_code error;
    if (fs::equivalent(path, out_file, error)) continue;
    if (options.skip && options.skip(name)) continue;
    writer.AddEntry(name, ReadWholeFile(path));
  }
  if (options.complete) options.complete(src_dir, writer);
  writer.WriteToFile(out_file.string());
}

}  // namespace qil
