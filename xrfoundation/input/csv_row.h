// input/csv_row.h: one row of CSV input as the reader returns it -- a dictionary from column
// title to field text. The titles are shared with the reader's title list; the fields lie
// back to back in one buffer, followed by the table of where each ends, so that a row costs
// one allocation however wide it is (the cost of reading a row is mostly its allocations).
// A row is a value: copy or move it freely; it doesn't refer to the reader that made it.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// The column titles of a CSV input, in order, shared read-only by the reader and the rows it
// makes; null when no titles have been read or set.
using CsvTitles = std::shared_ptr<const std::vector<std::string>>;

// One data line of CSV input: field texts keyed by column title, or "field<i>" (i from 0) for
// fields beyond the titles. Made by XRBufferedInputStream; a default-made row is empty.
class XR_EXPORT CsvRow {
 public:
  CsvRow() = default;

  // Number of entries: fields whose key no later field of the line reuses.
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // The field stored under key, or none. When two fields share a key the later one counts.
  // A search through the row's keys: to visit every field of a wide row, take entries().
  std::optional<std::string_view> value(std::string_view key) const;
  bool contains(std::string_view key) const { return value(key).has_value(); }

  // The entries in the order of the line's fields; views into this row.
  std::vector<std::pair<std::string_view, std::string_view>> entries() const;
  std::map<std::string, std::string> toMap() const;

 private:
  friend class XRBufferedInputStream;

  explicit CsvRow(CsvTitles titles) : titles_(std::move(titles)) {}
  std::size_t fieldCount() const { return fieldCount_; }
  std::size_t fieldEnd(std::size_t field) const;
  std::string_view keyAt(std::size_t field) const;
  std::string_view valueAt(std::size_t field) const;
  // Whether a later field of the line has the same key, so that this one is replaced.
  bool isShadowed(std::size_t field) const { return !shadowed_.empty() && shadowed_[field]; }
  // Called by the reader once the field texts are in buffer_: appends the table of their
  // ends and marks replaced fields, if there are any.
  void finish(const std::vector<std::size_t>& ends, bool titlesRepeat);

  CsvTitles titles_;
  std::string buffer_;          // every field's text, back to back, then fieldCount_ ends (size_t)
  std::size_t valuesSize_ = 0;  // where the table of ends begins in buffer_
  std::size_t fieldCount_ = 0;
  std::size_t size_ = 0;                // fields not replaced by a later one
  std::vector<std::string> extraKeys_;  // "field<i>" keys of the fields beyond the titles
  std::vector<bool> shadowed_;          // empty unless some field is replaced by a later one
};

}  // namespace xr
