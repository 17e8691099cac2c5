#include "xrfoundation/contacts/vcard_property.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "xrfoundation/platform/image.h"
#include "xrfoundation/platform/testing/latch.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

using Text = std::optional<std::string>;

template <class Property>
std::shared_ptr<VCardProperty> make(Text value, Text type = std::nullopt) {
  auto property = std::make_shared<Property>();
  property->setValue(std::move(value));
  property->setType(std::move(type));
  return property;
}

TEST(VCardPropertyTest, EscapesEveryKindOfLineBreakAndNothingElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"one\r\ntwo", "one\\ntwo"},
      {"one\ntwo", "one\\ntwo"},  // a phone's usual line break
      {"one\rtwo", "one\\ntwo"},
      {"one\r\rtwo", "one\\n\\ntwo"},
      {"one\n\rtwo", "one\\n\\ntwo"},  // LF CR is two breaks, not one pair
      {"one\r\n\ntwo", "one\\n\\ntwo"},
      {"\r\nedges\n", "\\nedges\\n"},
      {"\r", "\\n"},
      {"a\\b,c;d:e", "a\\b,c;d:e"},
      {"Acme\\;Sales", "Acme\\;Sales"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(escapedNewLineString(in), out) << "input " << in;
}

// The edges of each line format; the ordinary lines are in the composed records of
// vcard_info_test.
TEST(VCardPropertyTest, RendersEveryLineFormat) {
  auto address = std::make_shared<VCardAddress>();
  address->setPostOfficeAddress("PO 1");
  address->setExtendedAddress("Floor 2");
  address->setStreet("1 Main St\nBack door");
  auto emptyTypeAddress = std::make_shared<VCardAddress>();
  emptyTypeAddress->setType("");
  auto name = std::make_shared<VCardName>();
  name->setSuffix("Jr\r\n.");
  auto nickname = std::make_shared<VCardNickName>();
  nickname->setNickName("Annie\nA");
  const std::string gadu = "IMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:";
  const std::pair<std::shared_ptr<VCardProperty>, Text> cases[] = {
      {make<VCardTel>("1", ""), "TEL;type=;charset=UTF-8:1"},
      {make<VCardTel>("1"), "TEL;charset=UTF-8:1"},
      {make<VCardTel>("", "CELL"), std::nullopt},
      {make<VCardTel>(std::nullopt, "CELL"), std::nullopt},
      {make<VCardProperty>("v", "T"), std::nullopt},  // the base class has no cmd
      {make<VCardEmail>("a@b.example", ""),
       "EMAIL;charset=UTF-8;type=INTERNET;type=OTHER;type=pref:a@b.example"},
      {make<VCardEmail>("a@b.example"),
       "EMAIL;charset=UTF-8;type=INTERNET;type=OTHER;type=pref:a@b.example"},
      {make<VCardEmail>(""), std::nullopt},
      {make<VCardContactGroup>("Friends\n"), "CATEGORIES;CHARSET=utf-8:Friends\\n"},
      {make<VCardContactGroup>(""), std::nullopt},
      {make<VCardBirthday>(std::nullopt), std::nullopt},
      {make<VCardTitle>("Boss\rman"), "TITLE:Boss\\nman"},
      {make<VCardTitle>(""), std::nullopt},
      {make<VCardDate>("1980-02-03"), "X-DE;OTHER:1980-02-03"},
      {make<VCardDate>("", "Anniversary"), std::nullopt},
      {make<VCardIM>("ann\n1", "AIM"), "X-IM;AIM:ann\\n1\r\nX-AIM;type=HOME:ann\\n1"},
      {make<VCardIM>("a", "skype"), "X-IM;skype:a\r\n" + gadu + "a"},  // case-sensitive
      {make<VCardIM>("a", ""), "X-IM;OTHER:a\r\n" + gadu + "a"},
      {make<VCardIM>("", "AIM"), std::nullopt},
      {address, "ADR;charset=UTF-8;type=OTHER;type=pref:PO 1;Floor 2;1 Main St\\nBack door;;;;"},
      {emptyTypeAddress, "ADR;charset=UTF-8;type=OTHER;type=pref:;;;;;;"},
      {name, "N;charset=UTF-8:;;;;Jr\\n."},
      {std::make_shared<VCardNickName>(), "NICKNAME;charset=UTF-8:"},
      {nickname, "NICKNAME;charset=UTF-8:Annie\\nA"},
      {std::make_shared<VCardPhoto>(), std::nullopt}};
  int row = 0;
  for (const auto& [property, line] : cases) {
    EXPECT_EQ(property->toVCardLine(), line) << "row " << row++ << ", " << property->className();
  }
}

TEST(VCardPropertyTest, ItemCounterHandsOutEachNumberOnceAcrossThreads) {
  constexpr int kThreads = 4;
  constexpr int kEach = 2000;
  testing::Latch start(kThreads);
  std::vector<std::vector<int>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int i = 0; i < kEach; ++i) drawn[t].push_back(std::stoi(createUniqueNumber()));
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<int> all;
  for (const auto& numbers : drawn) all.insert(numbers.begin(), numbers.end());
  ASSERT_EQ(all.size(), std::size_t{kThreads * kEach});
  EXPECT_EQ(*all.rbegin() - *all.begin(), kThreads * kEach - 1);  // no gaps, no repeats
}

TEST(VCardPropertyTest, PhotoKeepsTheJpegAndNoImageGivesNoLine) {
  const std::vector<uint8_t> jpeg = testing::makeTestJpeg(6, 4);
  VCardPhoto photo;
  photo.setImage(Image::fromBytes(jpeg));
  ASSERT_NE(photo.image(), nullptr);
  EXPECT_EQ(photo.image()->jpegRepresentation(), jpeg);
  photo.setImage(nullptr);
  EXPECT_EQ(photo.toVCardLine(), std::nullopt);
  EXPECT_EQ(photo.image(), nullptr);
}

TEST(VCardPropertyTest, FieldsCanBeSetWhileAnotherThreadRenders) {
  auto tel = make<VCardTel>("1", "CELL");
  testing::Latch start(2);
  std::thread writer([&] {
    start.arrive_and_wait();
    for (int i = 0; i < 2000; ++i) {
      tel->setValue(i % 2 ? "1" : "22");
      tel->setType(i % 2 ? "CELL" : "WORK");
    }
  });
  start.arrive_and_wait();
  // Each field old or new, never torn.
  const std::set<std::string> whole = {
      "TEL;type=CELL;charset=UTF-8:1", "TEL;type=WORK;charset=UTF-8:22",
      "TEL;type=CELL;charset=UTF-8:22", "TEL;type=WORK;charset=UTF-8:1"};
  for (int i = 0; i < 2000; ++i) {
    const std::string line = tel->toVCardLine().value_or("(none)");
    ASSERT_EQ(whole.count(line), 1u) << line;
  }
  writer.join();
}

}  // namespace
}  // namespace xr
