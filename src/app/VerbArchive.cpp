// The archive verbs of qilcd: pack a folder, list an archive, print one entry.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/Verbs.h"
#include "archive/ArchiveReader.h"
#include "archive/PackFolder.h"
#include "base/MemoryStream.h"
#include "mathdb/BankBuilder.h"

namespace qil::app {

namespace {

int BadArguments(const char* usage) {
  std::cerr << "usage: qilcd " << usage << std::endl;
  return 2;
}

// Opens an archive for inspection: any product ID is accepted.
void OpenForInspection(ArchiveReader& archive, const std::string& file_name) {
  archive.Open(file_name, std::string(), /*skip_product_check=*/true);
}

}  // namespace

int RunPack(const Args& args) {
  const char* usage = "pack SRC_DIR OUT_FILE [--product-id ID] [--content-key KEY]";
  PackOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--product-id" || arg == "--content-key") {
      if (i + 1 == args.size()) return BadArguments(usage);
      const std::string& value = args[++i];
      if (arg == "--product-id") {
        options.product_id = value;
      } else {
        options.content_key = value;
      }
    } else if (arg.rfind("--", 0) == 0) {
      return BadArguments(usage);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return BadArguments(usage);
  AddProblemBankToPacking(options);  // a problems/ folder becomes the data region
  PackFolder(positional[0], positional[1], options);
  return 0;
}

int RunList(const Args& args) {
  if (args.size() != 1) return BadArguments("ls ARCHIVE");
  ArchiveReader archive;
  OpenForInspection(archive, args[0]);
  std::string listing;
  for (const DirectoryEntry& entry : archive.Entries()) {
    listing += std::to_string(entry.Rec.Size) + '\t' + entry.Name + '\n';
  }
  std::cout << listing << std::flush;
  return std::cout ? 0 : 1;
}

int RunCat(const Args& args) {
  if (args.size() != 2) return BadArguments("cat ARCHIVE NAME");
  ArchiveReader archive;
  OpenForInspection(archive, args[0]);
  if (!archive.GetFileSize(args[1])) {
    std::cerr << "qilcd cat: no entry '" << args[1] << "' in " << args[0] << std::endl;
    return 1;
  }
  MemoryStream stream;
  archive.ReadFile(args[1], stream);
  if (std::fwrite(stream.Data(), 1, stream.Size(), stdout) != stream.Size() ||
      std::fflush(stdout) != 0) {
    std::cerr << "qilcd cat: cannot write to stdout" << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace qil::app
