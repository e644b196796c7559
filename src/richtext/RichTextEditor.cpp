#include "richtext/RichTextEditor.h"

#include "base/Convert.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

constexpr int32_t kDefaultCodePage = 1252;

RtfTables::Font DefaultFont(const RichTextStyle& style) {
  RtfTables::Font font;
  font.family = "fswiss";
  font.charset = 0;
  font.name = style.TextStyles.empty() ? "Arial" : style.TextStyles.front().font_name;
  return font;
}

}  // namespace

RichTextEditor::RichTextEditor(std::shared_ptr<RichTextStyle> style)
    : style_(style ? std::move(style) : std::make_shared<RichTextStyle>()), tables_(DefaultFont(*style_)) {}

bool RichTextEditor::InsertRTFFromStream(MemoryStream& stream) {
  const std::string_view bytes = stream.View();
  if (stream.Position() < bytes.size()) InsertRTF(bytes.substr(stream.Position()));
  stream.SetPosition(bytes.size());
  return true;
}

void RichTextEditor::InsertRTF(std::string_view rtf) {
  const int32_t codepage = MergeRtfFragment(rtf, tables_, body_);
  if (codepage_ == 0) codepage_ = codepage;
  ++fragments_;
}

std::string RichTextEditor::SaveRTF() const {
  const int32_t codepage = codepage_ > 0 ? codepage_ : kDefaultCodePage;
  return "{\\rtf1\\ansi\\ansicpg" + IntToStr(codepage) + "\\deff0" + tables_.FontTableRtf() + tables_.ColorTableRtf() +
         "\r\n" + body_ + "}";
}

bool RichTextEditor::SaveRTFToStream(MemoryStream& stream) const {
  stream.Write(SaveRTF());
  return true;
}

void RichTextEditor::Clear() {
  tables_.Reset();
  body_.clear();
  codepage_ = 0;
  fragments_ = 0;
}

}  // namespace qil
