// input/csv_row.cpp
#include "xrfoundation/input/csv_row.h"

#include <cstring>
#include <unordered_map>

namespace xr {

std::string_view CsvRow::keyAt(std::size_t field) const {
  const std::size_t titleCount = titles_ ? titles_->size() : 0;
  if (field < titleCount) return (*titles_)[field];
  return extraKeys_[field - titleCount];
}

std::size_t CsvRow::fieldEnd(std::size_t field) const {
  std::size_t end;
  std::memcpy(&end, buffer_.data() + valuesSize_ + field * sizeof end, sizeof end);
  return end;
}

std::string_view CsvRow::valueAt(std::size_t field) const {
  const std::size_t start = field == 0 ? 0 : fieldEnd(field - 1);
  return std::string_view(buffer_).substr(start, fieldEnd(field) - start);
}

void CsvRow::finish(const std::vector<std::size_t>& ends, bool titlesRepeat) {
  valuesSize_ = buffer_.size();
  fieldCount_ = size_ = ends.size();
  buffer_.append(reinterpret_cast<const char*>(ends.data()), ends.size() * sizeof(std::size_t));
  // Keys repeat only when titles do, or when a surplus field's "field<i>" is also a title.
  if (!titlesRepeat && (extraKeys_.empty() || !titles_ || titles_->empty())) return;
  std::unordered_map<std::string_view, std::size_t> last;
  for (std::size_t i = 0; i < fieldCount(); ++i) last[keyAt(i)] = i;
  if (last.size() == fieldCount()) return;
  shadowed_.assign(fieldCount(), false);
  for (std::size_t i = 0; i < fieldCount(); ++i) shadowed_[i] = last[keyAt(i)] != i;
  size_ = last.size();
}

std::optional<std::string_view> CsvRow::value(std::string_view key) const {
  // From the back: of two fields with one key the later one is the entry.
  for (std::size_t i = fieldCount(); i-- > 0;) {
    if (keyAt(i) == key) return valueAt(i);
  }
  return std::nullopt;
}

std::vector<std::pair<std::string_view, std::string_view>> CsvRow::entries() const {
  std::vector<std::pair<std::string_view, std::string_view>> result;
  result.reserve(fieldCount());
  for (std::size_t i = 0; i < fieldCount(); ++i) {
    if (!isShadowed(i)) result.emplace_back(keyAt(i), valueAt(i));
  }
  return result;
}

std::map<std::string, std::string> CsvRow::toMap() const {
  std::map<std::string, std::string> result;
  for (const auto& [key, value] : entries()) result.emplace(key, value);
  return result;
}

}  // namespace xr
