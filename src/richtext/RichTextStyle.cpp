#include "richtext/RichTextStyle.h"

namespace qil {

RichTextStyle::RichTextStyle() {
  const auto text = [](const char* name, uint32_t color, bool bold, bool italic, bool underline, bool jump) {
    TextStyle style;
    style.name = name;
    style.color = color;
    style.bold = bold;
    style.italic = italic;
    style.underline = underline;
    style.jump = jump;
    return style;
  };
  TextStyles = {
      text("Normal text", 0x000000, false, false, false, false), text("Heading", 0x0000FF, true, false, false, false),
      text("Subheading", 0x000080, true, false, false, false),   text("Keywords", 0x800000, false, true, false, false),
      text("Jump 1", 0x008000, false, false, true, true),        text("Jump 2", 0x008000, false, false, true, true),
  };
  ParaStyles = {{"Paragraph Style", ParaStyle::Alignment::Left}, {"Centered", ParaStyle::Alignment::Center}};
}

}  // namespace qil
