#pragma once
// HTTP page fetch for the discovery CGI, on libcurl. Safe to call from many threads.

// Fetches the page at url. On success returns its size in bytes (> 0) and stores a
// newly allocated, NUL-terminated copy of it in *text, which the caller releases with
// free(). Returns -1 and stores nullptr on any failure: no connection within the
// connect timeout, no complete answer within the total time allowed, an HTTP status
// other than 200, a page larger than the size allowed, or an empty page.
int http_fetch(const char* url, char** text);

// Seconds allowed for the connection to a unit; applies to every later fetch.
void http_setConnectTimeout(int seconds);
