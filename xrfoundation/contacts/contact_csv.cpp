// contacts/contact_csv.cpp: the contacts CSV reader -- the header line's columns, then one
// contact per data row, over StandardCsvReader.
#include "xrfoundation/contacts/contact_csv.h"

#include "xrfoundation/input/csv_standard_reader.h"

namespace xr {

ContactCsvReader::ContactCsvReader() = default;
ContactCsvReader::~ContactCsvReader() = default;

bool ContactCsvReader::open(std::shared_ptr<InputStream> input, std::filesystem::path photoBase) {
  photoBase_ = std::move(photoBase);
  summary_ = {};
  unplacedByColumn_.clear();
  errorLine_ = 0;
  errorReason_.clear();
  columns_.reset();
  csv_ =
      std::make_unique<StandardCsvReader>(std::move(input), CsvReadOptions{delimiter_, encoding_});
  if (!csv_->open()) {
    readerFailed();
    return false;
  }
  const auto fieldsNamed = [](const std::vector<std::string_view>& titles) {
    const ContactCsvColumns columns(std::vector<std::string>(titles.begin(), titles.end()));
    return columns.titles().size() - columns.unknown().size();
  };
  const auto* titles = csv_->readHeader(fieldsNamed);
  if (!titles) {
    if (csv_->failed()) {
      readerFailed();
      return false;
    }
    errorReason_ = "no header line (an empty file)";
    return false;
  }
  auto columns =
      std::make_unique<ContactCsvColumns>(std::vector<std::string>(titles->begin(), titles->end()));
  if (columns->titles().size() == columns->unknown().size()) {
    errorLine_ = csv_->recordLine();
    errorReason_ = "no column names a contact field; its columns: ";
    for (std::size_t i = 0; i < columns->titles().size(); ++i) {
      errorReason_ += (i > 0 ? ", " : "") + columns->titles()[i];
    }
    return false;
  }
  columns_ = std::move(columns);
  return checkUndecodable(csv_->recordLine());
}

char ContactCsvReader::delimiter() const { return csv_ ? csv_->delimiter() : ','; }

const std::string& ContactCsvReader::encoding() const {
  static const std::string kNone;
  return csv_ ? csv_->encodingName() : kNone;
}

bool ContactCsvReader::checkUndecodable(std::uint64_t upTo) {
  const DecodeDamage& damage = csv_->undecodable();
  summary_.undecodable = damage.count;
  summary_.undecodableLines = damage.lines;
  if (!strict_ || damage.count == 0 || damage.lines.front() > upTo) return true;
  errorLine_ = damage.lines.front();
  errorReason_ = "bytes that are not valid " + csv_->encodingName() + " text";
  return false;
}

ContactCsvReader::Next ContactCsvReader::readerFailed() {
  errorLine_ = csv_->errorLine();
  errorReason_ = csv_->errorReason();
  return Next::Error;
}

ContactCsvReader::Next ContactCsvReader::next(ContactInfo& contact) {
  if (!csv_ || !columns_ || !errorReason_.empty()) return Next::Error;
  std::string reason;
  while (const auto* fields = csv_->readRecord()) {
    if (!checkUndecodable(csv_->recordLine())) return Next::Error;
    auto read = columns_->contactFromRecord(*fields, photoBase_, rowUnplaced_, reason);
    if (!reason.empty()) {
      errorLine_ = csv_->recordLine();
      errorReason_ = reason;
      return Next::Error;
    }
    if (strict_ && !rowUnplaced_.empty()) {
      const ContactCsvUnplaced& first = rowUnplaced_.front();
      errorLine_ = csv_->recordLine();
      errorReason_ = "\"" + first.value + "\" in column \"" + columns_->columnName(first.column) +
                     "\" has no place in a contact";
      return Next::Error;
    }
    countUnplaced(rowUnplaced_);
    if (!read) {
      ++summary_.blankRows;
      continue;
    }
    contact = std::move(*read);
    ++summary_.contacts;
    summary_.numbers += contact.groupNumber.arrItem.size();
    summary_.emails += contact.groupEmail.arrItem.size();
    return Next::Contact;
  }
  if (csv_->failed()) return readerFailed();
  if (!checkUndecodable(UINT64_MAX)) return Next::Error;
  return Next::End;
}

void ContactCsvReader::countUnplaced(const std::vector<ContactCsvUnplaced>& unplaced) {
  if (unplaced.empty()) return;
  for (const ContactCsvUnplaced& value : unplaced) {
    if (unplacedByColumn_.size() <= value.column) unplacedByColumn_.resize(value.column + 1);
    ++unplacedByColumn_[value.column];
  }
  summary_.unplaced.clear();
  for (std::size_t column = 0; column < unplacedByColumn_.size(); ++column) {
    if (unplacedByColumn_[column] > 0) {
      summary_.unplaced.emplace_back(columns_->columnName(column), unplacedByColumn_[column]);
    }
  }
}

std::uint64_t ContactCsvReader::bytesRead() const { return csv_ ? csv_->bytesRead() : 0; }

}  // namespace xr
