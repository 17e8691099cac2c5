// input/csv_row.h: one row of CSV input as the reader returns it -- a dictionary from column
// title to field text. The titles are shared with the reader's title list and the fields
// lie back to back in one buffer, so that a row costs two allocations however wide it is.
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

namespace xr {

using CsvTitles = std::shared_ptr<const std::vector<std::string>>;

class CsvRow {
 public:
  CsvRow() = default;

  // Number of entries: fields whose key no later field of the line reuses.
  std::size_t size() const;
  bool empty() const { return size() == 0; }

  // The field stored under key, or none. When two fields share a key the later one counts.
  std::optional<std::string_view> value(std::string_view key) const;
  bool contains(std::string_view key) const { return value(key).has_value(); }

  // The entries in the order of the line's fields; views into this row.
  std::vector<std::pair<std::string_view, std::string_view>> entries() const;
  std::map<std::string, std::string> toMap() const;

 private:
  friend class XRBufferedInputStream;

  explicit CsvRow(CsvTitles titles) : titles_(std::move(titles)) {}
  std::size_t fieldCount() const { return ends_.size(); }
  std::string_view keyAt(std::size_t field) const;
  std::string_view valueAt(std::size_t field) const;
  // Whether a later field of the line has the same key, so that this one is replaced.
  bool isShadowed(std::size_t field) const;
  // Called by the reader once all fields are in: marks replaced fields, if there are any.
  void finish(bool titlesRepeat);

  CsvTitles titles_;
  std::string values_;                  // every field's text, back to back
  std::vector<std::size_t> ends_;       // end of field i in values_; it starts where i-1 ends
  std::vector<std::string> extraKeys_;  // "field<i>" keys of the fields beyond the titles
  std::vector<bool> shadowed_;          // empty unless some field is replaced by a later one
};

}  // namespace xr
