// Writes the generated part of the disc's source tree.
//
// Layout under the output directory:
//   problems/<CODE>/<NUMBER>/P.htm, S.htm and the pictures (names with "M_image")
//   db/endpoints.txt, db/menuid.txt     the topic list and the title-page map
//   topics/<CCC>.htm                    one title page per topic
//   images/szamok_problem/n0.jpg..n9.jpg, nv.jpg; images/szamok/n0.jpg..n9.jpg
//   about.jpg
// The same seed writes the same bytes. Files already in the directory are
// overwritten, others are left alone. Errors raise exceptions: CheckFailed for
// an answer that fails its check, RuleBroken (Rules.h) for a problem that
// breaks a rule or a figure whose edge cuts a label, std::runtime_error for
// everything else.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Bank.h"
#include "Pictures.h"

namespace qil::disc {

struct DiscReport {
  int problems = 0;
  int topics = 0;
  std::map<std::string, int> pictures;  // extension -> number of problem pictures
  int vectorMetafiles = 0;              // those of them that are vector metafiles
  std::map<std::string, int> redrawn;   // problems made again because they repeated one, by kind of repeat
  uint64_t bytes = 0;                   // all files written
};

// One picture of a problem page, as the page refers to it.
struct PagePicture {
  std::string name;  // "M_image1.png"
  int width = 0;
  int height = 0;
  std::string alt;  // ASCII
};

// The HTML fragment of a problem or solution page: the pictures one under another.
std::string ProblemPageHtml(const std::string& cssClass, const std::vector<PagePicture>& pictures);
// The title page of a topic.
std::string TopicPageHtml(const Topic& topic, const std::string& groupName);
// The formats of the statement, figure and solution pictures of one problem.
// A statement or solution in WMF or WMZ is a vector metafile (its text runs and
// lines as records) when its flag is set, else a bitmap inside a metafile.
struct ProblemFormats {
  PictureFormat statement, figure, solution;
  bool vectorStatement = false, vectorSolution = false;
};
// Vector metafiles go to sheets with formulas (formulaStatement, formulaSolution:
// fractions, roots, Greek letters or operators), as an equation editor would write them.
ProblemFormats FormatsFor(uint64_t seed, const std::string& code, int number, bool formulaStatement,
                          bool formulaSolution);
// Whether a sheet has stacked fractions, roots or characters of the Symbol font.
bool HasFormulas(const Sheet& sheet);

// Writes everything; returns what was written.
DiscReport WriteDisc(const std::filesystem::path& dir, uint64_t seed);

}  // namespace qil::disc
