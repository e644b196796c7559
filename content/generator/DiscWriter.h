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
// an answer that fails its check, std::runtime_error for everything else.
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
struct ProblemFormats {
  PictureFormat statement, figure, solution;
};
ProblemFormats FormatsFor(uint64_t seed, const std::string& code, int number);

// Writes everything; returns what was written.
DiscReport WriteDisc(const std::filesystem::path& dir, uint64_t seed);

}  // namespace qil::disc
