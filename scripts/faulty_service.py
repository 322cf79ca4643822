#!/usr/bin/env python3
"""faulty_service.py MODE: a quote service on a free port of 127.0.0.1 that answers every
request wrongly, for the black-box comparison of the two builds. Prints its port on the first
line, then serves until killed.

MODE: cut-body     status 200 announcing 1000 bytes, 10 sent, then the connection closes
      cut-headers  a status line and one header, then the connection closes
      busy         status 429 with Retry-After: 3600
      silent       reads the request and never answers
      trickle      status 200 announcing 1000 bytes, then 3 bytes a second
"""
import socket
import sys
import threading
import time

ANSWERS = {
    "cut-body": b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<html><bod",
    "cut-headers": b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n",
    "busy": b"HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3600\r\n"
            b"Content-Length: 4\r\nConnection: close\r\n\r\nbusy",
    "silent": None,
    "trickle": "trickle",
}


def serve(connection, answer):
    try:
        answer_one(connection, answer)
    except OSError:
        pass  # pelmo hung up: it gave up on the answer


def answer_one(connection, answer):
    with connection:
        request = b""
        while b"\r\n\r\n" not in request:
            chunk = connection.recv(4096)
            if not chunk:
                return
            request += chunk
        if answer is None:
            # Holds the connection until the client gives up.
            while connection.recv(4096):
                pass
            return
        if answer == "trickle":
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n")
            for _ in range(1000):
                time.sleep(1 / 3)
                connection.sendall(b"x")
            return
        connection.sendall(answer)


def main():
    answer = ANSWERS[sys.argv[1]]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print(listener.getsockname()[1], flush=True)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, answer), daemon=True).start()


main()
