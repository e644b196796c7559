#include "base/StringList.h"

#include <algorithm>

#include "base/Convert.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "base/Text.h"

namespace qil {

void StringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) {
    throw ListError("List index out of bounds (" + IntToStr(index) + ")");
  }
}

void StringList::CheckUnsorted(const char* operation) const {
  if (sorted_) throw ListError(std::string(operation) + " not allowed on sorted list");
}

const std::string& StringList::Get(int index) const {
  CheckIndex(index);
  return items_[index].line;
}

void StringList::Put(int index, std::string line) {
  CheckIndex(index);
  CheckUnsorted("Put");
  items_[index].line = std::move(line);
}

const std::shared_ptr<ListObject>& StringList::Object(int index) const {
  CheckIndex(index);
  return items_[index].object;
}

void StringList::PutObject(int index, std::shared_ptr<ListObject> object) {
  CheckIndex(index);
  items_[index].object = std::move(object);
}

int StringList::CompareStrings(std::string_view a, std::string_view b) const {
  return case_sensitive_ ? CompareStr(a, b) : CompareText(a, b);
}

bool StringList::Find(std::string_view text, int& index) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), text,
                             [this](const Item& item, std::string_view key) {
                               return CompareStrings(item.line, key) < 0;
                             });
  index = static_cast<int>(it - items_.begin());
  return it != items_.end() && CompareStrings(it->line, text) == 0;
}

int StringList::Add(std::string line, std::shared_ptr<ListObject> object) {
  if (!sorted_) {
    items_.push_back({std::move(line), std::move(object)});
    return Count() - 1;
  }
  int index = 0;
  if (Find(line, index)) return index;
  items_.insert(items_.begin() + index, {std::move(line), std::move(object)});
  return index;
}

void StringList::Insert(int index, std::string line, std::shared_ptr<ListObject> object) {
  CheckUnsorted("Insert");
  if (index < 0 || index > Count()) {
    throw ListError("List index out of bounds (" + IntToStr(index) + ")");
  }
  items_.insert(items_.begin() + index, {std::move(line), std::move(object)});
}

void StringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

void StringList::Move(int from, int to) {
  CheckUnsorted("Move");
  CheckIndex(from);
  CheckIndex(to);
  if (from == to) return;
  Item item = std::move(items_[from]);
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, std::move(item));
}

int StringList::IndexOf(std::string_view text) const {
  if (sorted_) {
    int index = 0;
    return Find(text, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (CompareStrings(items_[i].line, text) == 0) return i;
  }
  return -1;
}

int StringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& line = items_[i].line;
    const size_t eq = line.find('=');
    if (eq != std::string::npos && CompareStrings(std::string_view(line).substr(0, eq), name) == 0) {
      return i;
    }
  }
  return -1;
}

std::string StringList::Value(std::string_view name) const {
  const int index = IndexOfName(name);
  return index < 0 ? std::string() : ValueFromIndex(index);
}

void StringList::SetValue(std::string_view name, std::string_view value) {
  const int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  std::string line = std::string(name) + "=" + std::string(value);
  if (index < 0) {
    Add(std::move(line));
  } else if (sorted_) {
    std::shared_ptr<ListObject> object = items_[index].object;
    Delete(index);
    Add(std::move(line), std::move(object));
  } else {
    items_[index].line = std::move(line);
  }
}

std::string StringList::Name(int index) const {
  const std::string& line = Get(index);
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string StringList::ValueFromIndex(int index) const {
  const std::string& line = Get(index);
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

void StringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) Sort();
  sorted_ = sorted;
}

void StringList::SetCaseSensitive(bool case_sensitive) {
  case_sensitive_ = case_sensitive;
  if (sorted_) Sort();
}

void StringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return CompareStrings(a.line, b.line) < 0;
  });
}

std::string StringList::Text() const {
  size_t total = 0;
  for (const Item& item : items_) total += item.line.size() + 2;
  std::string out;
  out.reserve(total);
  for (const Item& item : items_) {
    out += item.line;
    out += "\r\n";
  }
  return out;
}

void StringList::SetText(std::string_view text) {
  Clear();
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    Add(std::string(text.substr(start, i - start)));
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
  }
}

static bool NeedsQuotes(std::string_view item) {
  for (char c : item) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || c == '"' || c == ',') return true;
  }
  return false;
}

std::string StringList::CommaText() const {
  if (Count() == 1 && items_[0].line.empty()) return "\"\"";
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) out += ',';
    const std::string& item = items_[i].line;
    if (!NeedsQuotes(item)) {
      out += item;
      continue;
    }
    out += '"';
    for (char c : item) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

static bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= ' ';
}

void StringList::SetCommaText(std::string_view text) {
  Clear();
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      // A quoted item runs to the next lone quote; a doubled quote stands for one.
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      const size_t start = i;
      while (i < text.size() && static_cast<unsigned char>(text[i]) > ' ' && text[i] != ',') ++i;
      item.assign(text.substr(start, i - start));
    }
    Add(std::move(item));
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && text[i] == ',') {
      if (i + 1 == text.size()) Add(std::string());
      do {
        ++i;
      } while (i < text.size() && IsBlank(text[i]));
    }
  }
}

void StringList::LoadFromStream(MemoryStream& stream) {
  const size_t position = std::min(stream.Position(), stream.Size());
  SetText(stream.View().substr(position));
  stream.SetPosition(stream.Size());
}

void StringList::Assign(const StringList& other) {
  if (&other == this) return;
  items_ = other.items_;
  if (sorted_) Sort();
}

void StringList::AddStrings(const StringList& other) {
  if (&other == this) {
    const StringList copy = other;
    AddStrings(copy);
    return;
  }
  for (const Item& item : other.items_) Add(item.line, item.object);
}

}  // namespace qil
