// xrf xml: device XML messages from the command line.
//   xrf xml info FILE   what a message is: its packet type, content type, command id,
//                       notification type, message type and error check, as "name: value"
//                       lines; FILE "-" reads standard input.
#include <iostream>
#include <optional>
#include <string>

#include "command.h"
#include "xrfoundation/device/xml_message.h"
#include "xrfoundation/platform/xml.h"

namespace {

// What the check prints for a result or description the message does not give.
constexpr char kAbsent[] = "(null)";

struct InfoOptions {
  std::string file;
  bool verbose = false;
};

void info(const InfoOptions& options) {
  const std::string source = options.file == "-" ? "standard input" : options.file;
  std::optional<std::string> text = xrf::readWholeInput(options.file);
  if (!text) return;
  // Parsed here rather than with stringToElement so that the error can say why and where.
  xr::XmlParseError error;
  xr::XmlNode message = xr::parseXmlElement(*text, &error);
  if (!message) {
    xrf::fail(source + ": not a well-formed XML message: " + error.description + " (at byte " +
              std::to_string(error.offset) + ")");
    return;
  }
  // The readers log a line for a message without "response" or "body"; a notification has no
  // "response" by nature, so those lines are shown only on request.
  xrf::setLibraryLogging(options.verbose);
  auto check = xr::checkElementError(message);
  std::cout << "packet type: " << xr::getPackType(message) << '\n'
            << "content type: " << xr::getPackContentType(message) << '\n'
            << "command id: " << xr::getPackCmdID(message) << '\n'
            << "notification type: " << xr::getNotifyType(message) << '\n'
            << "message type: " << xr::getMsgType(message) << '\n'
            << "result: " << check->result().value_or(kAbsent) << '\n'
            << "error description: " << check->errorDescription().value_or(kAbsent) << '\n';
  xrf::setExitCode(0);
}

xrf::CommandRegistrar xmlGroup([](CLI::App& app) {
  auto* xml = app.add_subcommand("xml", "Device XML messages");
  xml->require_subcommand(1);
  auto options = std::make_shared<InfoOptions>();
  auto* infoCommand =
      xml->add_subcommand("info", "Print what a device message is, one \"name: value\" a line");
  infoCommand->add_option("file", options->file, "Message file, or - for standard input")
      ->required();
  infoCommand->add_flag("-v,--verbose", options->verbose,
                        "Show the library's diagnostic lines on standard error");
  infoCommand->callback([options] { info(*options); });
});

}  // namespace
