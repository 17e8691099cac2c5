// contacts/testing/contact_text.cpp: contactText().
#include "xrfoundation/contacts/testing/contact_text.h"

#include <optional>

namespace xr::testing {
namespace {

using Text = std::optional<std::string>;

class Writer {
 public:
  // name='value', or nothing when the value is absent.
  void field(const char* name, const Text& value) {
    if (value) word(std::string(name) + "='" + *value + "'");
  }
  // An item is written even when its value is absent ("name=-").
  void item(const char* name, const Text& value, const Text& kind) {
    word(std::string(name) + (value ? "='" + *value + "'" : "=-") + (kind ? "/" + *kind : ""));
  }
  void word(const std::string& text) { line_ += (line_.empty() ? "" : " ") + text; }
  void endLine() {
    if (!line_.empty()) text_ += line_ + "\n";
    line_.clear();
  }
  std::string text() && { return std::move(text_); }

 private:
  std::string text_, line_;
};

}  // namespace

std::string contactText(const ContactInfo& c) {
  Writer out;
  out.field("family", c.familyName);
  out.field("middle", c.middleName);
  out.field("given", c.givenName);
  out.field("prefix", c.prefix);
  out.field("suffix", c.suffix);
  out.field("display", c.displayName);
  out.field("nick", c.nickname);
  out.endLine();
  for (const auto& i : c.groupNumber.arrItem) out.item("tel", i.mobile, i.mobileType);
  out.endLine();
  for (const auto& i : c.groupEmail.arrItem) out.item("email", i.email, i.emailType);
  out.endLine();
  for (const auto& i : c.groupIm.arrItem) out.item("im", i.im, i.imType);
  out.endLine();
  for (const auto& i : c.groupDate.arrItem) out.item("date", i.date, i.dateType);
  out.endLine();
  for (const auto& i : c.groupAddress.arrItem) {
    out.word("adr" + (i.addressType ? "/" + *i.addressType : std::string()));
    out.field("street", i.street);
    out.field("city", i.city);
    out.field("region", i.region);
    out.field("code", i.postcode);
    out.field("country", i.country);
    out.endLine();
  }
  for (const auto& i : c.groupOrganization.arrItem) {
    out.word("org");
    out.field("company", i.company);
    out.field("dept", i.department);
    out.field("title", i.title);
    out.endLine();
  }
  for (const auto& i : c.groupWebsite.arrItem) out.item("url", i.website, std::nullopt);
  for (const auto& i : c.groupNote.arrItem) out.item("note", i.note, std::nullopt);
  out.endLine();
  for (const auto& [key, values] : c.userData) {
    out.word(key + ":");
    for (const auto& value : values) out.word("'" + value + "'");
    out.endLine();
  }
  if (c.icon)
    out.word("photo " + std::to_string(c.icon->width()) + "x" + std::to_string(c.icon->height()));
  out.endLine();
  return std::move(out).text();
}

}  // namespace xr::testing
