// URL functions shared by the content server, the module manager and the pages.
//
// Pure functions without state, safe from any thread. Positions are 1-based
// character indexes, 0 meaning "not found". Nothing here unescapes: items and
// paths stay exactly as written.
#pragma once

#include <string>
#include <string_view>

namespace qil {

class StringList;

struct ParsedUrl {
  std::string protocol;
  std::string user;
  std::string password;
  std::string host;
  std::string port;
  std::string path;  // from the first "/" of the address on, query and fragment included
};

// Splits an address into its six parts (all empty for an empty address).
ParsedUrl ParseURL(std::string_view url);

// The text before its first "?", or the whole text when it has none.
std::string StripQuery(std::string_view text);

// Empties list, then fills it with the items of a request path: the part before
// the first "?", then each "&"-separated item; a "#" ends the items and the text
// from the "#" on becomes one last item. Empty items before "?" or "&" are kept.
void SplitQuery(std::string_view text, StringList& list);

// 1-based position of the last occurrence of pattern in text; 0 when there is none.
size_t LastPos(std::string_view pattern, std::string_view text);

}  // namespace qil
