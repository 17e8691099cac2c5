// The contact as `xrf contacts show --json` prints it: keys in a fixed order, kinds without their
// family prefix, absent texts left out of objects but kept as "" in lists.
#include "contact_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "xrfoundation/contacts/vcard_parser.h"

namespace xrf {
namespace {

TEST(ContactJsonTest, EmptyContactHasEveryListAndNoName) {
  EXPECT_EQ(contactJson(xr::ContactInfo{}).dump(),
            R"({"numbers":[],"emails":[],"ims":[],"dates":[],"addresses":[],)"
            R"("organizations":[],"websites":[],"notes":[],"groups":[],"unplacedLines":[]})");
}

TEST(ContactJsonTest, WritesEveryFieldInItsPlace) {
  xr::ContactInfo c;
  c.familyName = "Lee";
  c.givenName = "Ann";
  c.middleName = "";
  c.prefix = "Dr.";
  c.suffix = "Jr.";
  c.displayName = "Dr. Ann Lee";
  c.nickname = "Annie";
  c.groupNumber.arrItem = {{"+44 20 7946 0018", "E_Number_WorkMobile"}, {std::nullopt, {}}};
  c.groupEmail.arrItem = {{"ann@example.org", "E_Email_Home"}};
  c.groupIm.arrItem = {{"ann.lee", "E_Im_Skype"}};
  c.groupDate.arrItem = {{"1980-02-29", "E_Date_Birthday"}};
  c.groupAddress.arrItem = {{"E_Address_Work", "1 Main St", "Leeds", std::nullopt, "LS1", "UK"}};
  c.groupOrganization.arrItem = {{"Acme", std::nullopt, "Engineer"}, {}};
  c.groupWebsite.arrItem = {{"https://example.org"}, {std::nullopt}};
  c.groupNote.arrItem = {{"line one\nline two"}};
  c.userData[xr::kContactGroupNamesKey] = {"Friends", "Work"};
  c.userData[xr::kContactVCardUnplacedKey] = {"X-THING:kept"};
  c.userData["OtherKey"] = {"not shown"};
  EXPECT_EQ(contactJson(c).dump(),
            R"({"displayName":"Dr. Ann Lee","familyName":"Lee","givenName":"Ann",)"
            R"("middleName":"","prefix":"Dr.","suffix":"Jr.","nickname":"Annie",)"
            R"("numbers":[{"number":"+44 20 7946 0018","kind":"WorkMobile"},)"
            R"({"number":"","kind":null}],)"
            R"("emails":[{"email":"ann@example.org","kind":"Home"}],)"
            R"("ims":[{"handle":"ann.lee","service":"Skype"}],)"
            R"("dates":[{"date":"1980-02-29","kind":"Birthday"}],)"
            R"("addresses":[{"kind":"Work","street":"1 Main St","city":"Leeds",)"
            R"("postcode":"LS1","country":"UK"}],)"
            R"("organizations":[{"company":"Acme","title":"Engineer"},{}],)"
            R"("websites":["https://example.org",""],"notes":["line one\nline two"],)"
            R"("groups":["Friends","Work"],"unplacedLines":["X-THING:kept"]})");
}

TEST(ContactJsonTest, KindDropsOnlyTheFamilyPrefix) {
  struct Row {
    const char* type;
    const char* kind;
  };
  const Row rows[] = {
      {"E_Number_Mobile", "Mobile"},
      {"E_Number_Fax_Work", "Fax_Work"},  // the cut is at the second '_' only
      {"Custom", "Custom"},               // a label without a prefix stays whole
      {"E_", "E_"},
      {"", ""},
  };
  for (const Row& row : rows) {
    xr::ContactInfo c;
    c.groupEmail.arrItem = {{"a@b", row.type}};
    EXPECT_EQ(contactJson(c)["emails"][0]["kind"], row.kind) << row.type;
  }
}

TEST(ContactJsonTest, PhotoGivesItsSizeAndJpegBytes) {
  std::ifstream file(XRF_TOOL_TEST_DATA "/photo.jpg", std::ios::binary);
  const std::vector<std::uint8_t> jpeg{std::istreambuf_iterator<char>(file), {}};
  xr::ContactInfo c;
  c.icon = xr::Image::fromBytes(jpeg);
  ASSERT_NE(c.icon, nullptr) << "tools/tests/data/photo.jpg decodes";
  const nlohmann::ordered_json json = contactJson(c);
  EXPECT_EQ(json["photo"]["width"], c.icon->width());
  EXPECT_EQ(json["photo"]["height"], c.icon->height());
  EXPECT_EQ(json["photo"]["jpegBytes"], c.icon->jpegRepresentation().size());
  EXPECT_GT(c.icon->width(), 0);
  const auto keys = json.items();
  std::vector<std::string> order;
  for (const auto& item : keys) order.push_back(item.key());
  EXPECT_EQ(order.end() - std::find(order.begin(), order.end(), "photo"), 2)
      << "photo comes just before unplacedLines";
}

}  // namespace
}  // namespace xrf
