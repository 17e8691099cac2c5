// contacts/vcard_property.h: one field of a contact rendered as vCard 3.0 content lines.
//
// VCardProperty holds a value, a property name (cmd) and a vCard type text; each subclass
// renders its own line format. toVCardLine() gives the line(s) without a break after the
// last one, or absent when the property writes nothing. Lines are UTF-8, as their
// "charset=UTF-8" parameters declare; parameter spellings differ between lines on purpose
// and stored files and the device rely on them.
//
// Properties are shared (shared_ptr) and each field's get and set are atomic with respect to
// one another (one mutex per property), so a reader sees an old or a new text, whole.
#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

class Image;

// Appends text to out with escapedNewLineString's rule.
XR_EXPORT void appendEscapedNewLines(std::string& out, std::string_view text);

// Escapes the line breaks of a value: every CR LF, lone LF and lone CR becomes the two
// characters backslash and 'n'. Backslash, comma, semicolon and colon are left as they are
// (the organisation line joins company and department with a literal "\;").
XR_EXPORT std::string escapedNewLineString(std::string_view text);

// Adds one to the process-wide item counter and returns the new value in decimal; the first
// call in a process gives "1". Atomic: records may be composed on several threads at once.
XR_EXPORT std::string createUniqueNumber();

// Declares a guarded text accessor pair of a property class.
#define XR_VCARD_TEXT_FIELD(Type, field, getter, setter) \
  Type getter() const {                                  \
    std::lock_guard lock(mutex_);                        \
    return field;                                        \
  }                                                      \
  void setter(Type text) {                               \
    std::lock_guard lock(mutex_);                        \
    field = std::move(text);                             \
  }

// A text that may be absent (std::nullopt), which is not the same as empty.
using OptionalText = std::optional<std::string>;

// The base of every property: a value, a property name (cmd) and a type text, each guarded by
// mutex_. It writes the base rule of toVCardLine(); subclasses set cmd and may write a line
// format of their own by replacing appendVCardLine().
class XR_EXPORT VCardProperty {
 public:
  VCardProperty() = default;  // value, cmd and type absent
  virtual ~VCardProperty() = default;
  VCardProperty(const VCardProperty&) = delete;
  VCardProperty& operator=(const VCardProperty&) = delete;

  XR_VCARD_TEXT_FIELD(OptionalText, value_, value, setValue)
  XR_VCARD_TEXT_FIELD(OptionalText, cmd_, cmd, setCmd)
  // A vCard type text such as "CELL"; it may carry a further parameter ("FAX;type=WORK").
  XR_VCARD_TEXT_FIELD(OptionalText, type_, type, setType)

  // The value with escapedNewLineString applied; absent when the value is.
  OptionalText valueEscaped() const;
  // The type when it has text, else "OTHER". Type texts are never escaped.
  std::string typeEscaped() const;

  // The property's line(s) without a break after the last one; absent when it writes none.
  // The base rule: absent unless cmd and value have text; "CMD;type=TYPE;charset=UTF-8:VALUE"
  // when a type is present (even empty), else "CMD;charset=UTF-8:VALUE".
  OptionalText toVCardLine() const;

  // The same line appended to out, for composing a record without a text per line; false,
  // with out unchanged, when the property writes no line. Subclasses replace this.
  virtual bool appendVCardLine(std::string& out) const;

  // The class's name, for diagnostics.
  virtual std::string_view className() const { return "VCardProperty"; }

 protected:
  // For subclasses: a property whose cmd is the given property name ("TEL"), value and type
  // absent.
  explicit VCardProperty(const char* cmd) : cmd_(cmd) {}

  // Callers hold mutex_.
  bool valueHasText() const { return value_ && !value_->empty(); }
  const std::string& rawValue() const { return *value_; }
  std::string_view typeOrOther() const;

  mutable std::mutex mutex_;  // guards every text field of the property and its subclass

 private:
  OptionalText value_;  // guarded by mutex_
  OptionalText cmd_;    // guarded by mutex_
  OptionalText type_;   // guarded by mutex_
};

// A note, written by the base rule: "NOTE;charset=UTF-8:VALUE".
class XR_EXPORT VCardNote : public VCardProperty {
 public:
  VCardNote() : VCardProperty("NOTE") {}
  std::string_view className() const override { return "VCardNote"; }
};

// A phone number, written by the base rule: "TEL;type=CELL;charset=UTF-8:VALUE", where the
// type may carry a further parameter ("TEL;type=FAX;type=WORK;charset=UTF-8:VALUE").
class XR_EXPORT VCardTel : public VCardProperty {
 public:
  VCardTel() : VCardProperty("TEL") {}
  std::string_view className() const override { return "VCardTel"; }
};

// An organisation, written by the base rule: "ORG;charset=UTF-8:VALUE". Composition joins
// company and department in the value with a literal "\;".
class XR_EXPORT VCardOrg : public VCardProperty {
 public:
  VCardOrg() : VCardProperty("ORG") {}
  std::string_view className() const override { return "VCardOrg"; }
};

// The display name, written by the base rule: "FN;charset=UTF-8:VALUE".
class XR_EXPORT VCardFullName : public VCardProperty {
 public:
  VCardFullName() : VCardProperty("FN") {}
  std::string_view className() const override { return "VCardFullName"; }
};

// A web address, written by the base rule: "URL;charset=UTF-8:VALUE".
class XR_EXPORT VCardURL : public VCardProperty {
 public:
  VCardURL() : VCardProperty("URL") {}
  std::string_view className() const override { return "VCardURL"; }
};

