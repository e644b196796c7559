// libFuzzer target: the problem bundle parser over arbitrary block bytes.
//
// Every input is parsed as one bundle block; a damaged block must raise
// DatabaseError and nothing else, and a sound one must give lines and
// file ranges that lie inside the block (ASan checks every read). The parsed
// files are looked up and read as the page operations would.
//
// fuzz/bundle_seed/ holds a sound bundle with three files. Build the library
// instrumented too (CMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined)
// and run: bundle_fuzz -max_total_time=60 CORPUS_DIR fuzz/bundle_seed
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mathdb/Bundle.h"
#include "mathdb/DatabaseError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string block(reinterpret_cast<const char*>(data), size);
  try {
    const qil::ProblemBundle bundle = qil::ProblemBundle::Parse(block);
    if (bundle.Lines().Count() < 2) std::abort();
    size_t total = 0;
    for (int file = 0; file < bundle.FileCount(); ++file) {
      const std::string_view bytes = bundle.FileData(file);
      if (bytes.size() > size) std::abort();
      for (char c : bytes) total += static_cast<unsigned char>(c);
    }
    const std::optional<std::string_view> page = bundle.FindFile("P.htm");
    if (page && page->size() > size) std::abort();
    volatile size_t sink = total;
    (void)sink;
  } catch (const qil::DatabaseError&) {
    // a damaged block: the expected outcome for most inputs
  }
  return 0;
}
