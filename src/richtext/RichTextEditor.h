// The hidden rich-text editor that merges the RTF fragments of a clipboard copy.
//
// Every insertion goes to the end of the content, after the previous ones;
// saving writes the whole content as one RTF document:
//   {\rtf1\ansi\ansicpgN\deff0{\fonttbl...}{\colortbl;...}
//   {fragment 1}
//   {fragment 2} ...}
// with the fragments' font and colour tables merged and their references
// renumbered (RtfMerge.h tells what is kept, dropped and repaired). The code
// page is the first one a fragment names, else 1252; font 0 is the style
// sheet's default font. The saved document is balanced whatever the
// fragments were. Registered as the shared object "RichViewEdit".
// Not thread-safe: one owner (the browser window) drives it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/StringList.h"
#include "richtext/RichTextStyle.h"
#include "richtext/RtfMerge.h"

namespace qil {

class MemoryStream;

class RichTextEditor : public ListObject {
 public:
  // Without a style sheet the editor makes the default one.
  explicit RichTextEditor(std::shared_ptr<RichTextStyle> style = nullptr);

  const std::shared_ptr<RichTextStyle>& Style() const { return style_; }

  // Inserts the RTF held in stream from its position to its end after the
  // current content; the stream's position moves to its end. Any bytes are
  // accepted (text that is not an RTF document is taken as RTF body text);
  // answers true.
  bool InsertRTFFromStream(MemoryStream& stream);
  void InsertRTF(std::string_view rtf);

  // Writes the whole content as one RTF document at stream's position; answers true.
  bool SaveRTFToStream(MemoryStream& stream) const;
  std::string SaveRTF() const;

  // Empties the content and the merged tables.
  void Clear();

  // Number of fragments inserted since construction or the last Clear.
  int FragmentCount() const { return fragments_; }

 private:
  std::shared_ptr<RichTextStyle> style_;
  RtfTables tables_;
  std::string body_;
  int32_t codepage_ = 0;
  int fragments_ = 0;
};

}  // namespace qil
