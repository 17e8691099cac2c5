// contacts/testing/rich_contact.h: a contact that touches every step of vCard composition,
// shared by the composition test and the program that feeds the independent parser check.
#pragma once
#include <string>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/contact_info.h"

namespace xr::testing {

inline ContactInfo makeRichContact() {
  ContactInfo c;
  c.familyName = "Lee";
  c.middleName = "J";
  c.givenName = "Ann";
  c.prefix = "Dr.";
  c.suffix = "PhD";
  c.displayName = "Dr. Ann J Lee";
  c.nickname = "Annie";
  c.groupNumber.arrItem = {{"+1 555 0100", E_Number_Mobile},
                           {"555 0101", E_Number_FaxWork},
                           {"555 0102", E_Number_Main},
                           {"555 0103", std::nullopt},
                           {"", E_Number_Home}};
  c.groupEmail.arrItem = {{"ann@home.example", E_Email_Home},
                          {"ann@phone.example", E_Email_Mobile},
                          {"ann@x.example", E_Email_Other}};
  c.groupIm.arrItem = {{"ann.aim", E_Im_AIM},       {"ann.msn", E_Im_MSN},
                       {"ann.yahoo", E_Im_Yahoo},   {"ann.skype", E_Im_Skype},
                       {"10001", E_Im_QQ},          {"ann@gmail.example", E_Im_GoogleTalk},
                       {"20002", E_Im_ICQ},         {"ann@jabber.example", E_Im_Jabber},
                       {"ann.nm", E_Im_NetMeeting}, {"ann.sip", E_SipAddress_Home},
                       {"ann.none", std::nullopt}};
  c.groupDate.arrItem = {{"1980-02-03", E_Date_Birthday},
                         {"2005-06-07", E_Date_Anniversary},
                         {"1981-01-01", E_Date_Birthday},
                         {"2010-10-10", E_Date_Other},
                         {"2011-11-11", std::nullopt}};
  c.userData[kContactGroupNamesKey] = {"Friends", "Work"};
  c.groupAddress.arrItem = {
      {E_Address_Home, "1 Main St\nApt 2", "Springfield", "IL", "62701", "USA"},
      {E_Address_Work, "2 Office Rd", "Chicago", "IL", "60601", "USA"},
      {E_Address_Other, std::nullopt, "Paris", std::nullopt, std::nullopt, std::nullopt}};
  c.groupOrganization.arrItem = {{"Acme", "Sales", "CEO"},
                                 {"Beta", std::nullopt, std::nullopt},
                                 {std::nullopt, "Research", "Fellow"}};
  c.groupWebsite.arrItem = {{"https://ann.example"}};
  c.groupNote.arrItem = {{"first line\nsecond line"}};
  return c;
}

}  // namespace xr::testing
