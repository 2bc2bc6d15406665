// The XML document and the save cookie, byte for byte as the browser receives them.

#include "answer.h"

#include <gtest/gtest.h>

#include "request.h"

namespace discovery {
namespace {

std::unique_ptr<Node> makeNode(const char* reply, std::optional<std::string> page) {
  auto node = std::make_unique<Node>();
  node->setReplyField(ReplyField::ipAddress, reply);
  node->summaryPage = std::move(page);
  return node;
}

class AnswerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto first = makeNode("10.0.0.2", "ADDRESS = 7\nTRON = 1\nNAME = a.b\nSECCURR = 812\nSECVOL = 45\n"
                                      "SPARKS = 3\nLIM = 2\nCR = 1\nALARMS2 = 0x10\nALARMS2_MASK_W = 0x30\n");
    first->macAddress.assign("00:30:11:00:00:02");
    first->gateway.assign("10.0.0.1");
    first->subnetMask.assign("255.255.255.0");
    first->moduleVersion.assign("2.31");
    first->dhcpState.assign("ON");
    nodes.insert(std::move(first));
    auto second = makeNode("10.0.0.10", std::nullopt);
    second->dhcpState.assign("OFF");
    nodes.insert(std::move(second));
  }
  NodeList nodes;
};

TEST_F(AnswerTest, XmlListsEveryElementInOrderWithEmptyValuesForNodeWithoutPage) {
  EXPECT_EQ(xmlAnswer(nodes),
            "Content-Type: text/xml; charset=utf-8\n"
            "\n"
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<unit_data>\n"
            "<data id=\"disc_alarm\" type=\"int\">,1</data>\n"
            "<data id=\"disc_address\" type=\"int\">,7</data>\n"
            "<data id=\"disc_00\" type=\"int\"  flags=\",,,disc_mu,,,,disc_tron\">,1</data>\n"
            "<data id=\"disc_name\" type=\"str\">,a%2eb</data>\n"
            "<data id=\"disc_seccurr\" type=\"int\">,812</data>\n"
            "<data id=\"disc_secvol\" type=\"int\">,45</data>\n"
            "<data id=\"disc_sparks\" type=\"int\">,3</data>\n"
            "<data id=\"disc_lim\" type=\"int\">,2</data>\n"
            "<data id=\"disc_cr\" type=\"int\">,1</data>\n"
            "<data id=\"disc_dhcp\" type=\"int\">0,1</data>\n"
            "<data id=\"disc_mac\" type=\"str\">,00:30:11:00:00:02</data>\n"
            "<data id=\"disc_gateway\" type=\"str\">,10.0.0.1</data>\n"
            "<data id=\"disc_netmask\" type=\"str\">,255.255.255.0</data>\n"
            "<data id=\"disc_anybus\" type=\"str\">,2.31</data>\n"
            "<data id=\"disc_ip\" type=\"str\">10.0.0.10,10.0.0.2</data>\n"
            "</unit_data>\n");
}

TEST_F(AnswerTest, SaveCookieListsAddressesNamesAndIps) {
  EXPECT_EQ(saveAnswer(nodes),
            "Content-Type: text/plain; charset=utf-8\n"
            "Set-Cookie: saved_nodes=ADDRESS = ,7:NAME = ,a%2eb:IP = 10.0.0.10,10.0.0.2:"
            "; expires=31-Dec-2099 23:59:59 GMT\n"
            "\n"
            "\n OK");
}

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
