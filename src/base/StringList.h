// An ordered list of 8-bit text lines, each optionally carrying an object.
//
// Lists, maps and request parameters of the engine are all string lists.
//  - Lookups (IndexOf, IndexOfName, Values, Find) ignore the letter case of
//    ASCII letters unless SetCaseSensitive(true) was called.
//  - A sorted list keeps its lines in ascending order; Add inserts at the
//    sorted place and ignores a line equal to one already present (equal under
//    the list's case rule). Insert and Move are refused on a sorted list.
//    Turning sorting on sorts the lines (a stable sort).
//  - name=value lines are read by name: the part before the first "=".
//  - Text is the lines, each ended by CR LF; SetText splits at CR, LF or CR LF,
//    a final line end adds no empty line, and a NUL byte ends the text.
//  - CommaText joins the lines with ",", double-quoting lines that hold a
//    blank, a control character, a comma or a double quote (quotes inside are
//    doubled); SetCommaText reads items separated by commas or blanks outside
//    double quotes.
// Objects are held by shared ownership (std::shared_ptr<ListObject>); a line
// without one holds nullptr. An index outside the list raises ListError.
// Not thread-safe.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qil {

class MemoryStream;

// The root of every object a string list can carry.
class ListObject {
 public:
  virtual ~ListObject() = default;
};

class StringList {
 public:
  StringList() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  const std::string& operator[](int index) const { return Get(index); }
  const std::string& Get(int index) const;
  void Put(int index, std::string line);
  const std::shared_ptr<ListObject>& Object(int index) const;
  void PutObject(int index, std::shared_ptr<ListObject> object);

  // Appends (or, when sorted, inserts in order) and returns the line's index.
  // On a sorted list a duplicate is not added; the index of the existing line is returned.
  int Add(std::string line, std::shared_ptr<ListObject> object = nullptr);
  void Insert(int index, std::string line, std::shared_ptr<ListObject> object = nullptr);
  void Delete(int index);
  void Move(int from, int to);
  void Clear() { items_.clear(); }
  // Makes room for count lines in all, so that adding up to that many moves
  // no line; grows at least twofold, so that repeated calls stay linear.
  void Reserve(int count) {
    const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
    if (wanted > items_.capacity()) items_.reserve(std::max(wanted, 2 * items_.capacity()));
  }

  // Index of the first line equal to text (under the case rule), or -1.
  int IndexOf(std::string_view text) const;
  // Index of the first line whose name part equals name, or -1.
  int IndexOfName(std::string_view name) const;
  // The value part of the first line named name, or "" when there is none.
  std::string Value(std::string_view name) const;
  // Sets the value of the line named name, appending name=value when there is
  // none; an empty value deletes the line.
  void SetValue(std::string_view name, std::string_view value);
  // Name and value parts of line index ("" name when the line has no "=").
  std::string Name(int index) const;
  std::string ValueFromIndex(int index) const;

  // On a sorted list: the index of the first line equal to text, or the index
  // where it would be inserted; true when found. Binary search.
  bool Find(std::string_view text, int& index) const;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool case_sensitive);
  // Sorts ascending under the case rule (stable), whether or not the list is sorted.
  void Sort();

  std::string Text() const;
  void SetText(std::string_view text);
  std::string CommaText() const;
  void SetCommaText(std::string_view text);

  // Replaces the lines by those of the stream's bytes from its position on.
  void LoadFromStream(MemoryStream& stream);

  // Copies lines and objects (not the sorting and case settings) of another list.
  void Assign(const StringList& other);
  // Appends every line of another list (sorted lists insert in order).
  void AddStrings(const StringList& other);

  // Compares two lines under this list's case rule.
  int CompareStrings(std::string_view a, std::string_view b) const;

 private:
  struct Item {
    std::string line;
    std::shared_ptr<ListObject> object;
  };

  void CheckIndex(int index) const;
  void CheckUnsorted(const char* operation) const;

  std::vector<Item> items_;
  bool sorted_ = false;
  bool case_sensitive_ = false;
};

}  // namespace qil
