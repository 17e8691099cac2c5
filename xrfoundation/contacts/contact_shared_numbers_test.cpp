// Contacts that share a number: the groups come from the contacts' own number items.
#include "xrfoundation/contacts/contact_shared_numbers.h"

#include <gtest/gtest.h>

#include <string>

namespace xr {
namespace {

ContactInfo withNumbers(std::vector<std::optional<std::string>> numbers) {
  ContactInfo contact;
  for (auto& number : numbers) contact.groupNumber.arrItem.push_back({std::move(number), {}});
  return contact;
}

TEST(ContactSharedNumbers, GroupsContactsByTheirNumberItems) {
  const std::vector<ContactInfo> contacts = {
      withNumbers({std::nullopt, "+44 20 7946 0018"}),  // 0: an absent number is skipped
      withNumbers({"", "abc"}),                         // 1: no digit: shares nothing
      withNumbers({"020 7946 0018", "555 1234"}),       // 2: joins 0
      withNumbers({""}),                                // 3: "" is no number either
      withNumbers({}),                                  // 4
      withNumbers({"555-1234"}),                        // 5: joins 2, and so 0
  };
  const auto groups = findSharedNumbers(contacts);
  ASSERT_TRUE(groups.has_value());
  ASSERT_EQ(groups->size(), 1u);
  const auto& members = groups->front().members;
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].record, 0u);
  EXPECT_EQ(members[0].numbers, std::vector<std::string>{"+44 20 7946 0018"});
  EXPECT_EQ(members[1].record, 2u);
  EXPECT_EQ(members[1].numbers, (std::vector<std::string>{"020 7946 0018", "555 1234"}));
  EXPECT_EQ(members[2].record, 5u);
}

TEST(ContactSharedNumbers, KeepGoingStopsIt) {
  const std::vector<ContactInfo> contacts(3, withNumbers({"+44 20 7946 0018"}));
  EXPECT_FALSE(findSharedNumbers(contacts, [](double) { return false; }).has_value());
}

}  // namespace
}  // namespace xr
