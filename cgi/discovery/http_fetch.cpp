#include "http_fetch.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace {

constexpr long kTotalTimeoutSeconds = 10;      // whole transfer of one page
constexpr std::size_t kMaxPageBytes = 65536;   // a summary page is a few hundred bytes
constexpr long kHttpOk = 200;

std::atomic<long> connectTimeoutSeconds{3};

struct EasyDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// Collects the body; refusing a chunk past the limit makes libcurl abort the transfer.
std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* userData) {
  auto& body = *static_cast<std::string*>(userData);
  const std::size_t bytes = size * count;
  if (body.size() + bytes > kMaxPageBytes) {
    return 0;
  }
  body.append(data, bytes);
  return bytes;
}

bool initialiseLibrary() {
  static std::once_flag once;
  static bool initialised = false;
  std::call_once(once, [] { initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return initialised;
}

bool transfer(const char* url, std::string& body) {
  if (!initialiseLibrary()) {
    return false;
  }
  std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
  if (!curl) {
    return false;
  }
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url);
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(handle, CURLOPT_PROXY, "");  // units are on the local network
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);  // threads: no SIGALRM time-outs
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds.load());
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE, static_cast<long>(kMaxPageBytes));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  if (curl_easy_perform(handle) != CURLE_OK) {
    return false;
  }
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  return status == kHttpOk;
}

}  // namespace

int http_fetch(const char* url, char** text) {
  *text = nullptr;
  std::string body;
  if (!transfer(url, body) || body.empty()) {
    return -1;
  }
  char* copy = static_cast<char*>(std::malloc(body.size() + 1));
  if (!copy) {
    return -1;
  }
  std::memcpy(copy, body.data(), body.size());
  copy[body.size()] = '\0';
  *text = copy;
  return static_cast<int>(body.size());
}

void http_setConnectTimeout(int seconds) {
  connectTimeoutSeconds.store(seconds);
}