// "EMAIL;charset=UTF-8;type=INTERNET;type=TYPE;type=pref:VALUE"
class XR_EXPORT VCardEmail : public VCardProperty {
 public:
  VCardEmail() : VCardProperty("EMAIL") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardEmail"; }
};

// "CATEGORIES;CHARSET=utf-8:VALUE" (this line's charset spelling differs from the others).
class XR_EXPORT VCardContactGroup : public VCardProperty {
 public:
  VCardContactGroup() : VCardProperty("CATEGORIES") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardContactGroup"; }
};

// "BDAY:VALUE"
class XR_EXPORT VCardBirthday : public VCardProperty {
 public:
  VCardBirthday() : VCardProperty("BDAY") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardBirthday"; }
};

// "TITLE:VALUE"; a single space has text and is written.
class XR_EXPORT VCardTitle : public VCardProperty {
 public:
  VCardTitle() : VCardProperty("TITLE") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardTitle"; }
};

// Two lines: the generic "X-IM;SERVICE:HANDLE", whose parameter is the service name itself
// (space included: "X-IM;Google Talk:ann"), then the service's own line, e.g.
// "X-Skype;type=HOME:ann"; unknown services get the GaduGadu IMPP line.
class XR_EXPORT VCardIM : public VCardProperty {
 public:
  VCardIM() : VCardProperty("X-IM") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardIM"; }
};

// "X-DE;TYPE:DATE". Anniversary and Other dates are preceded by an item group numbered from
// createUniqueNumber() at each rendering:
//   item4.X-ABDATE:2001-05-06
//   item4.X-ABLabel:_$!<Anniversary>!$_
//   X-DE;Anniversary:2001-05-06
class XR_EXPORT VCardDate : public VCardProperty {
 public:
  VCardDate() : VCardProperty("X-DE") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardDate"; }
};

// "ADR;charset=UTF-8;type=TYPE;type=pref:PO;EXT;STREET;LOCALITY;REGION;CODE;COUNTRY", written
// even when every part is empty.
class XR_EXPORT VCardAddress : public VCardProperty {
 public:
  VCardAddress() : VCardProperty("ADR") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardAddress"; }

  XR_VCARD_TEXT_FIELD(std::string, postOfficeAddress_, postOfficeAddress, setPostOfficeAddress)
  XR_VCARD_TEXT_FIELD(std::string, extendedAddress_, extendedAddress, setExtendedAddress)
  XR_VCARD_TEXT_FIELD(std::string, street_, street, setStreet)
  XR_VCARD_TEXT_FIELD(std::string, locality_, locality, setLocality)
  XR_VCARD_TEXT_FIELD(std::string, region_, region, setRegion)
  XR_VCARD_TEXT_FIELD(std::string, postalCode_, postalCode, setPostalCode)
  XR_VCARD_TEXT_FIELD(std::string, country_, country, setCountry)

 private:
  std::string postOfficeAddress_;  // guarded by mutex_
  std::string extendedAddress_;    // guarded by mutex_
  std::string street_;             // guarded by mutex_
  std::string locality_;           // guarded by mutex_
  std::string region_;             // guarded by mutex_
  std::string postalCode_;         // guarded by mutex_
  std::string country_;            // guarded by mutex_
};

// "N;charset=UTF-8:FIRST;MIDDLE;LAST;PREFIX;SUFFIX", written even when every part is empty.
// Composition puts the family name first and the given name third.
class XR_EXPORT VCardName : public VCardProperty {
 public:
  VCardName() : VCardProperty("N") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardName"; }

  XR_VCARD_TEXT_FIELD(std::string, firstName_, firstName, setFirstName)
  XR_VCARD_TEXT_FIELD(std::string, middleName_, middleName, setMiddleName)
  XR_VCARD_TEXT_FIELD(std::string, lastName_, lastName, setLastName)
  XR_VCARD_TEXT_FIELD(std::string, prefix_, prefix, setPrefix)
  XR_VCARD_TEXT_FIELD(std::string, suffix_, suffix, setSuffix)

 private:
  std::string firstName_;   // guarded by mutex_
  std::string middleName_;  // guarded by mutex_
  std::string lastName_;    // guarded by mutex_
  std::string prefix_;      // guarded by mutex_
  std::string suffix_;      // guarded by mutex_
};

// "NICKNAME;charset=UTF-8:NICK", written even when empty. Keeps its text in nickName, not in
// value, and leaves cmd absent.
class XR_EXPORT VCardNickName : public VCardProperty {
 public:
  VCardNickName() = default;
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardNickName"; }

  XR_VCARD_TEXT_FIELD(std::string, nickName_, nickName, setNickName)

 private:
  std::string nickName_;  // guarded by mutex_
};

// "PHOTO;ENCODING=base64;TYPE=JPEG:BASE64", unfolded (composition folds it). The photo is kept
// as the Base64 text of the image's JPEG representation; cmd stays absent.
class XR_EXPORT VCardPhoto : public VCardProperty {
 public:
  VCardPhoto() = default;
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardPhoto"; }

  // nullptr clears the photo.
  void setImage(const std::shared_ptr<const Image>& image);
  // The stored photo as an image, or nullptr when there is none or its bytes do not decode.
  std::shared_ptr<const Image> image() const;

 private:
  OptionalText imageBase64_;  // guarded by mutex_
};

#undef XR_VCARD_TEXT_FIELD

}  // namespace xr
