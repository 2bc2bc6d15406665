#include "node_handler.h"

#include <arpa/inet.h>
#include <syslog.h>

#include <cstdlib>

namespace discovery {
namespace {

// A fetch needs little stack; the default 8 MiB per thread would exhaust the 32-bit
// address space of the front end long before 1000 threads.
constexpr std::size_t kFetchThreadStackBytes = 256 * 1024;

bool isFetchableAddress(const char* ipAddress) {
  in_addr address{};
  return inet_pton(AF_INET, ipAddress, &address) == 1 && address.s_addr != htonl(INADDR_ANY);
}

}  // namespace

void fetchSummaryPage(Node& node, PageFetcher fetchPage) {
  if (!isFetchableAddress(node.ipAddress.c_str())) {
    return;
  }
  char url[64];
  std::snprintf(url, sizeof url, "http://%s/node_summary.htm", node.ipAddress.c_str());
  syslog(LOG_DEBUG, "Fetching page: %s\n", url);
  char* text = nullptr;
  const int bytes = fetchPage(url, &text);
  if (bytes > 0 && text) {
    node.summaryPage.emplace(text, static_cast<std::size_t>(bytes));
    syslog(LOG_DEBUG, "Fetched data: %s\n", text);
  } else {
    syslog(LOG_DEBUG, "Could not fetch page: %s\n", url);
  }
  std::free(text);
}

NodeHandler::NodeHandler(const Request& request, PageFetcher fetchPage, std::FILE* findOutput)
    : nodeLimit_(request.nodeLimit), findOnly_(request.findOnly), fetchPage_(fetchPage), findOutput_(findOutput) {}

void NodeHandler::handle(Node& node) {
  syslog(LOG_DEBUG, "Found node with name: %s and ip: %s\n", node.hostName.c_str(), node.ipAddress.c_str());
  if (nodesTaken_ >= nodeLimit_ || nodesTaken_ >= kMaxNodes) {
    return;
  }
  node.taken = true;
  ++nodesTaken_;
  if (findOnly_) {
    std::fprintf(findOutput_, "%s\n", node.ipAddress.c_str());
    std::fflush(findOutput_);
    return;
  }
  startFetchThread(node);
}

void NodeHandler::startFetchThread(Node& node) {
  const int index = threadsStarted_;
  jobs_[index] = FetchJob{&node, fetchPage_};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kFetchThreadStackBytes);
  const int error = pthread_create(&threads_[index], &attributes, runFetchJob, &jobs_[index]);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    syslog(LOG_ERR, "Could not create thread: %d\n", error);
    return;
  }
  syslog(LOG_DEBUG, "Thread created: %d\n", index);
  ++threadsStarted_;
}

void* NodeHandler::runFetchJob(void* job) {
  auto* fetchJob = static_cast<FetchJob*>(job);
  fetchSummaryPage(*fetchJob->node, fetchJob->fetchPage);
  return nullptr;
}

void NodeHandler::joinAll() {
  for (; threadsJoined_ < threadsStarted_; ++threadsJoined_) {
    pthread_join(threads_[threadsJoined_], nullptr);
  }
}

}  // namespace discovery
