#!/usr/bin/env python3
"""Runs one Windows test program beside local HTTPS and HTTP servers.

Usage: https_fixture.py <cert dir> <runner> <program> [arguments...]

The certificates (a trusted and an untrusted test authority, each with a
server certificate for "localhost") are made with openssl in <cert dir> on
first use and reused afterwards, so the test prefix's Root store only ever
holds one test authority. The servers listen on ephemeral ports of
127.0.0.1; their ports and the authority's DER file reach the program
through environment variables. The program's exit code is returned.
"""

import fcntl
import http.server
import json
import os
import socketserver
import ssl
import subprocess
import sys
import threading
import urllib.parse


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_authority(folder, name):
    key = os.path.join(folder, name + "-ca.key")
    cert = os.path.join(folder, name + "-ca.pem")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
            "-days", "3650", "-subj", "/CN=TolvaneWin test authority " + name,
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("x509", "-in", cert, "-outform", "DER", "-out", os.path.join(folder, name + "-ca.der"))
    server_key = os.path.join(folder, name + "-server.key")
    request = os.path.join(folder, name + "-server.csr")
    extensions = os.path.join(folder, name + "-server.ext")
    with open(extensions, "w") as f:
        f.write("basicConstraints=CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=DNS:localhost\n")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", server_key, "-out", request,
            "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", request, "-CA", cert, "-CAkey", key, "-CAcreateserial",
            "-out", os.path.join(folder, name + "-server.pem"), "-days", "3650", "-sha256",
            "-extfile", extensions)


def ensure_certificates(folder):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(folder, "ready")):
            for name in ("trusted", "untrusted"):
                make_authority(folder, name)
            open(os.path.join(folder, "ready"), "w").close()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    plain_port = 0

    def log_message(self, *args):
        pass

    def reply(self, status, body, headers=()):
        data = body.encode("utf-8")
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if url.path == "/hello":
            self.reply(200, "hello over tls")
        elif url.path == "/plain":
            self.reply(200, "plain after redirect")
        elif url.path == "/to-plain":
            self.reply(302, "", [("Location", "http://localhost:%d/plain" % Handler.plain_port)])
        elif url.path in ("/exec", "/exec-wrong"):
            # The telemetry endpoint: echo the event id of the "data" document.
            try:
                event = json.loads(query["data"][0])
                event_id = event["eventId"]
            except (KeyError, IndexError, ValueError, TypeError):
                self.reply(400, '{"ok":false}')
                return
            if url.path == "/exec-wrong":
                event_id = "not-" + event_id
            self.reply(200, json.dumps({"ok": True, "eventId": event_id, "stored": 1}))
        else:
            self.reply(404, "{}")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def serve(context=None):
    server = Server(("127.0.0.1", 0), Handler)
    if context is not None:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def tls_context(folder, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, name + "-server.pem"), os.path.join(folder, name + "-server.key"))
    return context


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    folder, command = sys.argv[1], sys.argv[2:]
    ensure_certificates(folder)

    plain = serve()
    Handler.plain_port = plain.server_address[1]
    trusted = serve(tls_context(folder, "trusted"))
    untrusted = serve(tls_context(folder, "untrusted"))

    environment = dict(os.environ)
    environment["TOLVANE_TEST_HTTPS_PORT"] = str(trusted.server_address[1])
    environment["TOLVANE_TEST_HTTPS_UNTRUSTED_PORT"] = str(untrusted.server_address[1])
    environment["TOLVANE_TEST_HTTP_PORT"] = str(plain.server_address[1])
    environment["TOLVANE_TEST_CA_DER"] = windows_path(os.path.join(folder, "trusted-ca.der"))
    result = subprocess.run(command, env=environment)
    for server in (plain, trusted, untrusted):
        server.shutdown()
        server.server_close()
    return result.returncode


if __name__ == "__main__":
    sys.exit(main())
