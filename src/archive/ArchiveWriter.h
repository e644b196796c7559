// Builds content archives in the format the reader opens (ArchiveFormat.h).
//
// Entries are named relative paths ("/" separators, no leading "/"), each
// stored 8-aligned and enciphered with the content key. The data region is
// enciphered as one ECB stretch from DataOffset on, so any block that starts
// at a multiple of 8 within the region can be read back with ReadBlock:
// whoever lays out the region must align its blocks at 8.
//
// Rejected with qil::Exception: empty names, names with a leading "/", CR,
// LF or NUL (they would break the name block), duplicate names (ignoring
// case), content keys over 56 bytes or holding NUL, product IDs over 16 bytes
// or holding NUL, archives over 4 GiB. A content key of 0 to 7 bytes selects
// the unkeyed cipher, as it does for the reader.
//
// WriteToFile writes a temporary file in the target's folder and renames it
// into place: the target is either left untouched or fully written.
// Not thread-safe.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "base/Text.h"

namespace qil {

// A folder, name or size the writer refuses ("Duplicate archive entry name ...").
class PackError : public Exception {
 public:
  using Exception::Exception;
};

class ArchiveWriter {
 public:
  static constexpr std::string_view kDefaultProductId = "QVRTLNDX100";
  static constexpr std::string_view kDefaultContentKey = "Orvella demo disc content";

  void SetProductId(std::string_view product_id);
  void SetContentKey(std::string_view key);
  const std::string& ProductId() const { return product_id_; }
  const std::string& ContentKey() const { return content_key_; }

  // Adds an entry; entries keep the order they were added in.
  void AddEntry(std::string_view name, std::string bytes);
  // The plain bytes of the whole data region (replacing any earlier one).
  void SetDataRegion(std::string plain);
  size_t EntryCount() const { return entries_.size(); }

  // The complete archive file.
  std::string Build() const;
  // Build() written to path through a temporary file; raises FileOpenError or
  // StreamError when the file cannot be written.
  void WriteToFile(const std::string& path) const;

 private:
  struct Entry {
    std::string name;
    std::string bytes;
  };
  struct LessIgnoringCase {
    bool operator()(const std::string& a, const std::string& b) const {
      return CompareText(a, b) < 0;
    }
  };

  std::string product_id_{kDefaultProductId};
  std::string content_key_{kDefaultContentKey};
  std::vector<Entry> entries_;
  std::set<std::string, LessIgnoringCase> names_;
  std::string data_region_;
};

}  // namespace qil
