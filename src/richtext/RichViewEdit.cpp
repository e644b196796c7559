#include "richtext/RichViewEdit.h"

#include "base/Convert.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

constexpr int32_t kDefaultCodePage = 1252;

TRtfTables::Font DefaultFont(const TRVStyle& style) {
  TRtfTables::Font font;
  font.family = "fswiss";
  font.charset = 0;
  font.name = style.TextStyles.empty() ? "Arial" : style.TextStyles.front().font_name;
  return font;
}

}  // namespace

TRichViewEdit::TRichViewEdit(std::shared_ptr<TRVStyle> style)
    : style_(style ? std::move(style) : std::make_shared<TRVStyle>()), tables_(DefaultFont(*style_)) {}

bool TRichViewEdit::InsertRTFFromStream(TMemoryStream& stream) {
  const std::string_view bytes = stream.View();
  if (stream.Position() < bytes.size()) InsertRTF(bytes.substr(stream.Position()));
  stream.SetPosition(bytes.size());
  return true;
}

void TRichViewEdit::InsertRTF(std::string_view rtf) {
  const int32_t codepage = MergeRtfFragment(rtf, tables_, body_);
  if (codepage_ == 0) codepage_ = codepage;
  ++fragments_;
}

std::string TRichViewEdit::SaveRTF() const {
  const int32_t codepage = codepage_ > 0 ? codepage_ : kDefaultCodePage;
  return "{\\rtf1\\ansi\\ansicpg" + IntToStr(codepage) + "\\deff0" + tables_.FontTableRtf() + tables_.ColorTableRtf() +
         "\r\n" + body_ + "}";
}

bool TRichViewEdit::SaveRTFToStream(TMemoryStream& stream) const {
  stream.Write(SaveRTF());
  return true;
}

void TRichViewEdit::Clear() {
  tables_.Reset();
  body_.clear();
  codepage_ = 0;
  fragments_ = 0;
}

}  // namespace qil
