"""timestamp_server.py CONF: an RFC 3161 timestamp server on 127.0.0.1 for the signing checks.

Answers each POSTed request with `openssl ts -reply` under CONF's default TSA; prints its port,
then serves until it is killed.
"""
import http.server
import subprocess
import sys
import tempfile


class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.NamedTemporaryFile() as request:
            request.write(query)
            request.flush()
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1],
                                    "-queryfile", request.name],
                                   capture_output=True, check=False).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_address[1], flush=True)
server.serve_forever()
