// The clipboard page: copies one problem, or the whole worksheet, to the
// clipboard as an RTF document, and answers with the template's section "resp".
//
// Start-up registers ClipboardPage under the template name "clipbo". The
// URL item "type" (exact text) chooses what is copied:
//   "p" (also when missing or empty), "s", "b"
//       the problem "id" (decimal text of its position), through the section
//       "copy_pr", "copy_sol" or "copy_pr_sol". All three convert every
//       picture of the problem and of the solution; the section's text
//       decides what the document shows.
//   any other text T
//       the worksheet (session variable "ws"): the section T + "_head", then
//       T + "_body" once per entry, then "copyright", each generated as an RTF
//       fragment and merged by the hidden rich-text editor (shared object
//       "RichViewEdit"), which saves them as one document. "cl_pr" and
//       "cl_pr_num" convert the problem pictures, "cl_sol" the solution
//       pictures, "cl_w_sol" both, any other type none.
// Slots set: "productname" (single section, worksheet head), "num" (problem
// number with thousands separators), "wnum" (1-based place on the worksheet,
// bodies only), "level", "endpname", "problem" and "solution" (the picture
// groups of PictureToRTF.h, one per converted picture, in file-name order).
//
// Guarantees:
//  - The editor is emptied before every worksheet copy and after it, so a
//    document never carries the content of an earlier copy.
//  - Every section a copy needs ("resp" included) is looked up before
//    anything is copied; a missing one fails the request with the template
//    error and leaves the clipboard as it was.
//  - A request that fails for any reason (an "id" or worksheet entry that is
//    not a decimal number, a raster picture that cannot be decoded, a missing
//    shared object, a clipboard that refuses the document) changes nothing on
//    the clipboard; the module manager answers with its error page.
// Created per request; runs on one thread at a time like every page module.
#pragma once

#include <string>
#include <string_view>

#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "modules/PageContext.h"

namespace qil {

class MathDatabase;
class RichTextEditor;

// Puts text on the clipboard as an RTF document. text is read as a
// zero-terminated string: the document is its bytes before the first zero
// byte, or all of them when it holds none. Raises qil::Exception "Cannot open
// clipboard" when the platform refuses the document.
void CopyRTFToClipboard(Platform& platform, std::string_view text);

class ClipboardPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;

 private:
  // Inserts text as one RTF fragment after the editor's content.
  void AppendFragment(RichTextEditor& editor, std::string_view text);
  void CopyProblem(MathDatabase& db, TemplateSection& section, const std::string& id);
  void CopyWorksheet(MathDatabase& db, const std::string& type);
  // Fills the problem and solution picture lists with the pictures of the
  // problem id: those of the problem page when problem_part, those of the
  // solution page when solution_part.
  void ConvertPictures(MathDatabase& db, const std::string& id, bool problem_part,
                       bool solution_part);
  // Sets the slots that the single section and each worksheet body share.
  void SetProblemSlots(MathDatabase& db, TemplateSection& section, const std::string& id);

  MemoryStream fragment_;  // one fragment on its way into the editor
  MemoryStream graphic_;   // one picture file on its way to PictureToRTF
  StringList names_;       // "p," / "s," lines of one problem's pictures
  StringList problem_pictures_;
  StringList solution_pictures_;
};

}  // namespace qil
