// A small, linear tokenizer of RTF text.
//
// It splits RTF into group openings "{", group closings "}", control words
// (a backslash, ASCII letters, an optional signed number and the one space
// that may end the word), control symbols (a backslash and one other
// character; "\'" takes two hex digits with it), the binary data that
// follows "\binN", and runs of plain text. Every token keeps the exact bytes
// it was read from, so copying the tokens reproduces the input.
// Malformed input never fails: a backslash at the very end or a "\'" without
// two hex digits becomes a token of kind Broken, and "\binN" with N beyond the
// end takes the bytes that are there. Each byte is looked at once or twice.
// The tokenizer views the text it was given, which must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qil {

struct RtfToken {
  enum Kind { End, GroupOpen, GroupClose, ControlWord, ControlSymbol, Binary, Text, Broken };
  Kind kind = End;
  std::string_view raw;   // the bytes of the token as they stand in the input
  std::string_view name;  // control word: its letters; control symbol: the character after "\"
  bool has_parameter = false;
  int32_t parameter = 0;     // clamped to the 32-bit range
  bool space_ended = false;  // control word: a space delimiter is part of raw

  bool IsWord(std::string_view word) const { return kind == ControlWord && name == word; }
};

class RtfTokenizer {
 public:
  explicit RtfTokenizer(std::string_view text) : text_(text) {}

  // The next token; End (with an empty raw) once the text is used up.
  RtfToken Next();

  // Offset of the next unread byte.
  size_t Offset() const { return pos_; }

 private:
  RtfToken ReadBackslash();

  std::string_view text_;
  size_t pos_ = 0;
  size_t pending_binary_ = 0;  // bytes of \bin data still to hand out
};

// True when text is one RTF group, every group inside it closed, with
// nothing after its last "}" (the form of every document the editor saves).
bool IsOneBalancedGroup(std::string_view text);

}  // namespace qil
