// http_fetch against a small HTTP server on loopback that answers as told.

#include "http_fetch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// Accepts one connection, reads the request head and sends `response`; with
// holdOpen it sends nothing and waits for the client to give up.
class OneShotServer {
 public:
  OneShotServer(std::string response, bool holdOpen = false) : response_(std::move(response)), holdOpen_(holdOpen) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~OneShotServer() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/node_summary.htm"; }
  const std::string& request() const { return request_; }

 private:
  void serve() {
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) {
      return;
    }
    char buffer[4096];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) {
        break;
      }
      request_.append(buffer, static_cast<std::size_t>(got));
    }
    if (holdOpen_) {
      while (recv(client, buffer, sizeof buffer, 0) > 0) {
      }
    } else {
      for (std::size_t sent = 0; sent < response_.size();) {
        const ssize_t wrote = send(client, response_.data() + sent, response_.size() - sent, MSG_NOSIGNAL);
        if (wrote <= 0) {
          break;
        }
        sent += static_cast<std::size_t>(wrote);
      }
    }
    close(client);
  }

  std::string response_;
  bool holdOpen_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::string request_;
  std::thread thread_;
};

struct Fetched {
  int bytes;
  std::string text;
  bool hasText;
};

Fetched fetch(const std::string& url) {
  char* text = reinterpret_cast<char*>(1);  // must be overwritten in every case
  const int bytes = http_fetch(url.c_str(), &text);
  Fetched result{bytes, text ? std::string(text) : std::string(), text != nullptr};
  std::free(text);
  return result;
}

TEST(HttpFetch, ReturnsSizeAndNewlyAllocatedTextOfThePage) {
  const std::string page = "NAME = Field 1\r\nTRON = 1\r\n";
  OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) +
                       "\r\nConnection: close\r\n\r\n" + page);
  const Fetched result = fetch(server.url());
  EXPECT_EQ(result.bytes, static_cast<int>(page.size()));
  EXPECT_EQ(result.text, page);
  EXPECT_EQ(server.request().rfind("GET /node_summary.htm HTTP/1.1\r\n", 0), 0u);
}

TEST(HttpFetch, PageWithoutContentLengthEndsAtClose) {
  OneShotServer server("HTTP/1.0 200 OK\r\n\r\nADDRESS = 4\n");
  const Fetched result = fetch(server.url());
  EXPECT_EQ(result.bytes, 12);
  EXPECT_EQ(result.text, "ADDRESS = 4\n");
}

TEST(HttpFetch, ErrorStatusEmptyPageAndRefusedConnectionFail) {
  {
    OneShotServer server("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNAME = x\n");
    const Fetched result = fetch(server.url());
    EXPECT_EQ(result.bytes, -1);
    EXPECT_FALSE(result.hasText);
  }
  {
    OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    const Fetched result = fetch(server.url());
    EXPECT_LE(result.bytes, 0);
    EXPECT_FALSE(result.hasText);
  }
  std::string refusedUrl;
  {
    OneShotServer server("");
    refusedUrl = server.url();
    fetch(refusedUrl);  // uses up the one connection; afterwards nothing listens there
  }
  const Fetched refused = fetch(refusedUrl);
  EXPECT_EQ(refused.bytes, -1);
  EXPECT_FALSE(refused.hasText);
}

TEST(HttpFetch, OversizedPagesAreRefusedWithOrWithoutContentLength) {
  const std::string huge(1 << 20, 'x');
  {
    OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(huge.size()) + "\r\n\r\n" + huge);
    EXPECT_EQ(fetch(server.url()).bytes, -1);
  }
  {
    OneShotServer server("HTTP/1.0 200 OK\r\n\r\n" + huge);
    const Fetched result = fetch(server.url());
    EXPECT_EQ(result.bytes, -1);
    EXPECT_FALSE(result.hasText);
  }
}

TEST(HttpFetch, ServerThatNeverAnswersIsAbandoned) {
  http_setConnectTimeout(3);
  OneShotServer server("", true);
  const auto start = std::chrono::steady_clock::now();
  const Fetched result = fetch(server.url());
  EXPECT_EQ(result.bytes, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

}  // namespace
