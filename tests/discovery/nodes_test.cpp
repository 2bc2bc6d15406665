// The sorted node list and the node handler: limit, find-only mode, fetch threads.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "node_handler.h"
#include "node_list.h"

namespace discovery {
namespace {

std::unique_ptr<Node> nodeWithIp(const std::string& ip) {
  auto node = std::make_unique<Node>();
  node->ipAddress.assign(ip);
  return node;
}

std::vector<std::string> ipsInOrder(const NodeList& list) {
  std::vector<std::string> ips;
  for (const Node* node = list.front(); node; node = node->next.get()) {
    ips.emplace_back(node->ipAddress.view());
  }
  return ips;
}

TEST(NodeList, SortsByAddressTextAndDropsSecondReplyFromSameAddress) {
  NodeList list;
  for (const char* ip : {"10.0.0.2", "10.0.0.10", "192.168.1.1", "10.0.0.1", "10.0.0.2"}) {
    list.insert(nodeWithIp(ip));
  }
  EXPECT_EQ(ipsInOrder(list), (std::vector<std::string>{"10.0.0.1", "10.0.0.10", "10.0.0.2", "192.168.1.1"}));
  EXPECT_EQ(list.size(), 4u);
  EXPECT_EQ(list.insert(nodeWithIp("10.0.0.10")), nullptr);
  Node* added = list.insert(nodeWithIp("10.0.0.3"));
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->ipAddress.view(), "10.0.0.3");
}

TEST(NodeList, FreesAVeryLongListWithoutRecursion) {
  NodeList list;
  char ip[16];
  for (int i = 200000; i > 0; --i) {  // descending, so that each node goes to the front
    std::snprintf(ip, sizeof ip, "%07d", i);
    list.insert(nodeWithIp(ip));
  }
  EXPECT_EQ(list.size(), 200000u);
  list.clear();
  EXPECT_EQ(list.front(), nullptr);
}

std::atomic<int> fetchCalls{0};

// Stands in for http_fetch: a page that names the URL it was fetched from.
int fakeFetch(const char* url, char** text) {
  ++fetchCalls;
  const std::string page = std::string("NAME = ") + url + "\n";
  *text = static_cast<char*>(std::malloc(page.size() + 1));
  std::memcpy(*text, page.c_str(), page.size() + 1);
  return static_cast<int>(page.size());
}

int failingFetch(const char*, char** text) {
  ++fetchCalls;
  *text = nullptr;
  return -1;
}

class NodeHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override { fetchCalls = 0; }

  // Offers `count` nodes 10.x.y.z to a handler and returns what it printed.
  std::string offerNodes(const Request& request, int count, PageFetcher fetch = fakeFetch) {
    char* printed = nullptr;
    std::size_t printedSize = 0;
    std::FILE* findOutput = open_memstream(&printed, &printedSize);
    {
      NodeHandler handler(request, fetch, findOutput);
      for (int i = 0; i < count; ++i) {
        Node* node = list.insert(nodeWithIp("10." + std::to_string(i / 65536) + "." +
                                            std::to_string(i / 256 % 256) + "." + std::to_string(i % 256)));
        handler.handle(*node);
      }
      handler.joinAll();
      threadsStarted = handler.threadsStarted();
      nodesTaken = handler.nodesTaken();
    }
    std::fclose(findOutput);
    std::string result(printed, printedSize);
    std::free(printed);
    return result;
  }

  int pages() const {
    int withPage = 0;
    for (const Node* node = list.front(); node; node = node->next.get()) {
      withPage += node->summaryPage.has_value();
    }
    return withPage;
  }

  NodeList list;
  int threadsStarted = 0;
  int nodesTaken = 0;
};

TEST_F(NodeHandlerTest, EachTakenNodeGetsItsOwnPage) {
  EXPECT_EQ(offerNodes(Request{}, 20), "");
  EXPECT_EQ(threadsStarted, 20);
  EXPECT_EQ(pages(), 20);
  for (const Node* node = list.front(); node; node = node->next.get()) {
    EXPECT_TRUE(node->taken);
    EXPECT_EQ(*node->summaryPage, "NAME = http://" + std::string(node->ipAddress.view()) + "/node_summary.htm\n");
  }
}

TEST_F(NodeHandlerTest, LimitOfZeroFetchesNothingButKeepsNodes) {
  offerNodes(Request{.nodeLimit = 0}, 5);
  EXPECT_EQ(fetchCalls, 0);
  EXPECT_EQ(nodesTaken, 0);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_FALSE(list.front()->taken);
}

TEST_F(NodeHandlerTest, LimitTakesOnlyTheFirstNodesFound) {
  offerNodes(Request{.nodeLimit = 3}, 10);
  EXPECT_EQ(fetchCalls, 3);
  EXPECT_EQ(pages(), 3);
  EXPECT_EQ(nodesTaken, 3);
}

TEST_F(NodeHandlerTest, FindOnlyPrintsEachTakenAddressAndFetchesNothing) {
  EXPECT_EQ(offerNodes(Request{.nodeLimit = 2, .findOnly = true}, 4), "10.0.0.0\n10.0.0.1\n");
  EXPECT_EQ(fetchCalls, 0);
  EXPECT_EQ(threadsStarted, 0);
}

TEST_F(NodeHandlerTest, MoreThanAThousandNodesNeverOverrunTheThreadTable) {
  offerNodes(Request{}, 1200);
  EXPECT_EQ(nodesTaken, kMaxNodes);
  EXPECT_EQ(threadsStarted, kMaxNodes);
  EXPECT_EQ(pages(), kMaxNodes);
  EXPECT_EQ(list.size(), 1200u);
}

TEST_F(NodeHandlerTest, FailedFetchLeavesNoPage) {
  offerNodes(Request{}, 3, failingFetch);
  EXPECT_EQ(fetchCalls, 3);
  EXPECT_EQ(pages(), 0);
}

TEST(FetchSummaryPage, AddressesThatAreNoUnitAreNeverFetched) {
  fetchCalls = 0;
  for (const char* ip : {"0.0.0.0", "", "10.0.0.1/x?", "a@10.0.0.2", "10.0.0", "10.0.0.256", "localhost"}) {
    Node node;
    node.ipAddress.assign(ip);
    fetchSummaryPage(node, fakeFetch);
    EXPECT_FALSE(node.summaryPage) << ip;
  }
  EXPECT_EQ(fetchCalls, 0);
}

}  // namespace
}  // namespace discovery
