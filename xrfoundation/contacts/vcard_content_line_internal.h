// contacts/vcard_content_line_internal.h: the content-line tokenizer of the vCard import. It
// cuts a record's body into physical lines, joins folded lines and QUOTED-PRINTABLE soft
// breaks into logical lines, and splits each logical line into group, name, parameters and
// (still encoded) value. Values are decoded by vcard_value_internal.h. One thread at a time
// per ContentLineReader; the free functions may be called from any thread.
#pragma once
#include <cstddef>
#include <forward_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xr::vcard_internal {

// One physical line of a text and where the next one begins. A line ends at LF, CR LF, a lone
// CR (old Mac files), or CR CR LF as some phones write it: a run of CRs before an LF is one
// line end, so that a folded line after it still continues its line.
struct PhysicalLine {
  std::string_view text;  // without its line end
  std::size_t next;       // index of the next line's first byte (at most text's size)
};
PhysicalLine physicalLineAt(std::string_view text, std::size_t at);

// Whether a physical line begins or ends a record: BEGIN:VCARD or END:VCARD in any case, blanks
// after it and a UTF-8 byte order mark (then blanks) before it allowed. A line that starts with
// a space or a tab is neither: it continues the line before it, whatever it reads.
enum class RecordTag { None, Begin, End };
RecordTag recordTagOf(std::string_view line);

// Where a physical line stands in a text: its first byte, its size without its line end, and
// what recordTagOf() made of it.
struct LineSpan {
  std::size_t start;
  std::size_t size;
  RecordTag tag = RecordTag::None;
};

// One parameter of a content line.
struct Param {
  std::string_view name;   // "" for a bare 2.1 parameter (";CELL", ";QUOTED-PRINTABLE")
  std::string_view value;  // quotes removed
};

// One logical content line: "[group.]NAME;params:value".
struct ContentLine {
  std::string_view raw;        // the whole unfolded line
  std::string_view group;      // "item1" of "item1.TEL", or ""
  std::string name;            // upper case; its room is kept when the reader reuses the line
  std::size_t firstParam = 0;  // index of its first parameter in the reader's params()
  std::size_t paramCount = 0;
  std::string_view value;  // still encoded
};

// Splits text into line, appending its parameters to params; false when text has no ':'
// outside quoted parameter values.
bool parseContentLine(std::string_view text, ContentLine& line, std::vector<Param>& params);

// The logical lines of one record's body. Views point into the body or into the reader's own
// storage and are valid until the next read() or the reader's end. The reader's lists keep
// their room from record to record.
class ContentLineReader {
 public:
  // Cuts body (the lines between BEGIN:VCARD and END:VCARD) into logical lines: a line that
  // starts with a space or a tab continues the one before it, whatever it reads. Version 2.1
  // folds before existing white space, so its unfolding drops only the line end; 3.0 and 4.0
  // drop the line end and the one space or tab after it. The record's first VERSION line
  // decides, wherever it stands; a record without one unfolds as 3.0 and 4.0 do. A
  // QUOTED-PRINTABLE line that ends in '=' continues on the next line whatever that starts
  // with; when that line is indented too, the '=' and the one blank both go, in any version.
  // Nested records (2.1 AGENT) and blank lines are passed over.
  void read(std::string_view body);
  // The same for a body whose physical lines have been found already (by RecordCutter).
  void read(std::string_view body, std::span<const LineSpan> physical);

  // Whether the record read last is version 2.1 (see read()).
  bool version21() const { return version21_; }
  std::span<const ContentLine> lines() const {
    return std::span<const ContentLine>(lines_).first(lineCount_);
  }
  // The parameters of line, in order.
  std::span<const Param> paramsOf(const ContentLine& line) const {
    return std::span<const Param>(params_).subspan(line.firstParam, line.paramCount);
  }
  // Logical lines that are no content line (no ':'), in order.
  const std::vector<std::string_view>& unparsed() const { return unparsed_; }

 private:
  struct Physical {
    std::string_view text;
    RecordTag tag;
  };

  void unfold();
  // What the first VERSION line from physical_[first] on says (lines of nested records passed
  // over): whether it is 2.1; none when there is none.
  std::optional<bool> versionFrom(std::size_t first) const;

  std::vector<Physical> physical_;  // the body's lines, before unfolding
  // The lines read are the first lineCount_; those after them are kept for their names' room.
  std::vector<ContentLine> lines_;
  std::size_t lineCount_ = 0;
  std::vector<Param> params_;
  std::vector<std::string_view> unparsed_;
  std::forward_list<std::string> storage_;  // logical lines that span several physical lines
  bool version21_ = false;
};

}  // namespace xr::vcard_internal
