// The worksheet page modules: the user's own list of problems, kept in the
// default session for the length of a run.
//
// The worksheet is the session variable "ws": problem positions in plain
// decimal joined by "," ("12,45,300"; "" when empty). Every module reads it
// with GetVar (which creates it), works on a string list of its own and, when
// it changes the list, stores the list's comma text back with SetVar.
//
//   "wadd"      AddToWorksheetPage   appends the problem "id" (at most 25 by hand, no
//                              duplicates) and answers with an alert text
//   "edit1"     WorksheetEditorPage    removes, moves and clears entries, draws a random
//                              worksheet ("gensheet", once per token "rnd") and
//                              shows every entry with its problem page
//   "creator"   WorksheetCreatorPage     the generator form: problems per endpoint and level
//                              (and "wcount", the entries on the worksheet now)
//   "statistic" WorksheetStatisticsPage   worksheet problems per endpoint and level
//   "worksheet" WorksheetCounterPage the number of worksheet entries as digit images
//
// The modules work with the math database of their page context. Errors
// (a bad "id" for "wadd", an entry that is not a number, the generation error,
// a section missing from the template) are raised to the module manager, which
// answers with its error page behind whatever was written. Actions are compared
// exactly, letter case included; an unknown action only shows the list.
// Page modules are created per request and run on one thread at a time.
#pragma once

#include "modules/PageContext.h"

namespace qil {

// The most problems the user can add by hand; the generator is not limited.
inline constexpr int kMaxHandWorksheetEntries = 25;

class AddToWorksheetPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

class WorksheetEditorPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;

 private:
  // Writes the frame page whose "editparams" repeat the request as "gensheet":
  // the query of the frame's link, percent-encoded except for the "&" and "="
  // between the items.
  void WriteGenerationFrame();
};

class WorksheetCreatorPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

class WorksheetStatisticsPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

class WorksheetCounterPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

}  // namespace qil
