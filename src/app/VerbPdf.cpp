// The pdf verb: qilcd pdf --archive FILE --problems LIST [--key]
// [--paper a4|letter] [--title TEXT] OUT.pdf prints a worksheet of the
// disc's problems to PDF (SheetPdf.h), with its sheet code (SheetCode.h).
//
// LIST holds problem numbers as the disc prints them (position + 1),
// separated by commas. A comma also groups thousands ("1,020"), but only
// where the text cannot be read as two numbers: a group of three digits
// starting with 0 belongs to the number before it, so "1,020,7" is 1020 and
// 7, while "1,200" is 1 and 200. A worksheet the code cannot name (more than
// it lists, or a problem twice) is printed without a code, after a line on
// stderr saying why.
//
// Bad arguments and numbers beyond the disc end the verb with one line on
// stderr and exit code 2 before anything is written; OUT is written whole
// or not at all.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/Verbs.h"
#include "archive/ArchiveReader.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/SheetCode.h"
#include "sheetpdf/SheetPdf.h"

namespace qil::app {

namespace {

constexpr const char* kUsage =
    "usage: qilcd pdf --archive FILE --problems N,N,... [--key] [--paper a4|letter] [--title TEXT] OUT.pdf";

struct PdfArgs {
  std::string archive;
  std::string problems;
  std::string out;
  SheetPdfOptions options;
};

bool Fail(const std::string& message) {
  std::cerr << "qilcd pdf: " << message << std::endl;
  return false;
}

bool ParsePdfArgs(const Args& args, PdfArgs& out) {
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--key") {
      out.options.answerKey = true;
    } else if (arg == "--archive" || arg == "--problems" || arg == "--paper" || arg == "--title") {
      if (i + 1 >= args.size()) return Fail(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--archive") out.archive = value;
      if (arg == "--problems") out.problems = value;
      if (arg == "--title") out.options.title = value;
      if (arg == "--paper") {
        if (value != "a4" && value != "letter") return Fail("--paper takes a4 or letter, not '" + value + "'");
        out.options.paper = value == "a4" ? Paper::kA4 : Paper::kLetter;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option '" + arg + "'");
    } else {
      positional.push_back(arg);
    }
  }
  if (out.archive.empty() || out.problems.empty() || positional.size() != 1) return Fail(kUsage);
  out.out = positional[0];
  return true;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The problem numbers of list (see the file comment); nullopt after a line
// on stderr when list is not such a list.
std::optional<std::vector<int64_t>> ParseProblemNumbers(std::string_view list) {
  std::vector<int64_t> numbers;
  std::vector<size_t> digits;  // of each number so far, to know whether a group may follow
  bool grouped = false;        // the last number has thousands groups
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    std::string_view token = list.substr(start, comma - start);
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
    start = comma + 1;
    if (!AllDigits(token) || token.size() > 9) {
      Fail("'" + std::string(token) + "' in --problems is not a problem number");
      return std::nullopt;
    }
    const int64_t value = std::stoll(std::string(token));
    const bool group = token.size() == 3 && token[0] == '0' && !numbers.empty() &&
                       (grouped || digits.back() <= 3) && numbers.back() < 1'000'000;
    if (group) {
      numbers.back() = numbers.back() * 1000 + value;
      grouped = true;
    } else if (token[0] == '0') {
      Fail("'" + std::string(token) + "' in --problems is not a problem number");
      return std::nullopt;
    } else {
      numbers.push_back(value);
      digits.push_back(token.size());
      grouped = false;
    }
  }
  return numbers;
}

// The positions of numbers, all on the disc; nullopt after a line on stderr.
std::optional<std::vector<int32_t>> Positions(const std::vector<int64_t>& numbers, const MathDatabase& db) {
  std::vector<int32_t> positions;
  for (int64_t number : numbers) {
    if (number > db.RecordCount()) {
      Fail("problem " + FormatThousands(number) + " is not on this disc (it holds problems 1 to " +
           FormatThousands(db.RecordCount()) + ")");
      return std::nullopt;
    }
    positions.push_back(static_cast<int32_t>(number - 1));
  }
  return positions;
}

}  // namespace

int RunPdf(const Args& args) {
  PdfArgs parsed;
  if (!ParsePdfArgs(args, parsed)) return 2;
  const std::optional<std::vector<int64_t>> numbers = ParseProblemNumbers(parsed.problems);
  if (!numbers) return 2;
  ArchiveReader archive;
  LevelFoldingDatabase db;
  try {
    archive.Open(parsed.archive, std::string(), true);
    db.Load(archive);
  } catch (const std::exception& error) {
    Fail(parsed.archive + ": " + error.what());
    return 2;
  }
  const std::optional<std::vector<int32_t>> positions = Positions(*numbers, db);
  if (!positions) return 2;
  try {
    parsed.options.code = EncodeSheetCode(db, *positions);
  } catch (const SheetCodeError& error) {
    std::cerr << "qilcd pdf: the sheet is printed without a code: " << error.what() << std::endl;
  }
  WriteFileReplacing(parsed.out, WriteWorksheetPdf(db, *positions, parsed.options));
  return 0;
}

}  // namespace qil::app
