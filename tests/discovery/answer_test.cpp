// The XML document and the save cookie at their edges: no units, hostile units.

#include "answer.h"

#include <gtest/gtest.h>

namespace discovery {
namespace {

std::unique_ptr<Node> makeNode(const char* ip, std::optional<std::string> page) {
  auto node = std::make_unique<Node>();
  node->ipAddress.assign(ip);
  node->summaryPage = std::move(page);
  return node;
}

// The full documents for several units are checked on the test network (test_network.py).
TEST(Answer, EmptyListGivesEmptyElementsAndCookie) {
  NodeList nodes;
  const std::string xml = xmlAnswer(nodes);
  EXPECT_NE(xml.find("<data id=\"disc_ip\" type=\"str\"></data>\n</unit_data>\n"), std::string::npos);
  EXPECT_EQ(saveAnswer(nodes),
            "Content-Type: text/plain; charset=utf-8\n"
            "Set-Cookie: saved_nodes=ADDRESS = :NAME = :IP = :; expires=31-Dec-2099 23:59:59 GMT\n\n\n OK");
}

TEST(Answer, HostileReplyAndPageTextCannotBreakTheDocumentOrCookie) {
  NodeList nodes;
  auto node = makeNode("10.0.0.3", "ADDRESS = 1;Domain=x\nTRON = </data><x>\n");
  node->macAddress.assign("<evil>&");
  nodes.insert(std::move(node));
  const std::string xml = xmlAnswer(nodes);
  EXPECT_NE(xml.find(">%3c/data%3e%3cx%3e</data>"), std::string::npos);
  EXPECT_NE(xml.find(">%3cevil%3e%26</data>"), std::string::npos);
  EXPECT_NE(saveAnswer(nodes).find("saved_nodes=ADDRESS = 1%3bDomain=x:"), std::string::npos);
}

}  // namespace
}  // namespace discovery
