#!/usr/bin/python3
"""Plays one unit on the test network: its network module answers the scan request
and, when given a page, its web server serves "node_summary.htm".

Every scan request and page request is appended to the log file, one line each:
  scan <sender ip> <sender port> <payload as hex>
  get <path>
"""
import argparse
import http.server
import socket
import sys
import threading

SCAN_PORT = 3250
HTTP_PORT = 80


def log_line(path, text):
    with open(path, "a", encoding="utf-8") as log:
        log.write(text + "\n")


def answer_scans(sock, replies, log_path):
    while True:
        payload, sender = sock.recvfrom(2048)
        log_line(log_path, f"scan {sender[0]} {sender[1]} {payload.hex()}")
        for reply in replies:
            sock.sendto(reply.encode("latin-1"), sender)


def page_handler(page, log_path):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            log_line(log_path, f"get {self.path}")
            if self.path != "/node_summary.htm":
                self.send_error(404)
                return
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)

        def log_message(self, *args):
            pass

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reply", action="append", default=[], help="reply datagram text (repeatable)")
    parser.add_argument("--page", help="file served as node_summary.htm")
    parser.add_argument("--log", required=True)
    args = parser.parse_args()

    scan_socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    scan_socket.bind(("", SCAN_PORT))
    if args.page:
        with open(args.page, "rb") as page_file:
            page = page_file.read()
        server = http.server.ThreadingHTTPServer(("", HTTP_PORT), page_handler(page, args.log))
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("ready", flush=True)
    answer_scans(scan_socket, args.reply, args.log)


if __name__ == "__main__":
    sys.exit(main())
