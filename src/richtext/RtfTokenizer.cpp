#include "richtext/RtfTokenizer.h"

#include <algorithm>

namespace qil {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

constexpr int64_t kParameterLimit = INT32_MAX;

}  // namespace

RtfToken RtfTokenizer::Next() {
  RtfToken token;
  if (pending_binary_ > 0) {
    const size_t count = std::min(pending_binary_, text_.size() - pos_);
    pending_binary_ = 0;
    if (count > 0) {
      token.kind = RtfToken::Binary;
      token.raw = text_.substr(pos_, count);
      pos_ += count;
      return token;
    }
  }
  if (pos_ >= text_.size()) return token;
  const char c = text_[pos_];
  if (c == '\\') return ReadBackslash();
  if (c == '{' || c == '}') {
    token.kind = c == '{' ? RtfToken::GroupOpen : RtfToken::GroupClose;
    token.raw = text_.substr(pos_++, 1);
    return token;
  }
  const size_t end = std::min(text_.find_first_of("\\{}", pos_), text_.size());
  token.kind = RtfToken::Text;
  token.raw = text_.substr(pos_, end - pos_);
  pos_ = end;
  return token;
}

RtfToken RtfTokenizer::ReadBackslash() {
  RtfToken token;
  const size_t start = pos_;
  if (start + 1 >= text_.size()) {
    token.kind = RtfToken::Broken;
    token.raw = text_.substr(start);
    pos_ = text_.size();
    return token;
  }
  const char c = text_[start + 1];
  if (!IsLetter(c)) {
    token.name = text_.substr(start + 1, 1);
    size_t length = 2;
    token.kind = RtfToken::ControlSymbol;
    if (c == '\'') {
      if (start + 3 < text_.size() && IsHexDigit(text_[start + 2]) && IsHexDigit(text_[start + 3])) {
        length = 4;
      } else {
        token.kind = RtfToken::Broken;
      }
    }
    token.raw = text_.substr(start, length);
    pos_ = start + length;
    return token;
  }

  size_t p = start + 1;
  while (p < text_.size() && IsLetter(text_[p])) ++p;
  token.kind = RtfToken::ControlWord;
  token.name = text_.substr(start + 1, p - start - 1);
  const bool negative = p + 1 < text_.size() && text_[p] == '-' && IsDigit(text_[p + 1]);
  if (negative) ++p;
  if (p < text_.size() && IsDigit(text_[p])) {
    int64_t value = 0;
    for (; p < text_.size() && IsDigit(text_[p]); ++p) value = std::min(value * 10 + (text_[p] - '0'), kParameterLimit);
    token.has_parameter = true;
    token.parameter = static_cast<int32_t>(negative ? -value : value);
  }
  if (p < text_.size() && text_[p] == ' ') {
    token.space_ended = true;
    ++p;
  }
  token.raw = text_.substr(start, p - start);
  pos_ = p;
  if (token.name == "bin" && token.parameter > 0) pending_binary_ = static_cast<size_t>(token.parameter);
  return token;
}

bool IsOneBalancedGroup(std::string_view text) {
  RtfTokenizer tokens(text);
  int depth = 0;
  bool closed = false;
  for (RtfToken t = tokens.Next(); t.kind != RtfToken::End; t = tokens.Next()) {
    if (closed || (depth == 0 && t.kind != RtfToken::GroupOpen)) return false;
    if (t.kind == RtfToken::GroupOpen) ++depth;
    if (t.kind == RtfToken::GroupClose && --depth == 0) closed = true;
  }
  return closed;
}

}  // namespace qil
