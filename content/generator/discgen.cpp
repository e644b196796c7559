// discgen: writes the generated part of the demo disc's source tree.
//
//   discgen OUT_DIR [--seed N]
//
// Exit status 0 on success; 1 with a message on stderr when an answer fails
// its check, a problem breaks a rule of Rules.h (the message names the rule,
// the problem's code and number, and its statement) or anything cannot be
// written; 2 on bad arguments.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include "DiscWriter.h"

int main(int argc, char** argv) {
  std::string out;
  uint64_t seed = 1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      char* end = nullptr;
      std::string value = argv[++i];
      seed = std::strtoull(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0') {
        std::cerr << "discgen: the seed must be a whole number: " << value << "\n";
        return 2;
      }
    } else if (out.empty() && !arg.empty() && arg[0] != '-') {
      out = arg;
    } else {
      std::cerr << "usage: discgen OUT_DIR [--seed N]\n";
      return 2;
    }
  }
  if (out.empty()) {
    std::cerr << "usage: discgen OUT_DIR [--seed N]\n";
    return 2;
  }
  try {
    auto start = std::chrono::steady_clock::now();
    qil::disc::DiscReport report = qil::disc::WriteDisc(out, seed);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "discgen: " << report.problems << " problems in " << report.topics << " topics, pictures:";
    for (const auto& [ext, count] : report.pictures) std::cout << " " << count << " " << ext;
    std::cout << " (" << report.vectorMetafiles << " metafiles of them vector)";
    std::cout << "; made again as repeats:";
    for (const auto& [kind, count] : report.redrawn) std::cout << " " << count << " by " << kind;
    std::cout << "; " << report.bytes / 1024 << " KiB in " << seconds << " s\n";
  } catch (const std::exception& e) {
    std::cerr << "discgen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
