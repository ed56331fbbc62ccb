"""A WebSocket client just big enough for the stream tests: one text message at a time."""
import base64, json, os, socket, struct, time


class Stream:
    def __init__(self, port, origin=None, host=None, rcvbuf=None, path="/stream"):
        self.sock = socket.socket()
        if rcvbuf:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        self.sock.settimeout(10)
        self.sock.connect(("127.0.0.1", port))
        key = base64.b64encode(os.urandom(16)).decode()
        head = (f"GET {path} HTTP/1.1\r\nHost: {host or f'127.0.0.1:{port}'}\r\nUpgrade: websocket\r\n"
                f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n")
        if origin:
            head += f"Origin: {origin}\r\n"
        self.sock.sendall((head + "\r\n").encode())
        self.buffer = b""
        while b"\r\n\r\n" not in self.buffer:
            piece = self.sock.recv(4096)
            if not piece:
                break
            self.buffer += piece
        head, _, self.buffer = self.buffer.partition(b"\r\n\r\n")
        self.status = int(head.split(b" ")[1]) if head else 0

    def send(self, message, opcode=1):
        data = message if isinstance(message, bytes) else (message if isinstance(message, str) else json.dumps(message)).encode()
        mask = os.urandom(4)
        size = len(data)
        head = bytes([0x80 | opcode]) + (bytes([0x80 | size]) if size < 126 else bytes([0xFE]) + struct.pack(">H", size))
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _take(self, n, deadline):
        while len(self.buffer) < n:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            piece = self.sock.recv(65536)
            if not piece:
                raise EOFError("the server closed the stream")
            self.buffer += piece
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def receive(self, timeout=5):
        """The next message, decoded from JSON."""
        deadline = time.monotonic() + timeout
        opcode, size = self._take(2, deadline)
        size &= 0x7F
        if size == 126:
            size = struct.unpack(">H", self._take(2, deadline))[0]
        elif size == 127:
            size = struct.unpack(">Q", self._take(8, deadline))[0]
        data = self._take(size, deadline)
        if opcode & 0x0F == 8:
            raise EOFError("the server closed the stream")
        if opcode & 0x0F == 9:  # a ping: answered, as a browser does
            self.send(data, opcode=10)
        return json.loads(data) if opcode & 0x0F == 1 else self.receive(deadline - time.monotonic())

    def wait_for(self, test, timeout=5):
        """The first message that passes `test`, within `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            message = self.receive(max(0.01, deadline - time.monotonic()))
            if test(message):
                return message

    def close(self):
        self.sock.close()
