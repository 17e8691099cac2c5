// examples/device_reply.cpp: reads what a device reply is and whether it reports an error.
#include <cstdio>
#include <string>

#include "xrfoundation/device/xml_message.h"

int main() {
  // [reply]
  const char* reply =
      "<iq id=\"42\" type=\"result\">"
      "<response ns=\"contact\"><syncContactsResult><added>12</added></syncContactsResult>"
      "</response></iq>";
  xr::XmlNode message = xr::stringToElement(reply);  // none when the text doesn't parse
  if (!message) return 1;
  const std::string packet = xr::getPackType(message);             // "contact"
  const std::string content = xr::getPackContentType(message);     // "syncContactsResult"
  const std::string command = xr::getPackCmdID(message);           // "42"
  const auto added = xr::firstXPathNodeValue(message, "//added");  // "12"
  const auto outcome = xr::checkElementError(message);             // success unless type="error"
  std::printf("%s %s %s added=%s %s\n", packet.c_str(), content.c_str(), command.c_str(),
              added.value_or("?").c_str(), outcome->isSuccess() ? "ok" : "failed");

  xr::XmlNode failure =
      xr::stringToElement("<iq id=\"43\" type=\"error\"><error>storage full</error></iq>");
  const auto error = xr::checkElementError(failure);
  std::printf("%s: %s\n", xr::getPackCmdID(failure).c_str(),
              error->errorDescription().value_or("").c_str());  // "43: storage full"
  // [reply]

  const bool right = packet == "contact" && content == "syncContactsResult" && command == "42" &&
                     added == "12" && outcome->isSuccess() && !error->isSuccess() &&
                     error->errorDescription() == "storage full";
  if (!right) std::fprintf(stderr, "device_reply: unexpected reading\n");
  return right ? 0 : 1;
}
