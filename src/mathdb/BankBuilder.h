// Builds the math database's data region from a problem bank in a folder.
//
// Source layout (see docs/problem-bank.md):
//   SRC_DIR/db/endpoints.txt           "CCC=Display name" per endpoint, in order
//   SRC_DIR/problems/<CODE>/<NUMBER>/  one folder per problem: CODE is the
//                                      3-character endpoint code and a level
//                                      "1".."4", NUMBER decimal digits giving
//                                      the order within endpoint and level;
//                                      it holds "P.htm", optionally "S.htm"
//                                      and the pictures ("M_image..." names)
// The data region holds the 32-byte header (version 3), the index, the
// counts list (one "CCC=N" line per endpoint, CR LF) and one bundle per
// problem; every block starts at an offset that is a multiple of 8, as the
// archive writer requires for blocks read back one by one. Records are in
// endpoint order (as in db/endpoints.txt), then level, then number, so each
// endpoint and each endpoint-and-level group lies at consecutive positions.
//
// Bad sources raise qil::Exception with a message naming the file or folder
// at fault. Stateless; safe from any thread for distinct folders.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qil {

struct PackOptions;

// The folder under SRC_DIR that holds the problems; it is not packed as entries.
inline constexpr const char* kProblemsFolder = "problems";

// True when src_dir has a problems/ folder.
bool HasProblemBank(const std::filesystem::path& src_dir);

// Reads the bank under src_dir and returns the data region's bytes.
std::string BuildProblemBank(const std::filesystem::path& src_dir);

// Extends folder packing (archive/PackFolder.h) so that a problems/ folder
// becomes the archive's data region instead of entries. Hooks already set in
// options still run. Without a problems/ folder packing is unchanged.
void AddProblemBankToPacking(PackOptions& options);

// A problem as found in the source folder: its code, its number text and its
// folder (the files are read when the bundle is laid out).
struct BankProblem {
  std::string code;
  std::string number;
  std::filesystem::path folder;
  std::vector<std::string> files;  // names, sorted by byte value
};

// The endpoint codes of db/endpoints.txt text, in order. Raises when a line
// is not "CCC=..." or a code is listed twice.
std::vector<std::string> ParseEndpointCodes(const std::string& endpoints_text);

// Orders problems for the index: endpoint order of codes, then level, then
// number (numeric). Raises for a problem whose endpoint is not listed or for
// two problems of one code with the same number.
void SortBankProblems(const std::vector<std::string>& endpoints, std::vector<BankProblem>& problems);

}  // namespace qil
