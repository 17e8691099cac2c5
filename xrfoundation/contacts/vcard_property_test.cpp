// contacts/vcard_property_test.cpp
#include "xrfoundation/contacts/vcard_property.h"

#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <set>
#include <thread>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/platform/image.h"
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
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"one\r\ntwo", "one\\ntwo"},
      {"one\ntwo", "one\\ntwo"},  // a phone's usual line break
      {"one\rtwo", "one\\ntwo"},
      {"one\r\rtwo", "one\\n\\ntwo"},
      {"one\n\rtwo", "one\\n\\ntwo"},  // LF CR is two breaks, not one pair
      {"one\r\n\ntwo", "one\\n\\ntwo"},
      {"\r\nedges\n", "\\nedges\\n"},
      {"\r", "\\n"},
      {"a\\b,c;d:e", "a\\b,c;d:e"},
      {"Acme\\;Sales", "Acme\\;Sales"},
  };
  for (const auto& c : cases) EXPECT_EQ(escapedNewLineString(c.in), c.out) << "input " << c.in;
}

TEST(VCardPropertyTest, RendersEveryLineFormat) {
  auto address = [](Text type) {
    auto property = std::make_shared<VCardAddress>();
    property->setType(std::move(type));
    return property;
  };
  auto fullAddress = [] {
    auto property = std::make_shared<VCardAddress>();
    property->setType("Work");
    property->setPostOfficeAddress("PO 1");
    property->setExtendedAddress("Floor 2");
    property->setStreet("1 Main St\nBack door");
    property->setLocality("Springfield");
    property->setRegion("IL");
    property->setPostalCode("62701");
    property->setCountry("USA");
    return property;
  };
  auto name = [] {
    auto property = std::make_shared<VCardName>();
    property->setFirstName("Lee");
    property->setMiddleName("J");
    property->setLastName("Ann");
    property->setPrefix("Dr.");
    property->setSuffix("Jr\r\n.");
    return property;
  };
  auto nickname = [](std::string text) {
    auto property = std::make_shared<VCardNickName>();
    property->setNickName(std::move(text));
    return property;
  };
  const struct {
    const char* what;
    std::shared_ptr<VCardProperty> property;
    Text line;
  } cases[] = {
      {"tel typed", make<VCardTel>("555 1234", "CELL"), "TEL;type=CELL;charset=UTF-8:555 1234"},
      {"tel type with parameter", make<VCardTel>("555 1234", "FAX;type=WORK"),
       "TEL;type=FAX;type=WORK;charset=UTF-8:555 1234"},
      {"tel empty type", make<VCardTel>("1", ""), "TEL;type=;charset=UTF-8:1"},
      {"tel no type", make<VCardTel>("1"), "TEL;charset=UTF-8:1"},
      {"tel empty value", make<VCardTel>("", "CELL"), std::nullopt},
      {"tel absent value", make<VCardTel>(std::nullopt, "CELL"), std::nullopt},
      {"note escaped", make<VCardNote>("a\nb\r\nc"), "NOTE;charset=UTF-8:a\\nb\\nc"},
      {"org", make<VCardOrg>("Acme\\;Sales"), "ORG;charset=UTF-8:Acme\\;Sales"},
      {"full name", make<VCardFullName>("Ann Lee"), "FN;charset=UTF-8:Ann Lee"},
      {"url", make<VCardURL>("http://a.example/x;y"), "URL;charset=UTF-8:http://a.example/x;y"},
      {"base without cmd", make<VCardProperty>("v", "T"), std::nullopt},
      {"email typed", make<VCardEmail>("a@b.example", "WORK"),
       "EMAIL;charset=UTF-8;type=INTERNET;type=WORK;type=pref:a@b.example"},
      {"email empty type", make<VCardEmail>("a@b.example", ""),
       "EMAIL;charset=UTF-8;type=INTERNET;type=OTHER;type=pref:a@b.example"},
      {"email no type", make<VCardEmail>("a@b.example"),
       "EMAIL;charset=UTF-8;type=INTERNET;type=OTHER;type=pref:a@b.example"},
      {"email empty", make<VCardEmail>(""), std::nullopt},
      {"group", make<VCardContactGroup>("Friends\n"), "CATEGORIES;CHARSET=utf-8:Friends\\n"},
      {"group empty", make<VCardContactGroup>(""), std::nullopt},
      {"birthday", make<VCardBirthday>("1980-02-03"), "BDAY:1980-02-03"},
      {"birthday absent", make<VCardBirthday>(std::nullopt), std::nullopt},
      {"title", make<VCardTitle>("Boss\rman"), "TITLE:Boss\\nman"},
      {"title space", make<VCardTitle>(" "), "TITLE: "},
      {"title empty", make<VCardTitle>(""), std::nullopt},
      {"birthdate", make<VCardDate>("1980-02-03", "Birthdate"), "X-DE;Birthdate:1980-02-03"},
      {"date no type", make<VCardDate>("1980-02-03"), "X-DE;OTHER:1980-02-03"},
      {"date empty", make<VCardDate>("", "Anniversary"), std::nullopt},
      {"im empty", make<VCardIM>("", "AIM"), std::nullopt},
      {"new address", address("Home"), "ADR;charset=UTF-8;type=Home;type=pref:;;;;;;"},
      {"address no type", address(std::nullopt), "ADR;charset=UTF-8;type=OTHER;type=pref:;;;;;;"},
      {"address empty type", address(""), "ADR;charset=UTF-8;type=OTHER;type=pref:;;;;;;"},
      {"full address", fullAddress(),
       "ADR;charset=UTF-8;type=Work;type=pref:PO 1;Floor 2;1 Main St\\nBack door;Springfield;IL;"
       "62701;USA"},
      {"new name", std::make_shared<VCardName>(), "N;charset=UTF-8:;;;;"},
      {"name", name(), "N;charset=UTF-8:Lee;J;Ann;Dr.;Jr\\n."},
      {"new nickname", std::make_shared<VCardNickName>(), "NICKNAME;charset=UTF-8:"},
      {"nickname", nickname("Annie\nA"), "NICKNAME;charset=UTF-8:Annie\\nA"},
      {"photo without image", std::make_shared<VCardPhoto>(), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.property->toVCardLine(), c.line) << c.what;
}

TEST(VCardPropertyTest, ConstructorsNameTheirProperty) {
  const struct {
    std::shared_ptr<VCardProperty> property;
    Text cmd;
    const char* className;
  } cases[] = {
      {std::make_shared<VCardNote>(), "NOTE", "VCardNote"},
      {std::make_shared<VCardTel>(), "TEL", "VCardTel"},
      {std::make_shared<VCardOrg>(), "ORG", "VCardOrg"},
      {std::make_shared<VCardFullName>(), "FN", "VCardFullName"},
      {std::make_shared<VCardURL>(), "URL", "VCardURL"},
      {std::make_shared<VCardEmail>(), "EMAIL", "VCardEmail"},
      {std::make_shared<VCardContactGroup>(), "CATEGORIES", "VCardContactGroup"},
      {std::make_shared<VCardBirthday>(), "BDAY", "VCardBirthday"},
      {std::make_shared<VCardTitle>(), "TITLE", "VCardTitle"},
      {std::make_shared<VCardIM>(), "X-IM", "VCardIM"},
      {std::make_shared<VCardDate>(), "X-DE", "VCardDate"},
      {std::make_shared<VCardAddress>(), "ADR", "VCardAddress"},
      {std::make_shared<VCardName>(), "N", "VCardName"},
      {std::make_shared<VCardNickName>(), std::nullopt, "VCardNickName"},
      {std::make_shared<VCardPhoto>(), std::nullopt, "VCardPhoto"},
      {std::make_shared<VCardProperty>(), std::nullopt, "VCardProperty"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.property->cmd(), c.cmd) << c.className;
    EXPECT_EQ(c.property->className(), c.className);
    EXPECT_EQ(c.property->value(), std::nullopt) << c.className;
    EXPECT_EQ(c.property->type(), std::nullopt) << c.className;
  }
}

TEST(VCardPropertyTest, ImWritesTheGenericLineAndTheServiceLine) {
  const struct {
    Text type;
    const char* lines;
  } cases[] = {
      {"AIM", "X-IM;AIM:ann\\n1\r\nX-AIM;type=HOME:ann\\n1"},
      {"MSN", "X-IM;MSN:ann\\n1\r\nX-MSN;type=HOME:ann\\n1"},
      {"Yahoo", "X-IM;Yahoo:ann\\n1\r\nX-Yahoo;type=HOME:ann\\n1"},
      {"Skype", "X-IM;Skype:ann\\n1\r\nX-Skype;type=HOME:ann\\n1"},
      {"QQ", "X-IM;QQ:ann\\n1\r\nX-QQ;type=HOME:ann\\n1"},
      {"Google Talk",
       "X-IM;Google Talk:ann\\n1\r\nIMPP;X-SERVICE-TYPE=GoogleTalk;type=HOME:xmpp:ann\\n1"},
      {"ICQ", "X-IM;ICQ:ann\\n1\r\nX-ICQ;type=HOME:ann\\n1"},
      {"Jabber", "X-IM;Jabber:ann\\n1\r\nX-Jabber;type=HOME:ann\\n1"},
      {"Netmeeting",
       "X-IM;Netmeeting:ann\\n1\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann\\n1"},
      {"skype", "X-IM;skype:ann\\n1\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann\\n1"},
      {std::nullopt, "X-IM;OTHER:ann\\n1\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann\\n1"},
      {"", "X-IM;OTHER:ann\\n1\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann\\n1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(make<VCardIM>("ann\n1", c.type)->toVCardLine(), c.lines) << c.type.value_or("(null)");
  }
}

TEST(VCardPropertyTest, GroupedDatesDrawANewItemNumberAtEveryRendering) {
  const int before = std::stoi(createUniqueNumber());
  auto anniversary = make<VCardDate>("2001-05-06", "Anniversary");
  auto other = make<VCardDate>("2002\n07", "Other");
  auto birthdate = make<VCardDate>("1980-02-03", "Birthdate");
  auto item = [&](int offset) { return "item" + std::to_string(before + offset); };
  EXPECT_EQ(anniversary->toVCardLine(),
            item(1) + ".X-ABDATE:2001-05-06\r\n" + item(1) +
                ".X-ABLabel:_$!<Anniversary>!$_\r\nX-DE;Anniversary:2001-05-06");
  EXPECT_EQ(birthdate->toVCardLine(), "X-DE;Birthdate:1980-02-03");  // draws no number
  EXPECT_EQ(other->toVCardLine(), item(2) + ".X-ABDATE:2002\\n07\r\n" + item(2) +
                                      ".X-ABLabel:_$!<Other>!$_\r\nX-DE;Other:2002\\n07");
  EXPECT_EQ(anniversary->toVCardLine()->substr(0, item(3).size() + 1), item(3) + ".");
  EXPECT_EQ(createUniqueNumber(), std::to_string(before + 4));
}

TEST(VCardPropertyTest, ItemCounterHandsOutEachNumberOnceAcrossThreads) {
  constexpr int kThreads = 4;
  constexpr int kEach = 2000;
  std::latch start(kThreads);
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

TEST(VCardPropertyTest, PhotoStoresTheJpegRepresentationAsBase64) {
  const std::vector<uint8_t> jpeg = testing::makeTestJpeg(6, 4);
  VCardPhoto photo;
  photo.setImage(Image::fromBytes(jpeg));
  EXPECT_EQ(photo.toVCardLine(), "PHOTO;ENCODING=base64;TYPE=JPEG:" + *base64Encoding(jpeg));
  auto back = photo.image();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->jpegRepresentation(), jpeg);

  // A PNG is kept as the JPEG the image made of it.
  auto png = Image::fromBytes(testing::makeTestPng(5, 5, true));
  ASSERT_NE(png, nullptr);
  photo.setImage(png);
  EXPECT_EQ(photo.toVCardLine(),
            "PHOTO;ENCODING=base64;TYPE=JPEG:" + *base64Encoding(png->jpegRepresentation()));

  photo.setImage(nullptr);
  EXPECT_EQ(photo.toVCardLine(), std::nullopt);
  EXPECT_EQ(photo.image(), nullptr);
}

TEST(VCardPropertyTest, FieldsCanBeSetWhileAnotherThreadRenders) {
  auto tel = make<VCardTel>("1", "CELL");
  std::latch start(2);
  std::thread writer([&] {
    start.arrive_and_wait();
    for (int i = 0; i < 2000; ++i) {
      tel->setValue(i % 2 ? "1" : "22");
      tel->setType(i % 2 ? "CELL" : "WORK");
    }
  });
  start.arrive_and_wait();
  const std::set<std::string> possible = {
      "TEL;type=CELL;charset=UTF-8:1", "TEL;type=WORK;charset=UTF-8:22",
      "TEL;type=CELL;charset=UTF-8:22", "TEL;type=WORK;charset=UTF-8:1"};
  for (int i = 0; i < 2000; ++i) {
    const Text line = tel->toVCardLine();
    ASSERT_TRUE(line);
    ASSERT_EQ(possible.count(*line), 1u) << *line;
  }
  writer.join();
}

}  // namespace
}  // namespace xr
