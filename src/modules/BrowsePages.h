// The browsing pages: problem lists, the problem and solution page, the goto
// and index pages, and the problem pictures.
//
// Each class is a page module that the module manager runs for one request
// (see framework/ModuleManager.h); start-up registers them under these template
// names:
//   ProblemListPage   "mathlist", "alsonaviga", "problem_lent" (it tells the
//                   three apart by its template's name)
//   ProblemPicturePage    "mathgfx"
//   SolutionPage    "solution"
//   IndexPage  "main"
//   GotoPage   "mathgoto"
// Every module works with the math database of its page context
// (PageContext.h) and keeps no state between requests; the problem page only
// reads the session's worksheet list ("ws").
//
// Errors: bad request values (a "start", "packet" or "id" that is not a
// decimal 32-bit number, a "start" that names no problem) and a template that
// lacks a section the module fills raise qil::Exception; the manager turns that into its error page. The goto page
// answers a bad number with a redirect to "gotoerror_h.html" instead, and the
// picture module answers an unknown picture with an empty body. Row and range
// arithmetic is done in 64 bits, so no request value can overflow it, and a
// list page never writes more than kPageSize rows.
//
// Request values that a page repeats are escaped for where the disc's
// templates put them (base/Escape.h): the list's "endpcode" (main + sub) lands
// in HTML text, an attribute and a link's path and is percent-encoded, which
// is safe in all three; the problem page's "id" lands in links and is
// percent-encoded. Every other slot is filled from the database or with
// numbers. Error messages that repeat request values are escaped by the
// manager's error page.
//
// Not thread-safe by themselves: the manager runs one request at a time.
#pragma once

#include <cstdint>
#include <string>

#include "modules/PageContext.h"

namespace qil {

class MathDatabase;

// Problems per list page.
inline constexpr int kPageSize = 25;
// Where the goto page sends the browser for a number that names no problem.
inline constexpr const char* kGotoErrorPage = "gotoerror_h.html";
// The script that answers the picture links of problem and solution pages.
inline constexpr const char* kGraphicsScript = "mathgfx.stmp";

// The list page (template "mathlist"), the level menu ("problem_lent") and
// the navigation bar ("alsonaviga") of one endpoint. The endpoint comes from
// "main" + "sub", or, when "main" is empty, from the problem numbered "start".
class ProblemListPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;

 private:
  void WriteList(MathDatabase& db, const std::string& endpoint, const std::string& packet);
  void WriteLevels(MathDatabase& db, const std::string& endpoint);
  void WriteNavigation(MathDatabase& db, const std::string& endpoint);
};

// One problem with its solution (template "solution"), parameter "id".
class SolutionPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

// The page that leads to the problem numbered "goto" (template "mathgoto").
class GotoPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

// The index page (template "main"): the range of problem numbers of every
// endpoint in the variables "range" + endpoint code.
class IndexPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

// One picture of a problem's bundle (template "mathgfx"), parameters "ID" and
// "gfx"; answered as "application/octet-stream".
class ProblemPicturePage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

}  // namespace qil
