#include "archive/ArchiveWriter.h"

#include <cstdint>
#include <limits>

#include "archive/ArchiveFormat.h"
#include "archive/Blowfish.h"
#include "base/Exceptions.h"
#include "base/Files.h"

namespace qil {

namespace {

// Appends bytes enciphered with cipher, padded with zero bytes to whole blocks.
void AppendEnciphered(std::string& out, std::string_view plain, Blowfish& cipher) {
  const size_t at = out.size();
  out.append(plain);
  out.resize(at + archive::RoundUp8(plain.size()), '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(out.data() + at);
  cipher.EncipherBlocks(bytes, bytes, (out.size() - at) / Blowfish::kBlockSize);
}

}  // namespace

void ArchiveWriter::SetProductId(std::string_view product_id) {
  if (product_id.size() > archive::kProductIdFieldSize ||
      product_id.find('\0') != std::string_view::npos) {
    throw PackError("The product ID must be at most 16 bytes without NUL.");
  }
  product_id_.assign(product_id);
}

void ArchiveWriter::SetContentKey(std::string_view key) {
  if (key.size() > archive::kMaxContentKeyLength || key.find('\0') != std::string_view::npos) {
    throw PackError("The content key must be at most 56 bytes without NUL.");
  }
  content_key_.assign(key);
}

void ArchiveWriter::AddEntry(std::string_view name, std::string bytes) {
  if (name.empty() || name.front() == '/' || name.find_first_of(std::string_view("\r\n\0", 3)) !=
                                                 std::string_view::npos) {
    throw PackError("Bad archive entry name '" + std::string(name) +
                    "': names are relative paths without line breaks or NUL.");
  }
  if (!names_.insert(std::string(name)).second) {
    throw PackError("Duplicate archive entry name '" + std::string(name) + "'.");
  }
  entries_.push_back({std::string(name), std::move(bytes)});
}

void ArchiveWriter::SetDataRegion(std::string plain) { data_region_ = std::move(plain); }

std::string ArchiveWriter::Build() const {
  std::string names;
  for (const Entry& entry : entries_) {
    names += entry.name;
    names += '\n';
  }

  // Layout: header, name block, record block, entries, data region; all 8-aligned.
  archive::ArchiveHeader header;
  header.names_offset = static_cast<uint32_t>(archive::RoundUp8(archive::kHeaderSize));
  uint64_t at = header.names_offset + archive::RoundUp8(names.size()) +
                entries_.size() * archive::kRecordSize;
  std::string records;
  for (const Entry& entry : entries_) {
    char record[archive::kRecordSize];
    StoreU32LE(static_cast<uint32_t>(at), record);
    StoreU32LE(static_cast<uint32_t>(entry.bytes.size()), record + 4);
    records.append(record, sizeof record);
    at += archive::RoundUp8(entry.bytes.size());
  }
  const uint64_t total = at + archive::RoundUp8(data_region_.size());
  // Every offset and size fits 32 bits when the whole file does.
  if (total > std::numeric_limits<uint32_t>::max()) {
    throw PackError("The archive would be larger than 4 GiB.");
  }
  header.names_length = static_cast<uint32_t>(names.size());
  header.file_count = static_cast<uint32_t>(entries_.size());
  header.data_offset = static_cast<uint32_t>(at);
  header.content_key = content_key_;
  header.product_id = product_id_;

  Blowfish cipher;
  std::string out;
  out.reserve(total);
  // The header's 16 whole blocks are enciphered; its 4-byte tail carries
  // nothing and is written as zero bytes, followed by padding to the name block.
  cipher.SetKey(archive::kHeaderKey);
  const size_t whole = archive::kHeaderSize / Blowfish::kBlockSize * Blowfish::kBlockSize;
  AppendEnciphered(out, std::string_view(header.Encode()).substr(0, whole), cipher);
  out.resize(header.names_offset, '\0');
  cipher.SetKey(archive::kNamesKey);
  AppendEnciphered(out, names, cipher);
  cipher.SetKey(archive::kRecordsKey);
  AppendEnciphered(out, records, cipher);
  cipher.SetKey(content_key_);
  for (const Entry& entry : entries_) AppendEnciphered(out, entry.bytes, cipher);
  AppendEnciphered(out, data_region_, cipher);
  return out;
}

void ArchiveWriter::WriteToFile(const std::string& path) const { WriteFileReplacing(path, Build()); }

}  // namespace qil
