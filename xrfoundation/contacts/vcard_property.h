// contacts/vcard_property.h: one field of a contact rendered as vCard 3.0 content lines.
//
// VCardProperty holds a value, a property name (cmd) and a vCard type text; each subclass
// renders its own line format. toVCardLine() gives the line(s) without a break after the
// last one, or absent when the property writes nothing. Lines are UTF-8, as their
// "charset=UTF-8" parameters declare; parameter spellings differ between lines on purpose
// and stored files and the device rely on them.
//
// Properties are shared (shared_ptr) and each field is a Guarded value: its get and set are
// atomic with respect to one another, so a reader sees an old or a new text, whole.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "xrfoundation/export.h"
#include "xrfoundation/platform/guarded.h"

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

// A text that may be absent (std::nullopt), which is not the same as empty.
using OptionalText = std::optional<std::string>;

// The base of every property: a value, a property name (cmd) and a type text, each a Guarded
// value. It writes the base rule of toVCardLine(); subclasses set cmd and may write a line
// format of their own by replacing appendVCardLine().
class XR_EXPORT VCardProperty {
 public:
  VCardProperty() = default;  // value, cmd and type absent
  virtual ~VCardProperty() = default;
  VCardProperty(const VCardProperty&) = delete;
  VCardProperty& operator=(const VCardProperty&) = delete;

  // The value and the property name (cmd); absent until set.
  OptionalText value() const { return value_.get(); }
  void setValue(OptionalText text) { value_.set(std::move(text)); }
  OptionalText cmd() const { return cmd_.get(); }
  void setCmd(OptionalText text) { cmd_.set(std::move(text)); }
  // A vCard type text such as "CELL"; it may carry a further parameter ("FAX;type=WORK").
  OptionalText type() const { return type_.get(); }
  void setType(OptionalText text) { type_.set(std::move(text)); }

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
  explicit VCardProperty(const char* cmd) : cmd_(OptionalText(cmd)) {}

  // The type when it has text, else "OTHER"; a view into type or a literal.
  static std::string_view typeOrOther(const OptionalText& type);

 private:
  Guarded<OptionalText> value_;
  Guarded<OptionalText> cmd_;
  Guarded<OptionalText> type_;
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

  // The seven components of ADR, in the order written; each empty until set.
  std::string postOfficeAddress() const { return postOfficeAddress_.get(); }
  void setPostOfficeAddress(std::string text) { postOfficeAddress_.set(std::move(text)); }
  std::string extendedAddress() const { return extendedAddress_.get(); }
  void setExtendedAddress(std::string text) { extendedAddress_.set(std::move(text)); }
  std::string street() const { return street_.get(); }
  void setStreet(std::string text) { street_.set(std::move(text)); }
  std::string locality() const { return locality_.get(); }
  void setLocality(std::string text) { locality_.set(std::move(text)); }
  std::string region() const { return region_.get(); }
  void setRegion(std::string text) { region_.set(std::move(text)); }
  std::string postalCode() const { return postalCode_.get(); }
  void setPostalCode(std::string text) { postalCode_.set(std::move(text)); }
  std::string country() const { return country_.get(); }
  void setCountry(std::string text) { country_.set(std::move(text)); }

 private:
  Guarded<std::string> postOfficeAddress_;
  Guarded<std::string> extendedAddress_;
  Guarded<std::string> street_;
  Guarded<std::string> locality_;
  Guarded<std::string> region_;
  Guarded<std::string> postalCode_;
  Guarded<std::string> country_;
};

// "N;charset=UTF-8:FIRST;MIDDLE;LAST;PREFIX;SUFFIX", written even when every part is empty.
// Composition puts the family name first and the given name third.
class XR_EXPORT VCardName : public VCardProperty {
 public:
  VCardName() : VCardProperty("N") {}
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardName"; }

  // The five components of N, in the order written; each empty until set.
  std::string firstName() const { return firstName_.get(); }
  void setFirstName(std::string text) { firstName_.set(std::move(text)); }
  std::string middleName() const { return middleName_.get(); }
  void setMiddleName(std::string text) { middleName_.set(std::move(text)); }
  std::string lastName() const { return lastName_.get(); }
  void setLastName(std::string text) { lastName_.set(std::move(text)); }
  std::string prefix() const { return prefix_.get(); }
  void setPrefix(std::string text) { prefix_.set(std::move(text)); }
  std::string suffix() const { return suffix_.get(); }
  void setSuffix(std::string text) { suffix_.set(std::move(text)); }

 private:
  Guarded<std::string> firstName_;
  Guarded<std::string> middleName_;
  Guarded<std::string> lastName_;
  Guarded<std::string> prefix_;
  Guarded<std::string> suffix_;
};

// "NICKNAME;charset=UTF-8:NICK", written even when empty. Keeps its text in nickName, not in
// value, and leaves cmd absent.
class XR_EXPORT VCardNickName : public VCardProperty {
 public:
  VCardNickName() = default;
  bool appendVCardLine(std::string& out) const override;
  std::string_view className() const override { return "VCardNickName"; }

  // The nickname written; empty until set.
  std::string nickName() const { return nickName_.get(); }
  void setNickName(std::string text) { nickName_.set(std::move(text)); }

 private:
  Guarded<std::string> nickName_;
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
  Guarded<OptionalText> imageBase64_;
};

}  // namespace xr
