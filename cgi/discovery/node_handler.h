#pragma once
// Takes each new node as the scan finds it: counts it against the node limit and
// either prints its address (find-only mode) or starts a thread that fetches its page.

#include <pthread.h>

#include <array>
#include <cstdio>

#include "node.h"
#include "request.h"

namespace discovery {

// Same contract as http_fetch.
using PageFetcher = int (*)(const char* url, char** text);

class NodeHandler {
 public:
  // Addresses found in find-only mode are printed to findOutput.
  NodeHandler(const Request& request, PageFetcher fetchPage, std::FILE* findOutput);
  NodeHandler(const NodeHandler&) = delete;
  NodeHandler& operator=(const NodeHandler&) = delete;
  ~NodeHandler() { joinAll(); }

  void handle(Node& node);

  // Waits for every fetch thread started so far; afterwards every page may be read.
  void joinAll();

  int nodesTaken() const { return nodesTaken_; }
  int threadsStarted() const { return threadsStarted_; }

 private:
  struct FetchJob {
    Node* node;
    PageFetcher fetchPage;
  };
  static void* runFetchJob(void* job);
  void startFetchThread(Node& node);

  int nodeLimit_;
  bool findOnly_;
  PageFetcher fetchPage_;
  std::FILE* findOutput_;
  int nodesTaken_ = 0;
  int threadsStarted_ = 0;
  int threadsJoined_ = 0;
  std::array<pthread_t, kMaxNodes> threads_{};
  std::array<FetchJob, kMaxNodes> jobs_{};
};

// Fetches the node's summary page into the node. A node whose address is "0.0.0.0",
// or is no IPv4 address at all, gets no page: the address is outside input and is
// never put into a URL unchecked.
void fetchSummaryPage(Node& node, PageFetcher fetchPage);

}  // namespace discovery
