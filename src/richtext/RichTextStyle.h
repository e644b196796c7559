// The style sheet of the hidden rich-text editor.
//
// It holds the browser window's design-time styles: six text styles, all in
// Arial ("Normal text", "Heading" bold blue, "Subheading" bold navy,
// "Keywords" italic maroon, "Jump 1" and "Jump 2" underlined green
// hyperlinks) and two paragraph styles ("Paragraph Style", "Centered"). The
// editor takes its default font from the first text style. Registered as the
// shared object "RVStyle"; a plain data holder, not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/StringList.h"

namespace qil {

class RichTextStyle : public ListObject {
 public:
  struct TextStyle {
    std::string name;
    std::string font_name = "Arial";
    uint32_t color = 0x000000;  // 0xRRGGBB
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool jump = false;  // a hyperlink style
  };
  struct ParaStyle {
    enum class Alignment { Left, Center };
    std::string name;
    Alignment alignment = Alignment::Left;
  };

  RichTextStyle();

  std::vector<TextStyle> TextStyles;
  std::vector<ParaStyle> ParaStyles;
};

}  // namespace qil
