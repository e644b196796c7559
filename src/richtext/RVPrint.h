// The print and print-preview components of the hidden rich-text editor.
//
// They sit on the browser window beside the editor and are registered as the
// shared objects "RVPrint" and "RVPrintPreview"; nothing in the engine prints,
// so they only hold their settings and the component they work on.
// Not thread-safe.
#pragma once

#include <memory>

#include "base/StringList.h"

namespace qil {

class TRichViewEdit;

class TRVPrint : public TObject {
 public:
  explicit TRVPrint(std::shared_ptr<TRichViewEdit> editor) : editor_(std::move(editor)) {}

  const std::shared_ptr<TRichViewEdit>& Editor() const { return editor_; }

  // Page margins in millimetres.
  int LeftMarginMM = 20;
  int TopMarginMM = 20;
  int RightMarginMM = 20;
  int BottomMarginMM = 20;

 private:
  std::shared_ptr<TRichViewEdit> editor_;
};

class TRVPrintPreview : public TObject {
 public:
  explicit TRVPrintPreview(std::shared_ptr<TRVPrint> print) : print_(std::move(print)) {}

  const std::shared_ptr<TRVPrint>& Print() const { return print_; }
  bool Visible = false;

 private:
  std::shared_ptr<TRVPrint> print_;
};

}  // namespace qil
