// discovery: CGI of the web front end that finds the units on the local network and
// answers the browser with a summary of each (XML) or a cookie listing them ("save").

#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "answer.h"
#include "http_fetch.h"
#include "node_handler.h"
#include "node_list.h"
#include "request.h"
#include "scan.h"

namespace {

constexpr int kConnectTimeoutSeconds = 3;

}  // namespace

int main(int argc, char** argv) {
  using namespace discovery;
  openlog("discovery", 0, LOG_USER);

  const Request request = parseRequest(std::getenv("QUERY_STRING"), argc - 1, argv + 1);
  if (request.save) {
    syslog(LOG_ERR, "got save");
  }
  http_setConnectTimeout(kConnectTimeoutSeconds);
  syslog(LOG_DEBUG, "Number of nodes limited to %d", request.nodeLimit);

  // Declared after the list so that its threads are joined before any node is freed.
  NodeList nodes;
  NodeHandler handler(request, http_fetch, stdout);
  const bool scanned = scanNodes(nodes, [&handler](Node& node) { handler.handle(node); });
  handler.joinAll();
  if (!scanned) {
    syslog(LOG_ERR, "Could not scan nodes\n");
    return -1;
  }

  const std::string answer = request.save ? saveAnswer(nodes) : xmlAnswer(nodes);
  std::fwrite(answer.data(), 1, answer.size(), stdout);
  std::fflush(stdout);
  closelog();
  return 0;
}
