#pragma once
// What the browser asked for: from the CGI environment and the command-line arguments.

namespace discovery {

constexpr int kMaxNodes = 1000;          // default node limit and size of the fetch thread table
constexpr int kMaxRequestedLimit = 999;  // a larger requested limit is ignored

struct Request {
  int nodeLimit = kMaxNodes;  // nodes that get a summary page
  bool findOnly = false;      // print the addresses of the nodes found, fetch nothing
  bool save = false;          // answer with the cookie instead of the XML document
};

// queryString is the value of QUERY_STRING or null; argv holds argc arguments after
// the program name (a web server passes a query without "=" as arguments).
Request parseRequest(const char* queryString, int argc, const char* const* argv);

}  // namespace discovery
