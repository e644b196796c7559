// libFuzzer target: ArchiveReader::Open and reads over arbitrary file bytes.
//
// The input is taken as the archive's plain view: the header, the name
// block and the record block are enciphered here with their fixed keys at the
// places the plain header names, so the fuzzer reaches the directory parsing
// instead of stopping at the enciphered magic. Entries stay as they are
// (they decipher to noise, which is fine). Reads that fail give up at once,
// as the headless platform declines every retry.
//
// fuzz/archive_seed/ holds a plain-view seed with three entries. Build the
// library instrumented too (CMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined)
// and run: archive_fuzz -max_total_time=60 CORPUS_DIR fuzz/archive_seed
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveReader.h"
#include "archive/Blowfish.h"

namespace {

// Enciphers the whole blocks of [at, at + length) that lie inside bytes.
void EncipherRegion(std::string& bytes, uint64_t at, uint64_t length, std::string_view key) {
  if (at >= bytes.size()) return;
  const uint64_t end = std::min<uint64_t>(at + qil::archive::RoundUp8(length), bytes.size());
  qil::Blowfish cipher;
  cipher.SetKey(key);
  auto* start = reinterpret_cast<uint8_t*>(bytes.data() + at);
  cipher.EncipherBlocks(start, start, (end - at) / 8);
}

std::string EncipherPlainView(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size < qil::archive::kHeaderSize) return bytes;
  const qil::archive::ArchiveHeader header = qil::archive::ArchiveHeader::Decode(data);
  const uint64_t records_at = uint64_t{header.names_offset} +
                              qil::archive::RoundUp8(header.names_length);
  EncipherRegion(bytes, records_at, uint64_t{header.file_count} * 8, qil::archive::kRecordsKey);
  EncipherRegion(bytes, header.names_offset, header.names_length, qil::archive::kNamesKey);
  EncipherRegion(bytes, 0, 128, qil::archive::kHeaderKey);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/qil_archive_fuzz_" + std::to_string(::getpid()) + ".dat";
  const std::string bytes = EncipherPlainView(data, size);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  struct RemoveFile {
    ~RemoveFile() { std::remove(path.c_str()); }
  } remove_file;

  qil::ArchiveReader archive;
  try {
    archive.Open(path, "QVRTLNDX100", true);
  } catch (const qil::Exception&) {
    return 0;
  }
  qil::MemoryStream stream;
  size_t reads = 0;
  // Open checked every record against the file, so every entry that can be
  // named must read whole: a failure here is a bug.
  for (const qil::DirectoryEntry& entry : archive.Entries()) {
    if (++reads > 64) break;
    if (entry.Name.empty() || entry.Name.front() == '/') continue;  // not reachable by name
    const std::optional<uint32_t> entry_size = archive.GetFileSize(entry.Name);
    if (!entry_size) __builtin_trap();
    archive.ReadFile(entry.Name, stream);
    if (stream.Size() != *entry_size) __builtin_trap();
  }
  for (uint32_t offset : {0u, 8u, 0xfffffff8u}) {
    try {
      archive.ReadBlock(offset, 100, "", stream);
    } catch (const qil::Exception&) {
    }
  }
  return 0;
}
