// tools/xrf/contact_json.cpp: a contact's fields as JSON.
#include "contact_json.h"

#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/contacts/vcard_parser.h"

namespace xrf {

nlohmann::ordered_json contactJson(const xr::ContactInfo& c) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  const auto text = [&out](const char* key, const std::optional<std::string>& value) {
    if (value) out[key] = *value;
  };
  const auto kind = [](const std::optional<std::string>& name) -> nlohmann::ordered_json {
    if (!name) return nullptr;
    const std::size_t cut = name->find('_', 2);
    return cut == std::string::npos ? *name : name->substr(cut + 1);
  };
  text("displayName", c.displayName);
  text("familyName", c.familyName);
  text("givenName", c.givenName);
  text("middleName", c.middleName);
  text("prefix", c.prefix);
  text("suffix", c.suffix);
  text("nickname", c.nickname);
  auto& numbers = out["numbers"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupNumber.arrItem)
    numbers.push_back({{"number", i.mobile.value_or("")}, {"kind", kind(i.mobileType)}});
  auto& emails = out["emails"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupEmail.arrItem)
    emails.push_back({{"email", i.email.value_or("")}, {"kind", kind(i.emailType)}});
  auto& ims = out["ims"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupIm.arrItem)
    ims.push_back({{"handle", i.im.value_or("")}, {"service", kind(i.imType)}});
  auto& dates = out["dates"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupDate.arrItem)
    dates.push_back({{"date", i.date.value_or("")}, {"kind", kind(i.dateType)}});
  auto& addresses = out["addresses"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupAddress.arrItem) {
    nlohmann::ordered_json address = {{"kind", kind(i.addressType)}};
    if (i.street) address["street"] = *i.street;
    if (i.city) address["city"] = *i.city;
    if (i.region) address["region"] = *i.region;
    if (i.postcode) address["postcode"] = *i.postcode;
    if (i.country) address["country"] = *i.country;
    addresses.push_back(std::move(address));
  }
  auto& organizations = out["organizations"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupOrganization.arrItem) {
    nlohmann::ordered_json organization = nlohmann::ordered_json::object();
    if (i.company) organization["company"] = *i.company;
    if (i.department) organization["department"] = *i.department;
    if (i.title) organization["title"] = *i.title;
    organizations.push_back(std::move(organization));
  }
  auto& websites = out["websites"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupWebsite.arrItem) websites.push_back(i.website.value_or(""));
  auto& notes = out["notes"] = nlohmann::ordered_json::array();
  for (const auto& i : c.groupNote.arrItem) notes.push_back(i.note.value_or(""));
  const auto* groups = c.userDataForKey(xr::kContactGroupNamesKey);
  out["groups"] = groups ? *groups : std::vector<std::string>{};
  if (c.icon) {
    out["photo"] = {{"width", c.icon->width()},
                    {"height", c.icon->height()},
                    {"jpegBytes", c.icon->jpegRepresentation().size()}};
  }
  const auto* unplaced = c.userDataForKey(xr::kContactVCardUnplacedKey);
  out["unplacedLines"] = unplaced ? *unplaced : std::vector<std::string>{};
  return out;
}

}  // namespace xrf
