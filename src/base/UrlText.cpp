#include "base/UrlText.h"

#include "base/StringList.h"
#include "base/Text.h"

namespace qil {

ParsedUrl ParseURL(std::string_view url) {
  ParsedUrl result;
  if (url.empty()) return result;

  std::string_view rest;
  const size_t scheme_end = url.find("://");
  if (scheme_end != std::string_view::npos) {
    result.protocol = url.substr(0, scheme_end);
    rest = url.substr(scheme_end + 3);
  } else if (url[0] == '/') {
    result.protocol = "http";
    if (url.size() > 1 && url[1] != '/') {
      result.path = url;
      return result;
    }
    rest = url.substr(1);
  } else if (LowerCase(url.substr(0, 5)) == "http:") {
    result.protocol = "http";
    if (url.size() > 6 && url[6] != '/') {
      result.path = url.substr(5);
      return result;
    }
    rest = url.size() > 6 ? url.substr(6) : std::string_view();
  } else if (LowerCase(url.substr(0, 7)) == "mailto:") {
    result.protocol = "mailto";
    rest = url.substr(url.find(':') + 1);
  } else {
    rest = url;
  }

  const size_t slash = rest.find('/');
  std::string_view authority = rest;
  if (slash != std::string_view::npos) {
    result.path = rest.substr(slash);
    authority = rest.substr(0, slash);
  }

  const size_t c = LastPos(":", authority);
  const size_t a = LastPos("@", authority);
  if (c == 0 && a == 0) {
    result.host = authority;
    return result;
  }
  std::string_view user_part;
  if (c > a) {
    result.port = authority.substr(c);
    result.host = authority.substr(a, c - a - 1);
    if (a == 0) return result;
    user_part = authority.substr(0, a - 1);
  } else {
    result.host = authority.substr(a);
    user_part = authority.substr(0, a - 1);
  }
  const size_t colon = user_part.find(':');
  if (colon != std::string_view::npos) {
    result.user = user_part.substr(0, colon);
    result.password = user_part.substr(colon + 1);
  } else {
    result.user = user_part;
  }
  return result;
}

std::string StripQuery(std::string_view text) {
  return std::string(text.substr(0, text.find('?')));
}

void SplitQuery(std::string_view text, StringList& list) {
  list.Clear();
  std::string item;
  bool seen_question_mark = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '?' && !seen_question_mark) {
      seen_question_mark = true;
      list.Add(std::move(item));
      item.clear();
    } else if (c == '&') {
      list.Add(std::move(item));
      item.clear();
    } else if (c == '#') {
      list.Add(std::move(item));
      item.assign(text.substr(i));
      break;
    } else {
      item += c;
    }
  }
  if (!item.empty()) list.Add(std::move(item));
}

size_t LastPos(std::string_view pattern, std::string_view text) {
  if (pattern.empty() || pattern.size() > text.size()) return 0;
  const size_t hit = text.rfind(pattern);
  return hit == std::string_view::npos ? 0 : hit + 1;
}

}  // namespace qil
