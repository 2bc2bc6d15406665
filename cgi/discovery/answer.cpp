#include "answer.h"

#include <string_view>

#include "page_reader.h"

namespace discovery {
namespace {

// Where the value of an XML element comes from, for each node.
enum class Source {
  alarm,        // the alarm level of the page
  pageRaw,      // a page value as it is
  pageEscaped,  // a page value in escaped form
  dhcp,         // "1" when the reply's DHCP field is "ON", else "0"
  reply,        // a field of the scan reply
};

struct XmlElement {
  std::string_view openingTag;
  Source source;
  std::string_view pageKey;
  ReplyField replyField;
};

constexpr auto kNoField = ReplyField::ipAddress;  // placeholder for rows that read the page

// opening tag                                                                 source               page key        reply field
constexpr XmlElement kXmlElements[] = {
    {R"(<data id="disc_alarm" type="int">)",                                     Source::alarm,       "",             kNoField},
    {R"(<data id="disc_address" type="int">)",                                   Source::pageRaw,     "ADDRESS = ",   kNoField},
    {R"(<data id="disc_00" type="int"  flags=",,,disc_mu,,,,disc_tron">)",       Source::pageRaw,     "TRON = ",      kNoField},
    {R"(<data id="disc_name" type="str">)",                                      Source::pageEscaped, "NAME = ",      kNoField},
    {R"(<data id="disc_seccurr" type="int">)",                                   Source::pageEscaped, "SECCURR = ",   kNoField},
    {R"(<data id="disc_secvol" type="int">)",                                    Source::pageEscaped, "SECVOL = ",    kNoField},
    {R"(<data id="disc_sparks" type="int">)",                                    Source::pageEscaped, "SPARKS = ",    kNoField},
    {R"(<data id="disc_lim" type="int">)",                                       Source::pageEscaped, "LIM = ",       kNoField},
    {R"(<data id="disc_cr" type="int">)",                                        Source::pageEscaped, "CR = ",        kNoField},
    {R"(<data id="disc_dhcp" type="int">)",                                      Source::dhcp,        "",             kNoField},
    {R"(<data id="disc_mac" type="str">)",                                       Source::reply,       "",             ReplyField::macAddress},
    {R"(<data id="disc_gateway" type="str">)",                                   Source::reply,       "",             ReplyField::gateway},
    {R"(<data id="disc_netmask" type="str">)",                                   Source::reply,       "",             ReplyField::subnetMask},
    {R"(<data id="disc_anybus" type="str">)",                                    Source::reply,       "",             ReplyField::moduleVersion},
    {R"(<data id="disc_ip" type="str">)",                                        Source::reply,       "",             ReplyField::ipAddress},
};

constexpr std::string_view kXmlHeader = "Content-Type: text/xml; charset=utf-8\n\n";
constexpr std::string_view kXmlDeclaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
constexpr std::string_view kCookieExpiry = "; expires=31-Dec-2099 23:59:59 GMT";

void appendPageValue(std::string& out, const Node& node, std::string_view key, bool escaped) {
  if (!node.summaryPage) {
    return;
  }
  const std::string_view value = findPageValue(*node.summaryPage, key).value_or("");
  escaped ? appendEscapedValue(out, value) : appendRawValue(out, value);
}

void appendElementValue(std::string& out, const XmlElement& element, const Node& node) {
  switch (element.source) {
    case Source::alarm:
      if (node.summaryPage) {
        out += std::to_string(alarmLevel(*node.summaryPage));
      }
      break;
    case Source::pageRaw:
      appendPageValue(out, node, element.pageKey, false);
      break;
    case Source::pageEscaped:
      appendPageValue(out, node, element.pageKey, true);
      break;
    case Source::dhcp:
      out += node.dhcpState.view() == "ON" ? "1" : "0";
      break;
    case Source::reply:
      appendRawValue(out, node.replyField(element.replyField));
      break;
  }
}

// Every node's value in list order, separated by ",".
template <typename AppendValue>
void appendNodeValues(std::string& out, const NodeList& nodes, AppendValue appendValue) {
  for (const Node* node = nodes.front(); node; node = node->next.get()) {
    if (node != nodes.front()) {
      out += ',';
    }
    appendValue(*node);
  }
}

// The cookie part "<label><value>,<value>,...:".
template <typename AppendValue>
void appendCookieList(std::string& out, std::string_view label, const NodeList& nodes, AppendValue appendValue) {
  out += label;
  appendNodeValues(out, nodes, appendValue);
  out += ':';
}

}  // namespace

std::string xmlAnswer(const NodeList& nodes) {
  std::string out;
  out += kXmlHeader;
  out += kXmlDeclaration;
  out += "\n<unit_data>\n";
  for (const XmlElement& element : kXmlElements) {
    out += element.openingTag;
    appendNodeValues(out, nodes, [&](const Node& node) { appendElementValue(out, element, node); });
    out += "</data>\n";
  }
  out += "</unit_data>\n";
  return out;
}

std::string saveAnswer(const NodeList& nodes) {
  std::string out = "Content-Type: text/plain; charset=utf-8\nSet-Cookie: saved_nodes=";
  appendCookieList(out, "ADDRESS = ", nodes, [&out](const Node& node) { appendPageValue(out, node, "ADDRESS = ", false); });
  appendCookieList(out, "NAME = ", nodes, [&out](const Node& node) { appendPageValue(out, node, "NAME = ", true); });
  appendCookieList(out, "IP = ", nodes, [&out](const Node& node) { appendRawValue(out, node.ipAddress.view()); });
  out += kCookieExpiry;
  out += "\n\n\n OK";
  return out;
}

}  // namespace discovery
