"""Packet framing and the login handshake of the protocol test peer.

A message travels as one or more packets: an 8-byte header (type, status, big-endian
length, SPID, packet number, window) and a payload; the last packet of a message has the
end-of-message status bit. This module reads whole messages from a socket, writes replies
cut to the negotiated packet size, and decodes the PRELOGIN and LOGIN7 messages.

Test instrument only: it is never installed with the product.
"""

import select
import struct

# Message types.
SQL_BATCH = 0x01
RPC = 0x03
REPLY = 0x04
ATTENTION = 0x06
TRANSACTION_MANAGER = 0x0E
LOGIN7 = 0x10
PRELOGIN = 0x12

STATUS_EOM = 0x01
HEADER_SIZE = 8
DEFAULT_PACKET_SIZE = 4096


class PeerClosed(Exception):
    """The client closed the connection (or sent something that cannot be framed)."""


def _read_exact(sock, count):
    data = bytearray()
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise PeerClosed()
        data += chunk
    return bytes(data)


def read_packet(sock):
    """One packet: (type, status, payload)."""
    header = _read_exact(sock, HEADER_SIZE)
    ptype, status, length = struct.unpack(">BBH", header[:4])
    if length < HEADER_SIZE:
        raise PeerClosed()
    return ptype, status, _read_exact(sock, length - HEADER_SIZE)


def read_message(sock):
    """One whole message: (type, payload) of its packets joined."""
    ptype, status, payload = read_packet(sock)
    parts = [payload]
    while not status & STATUS_EOM:
        next_type, status, payload = read_packet(sock)
        if next_type == ATTENTION:
            # A cancel in the middle of a message drops what came before it.
            return ATTENTION, b""
        parts.append(payload)
    return ptype, b"".join(parts)


def attention_waiting(sock, timeout):
    """Waits up to timeout seconds for input; True when an ATTENTION message arrived.

    Anything else that arrives while a request is being answered breaks the protocol and
    is dropped.
    """
    ready, _, _ = select.select([sock], [], [], max(timeout, 0))
    if not ready:
        return False
    ptype, _ = read_message(sock)
    return ptype == ATTENTION


def send_message(sock, payload, packet_size, ptype=REPLY, spid=0):
    """Sends payload as a message of packets no larger than packet_size."""
    room = max(packet_size, 512) - HEADER_SIZE
    chunks = [payload[i:i + room] for i in range(0, len(payload), room)] or [b""]
    out = bytearray()
    for number, chunk in enumerate(chunks, start=1):
        status = STATUS_EOM if number == len(chunks) else 0
        out += struct.pack(">BBHHBB", ptype, status, len(chunk) + HEADER_SIZE, spid, number % 256, 0)
        out += chunk
    sock.sendall(bytes(out))


# PRELOGIN option tokens.
_PL_VERSION, _PL_ENCRYPTION, _PL_INSTOPT, _PL_THREADID, _PL_MARS = 0, 1, 2, 3, 4
_PL_TERMINATOR = 0xFF
ENCRYPT_NOT_SUP = 0x02


def parse_prelogin(payload):
    """The client's PRELOGIN options as {token: bytes}."""
    options = {}
    pos = 0
    while pos < len(payload) and payload[pos] != _PL_TERMINATOR:
        if pos + 5 > len(payload):
            break
        token, offset, length = struct.unpack(">BHH", payload[pos:pos + 5])
        options[token] = payload[offset:offset + length]
        pos += 5
    return options


def build_prelogin_reply(version=(16, 0, 1000)):
    """The server's PRELOGIN answer: no encryption (so no TLS), no MARS."""
    major, minor, build = version
    values = [
        (_PL_VERSION, struct.pack(">BBHH", major, minor, build, 0)),
        (_PL_ENCRYPTION, bytes([ENCRYPT_NOT_SUP])),
        (_PL_INSTOPT, b"\x00"),
        (_PL_THREADID, b""),
        (_PL_MARS, b"\x00"),
    ]
    offset = 5 * len(values) + 1
    table = bytearray()
    data = bytearray()
    for token, value in values:
        table += struct.pack(">BHH", token, offset + len(data), len(value))
        data += value
    table.append(_PL_TERMINATOR)
    return bytes(table + data)


def decode_password(raw):
    """Undoes the LOGIN7 password scrambling: XOR 0xA5, then swap the nibbles of each byte."""
    plain = bytes((((b ^ 0xA5) & 0x0F) << 4) | (((b ^ 0xA5) & 0xF0) >> 4) for b in raw)
    return plain.decode("utf-16-le", errors="replace")


def encode_password(password):
    """The scrambling a client applies; the inverse of decode_password (used by self-tests)."""
    raw = password.encode("utf-16-le")
    return bytes(((((b & 0x0F) << 4) | ((b & 0xF0) >> 4)) ^ 0xA5) for b in raw)


class Login:
    """The fields of a LOGIN7 message that the peer uses."""

    def __init__(self):
        self.tds_version = 0
        self.packet_size = DEFAULT_PACKET_SIZE
        self.host = ""
        self.user = ""
        self.password = ""
        self.app = ""
        self.server = ""
        self.language = ""
        self.database = ""

    def __repr__(self):
        # The password never appears in a printed login.
        return "Login(user=%r, database=%r, app=%r)" % (self.user, self.database, self.app)


def parse_login7(payload):
    """Decodes a LOGIN7 message; raises ValueError when it is too short to be one."""
    if len(payload) < 94:
        raise ValueError("LOGIN7 message too short")
    login = Login()
    _, login.tds_version, login.packet_size = struct.unpack("<III", payload[0:12])

    def text(at):
        offset, chars = struct.unpack("<HH", payload[at:at + 4])
        return payload[offset:offset + 2 * chars]

    login.host = text(36).decode("utf-16-le", errors="replace")
    login.user = text(40).decode("utf-16-le", errors="replace")
    login.password = decode_password(text(44))
    login.app = text(48).decode("utf-16-le", errors="replace")
    login.server = text(52).decode("utf-16-le", errors="replace")
    login.language = text(64).decode("utf-16-le", errors="replace")
    login.database = text(68).decode("utf-16-le", errors="replace")
    if login.packet_size == 0:
        login.packet_size = DEFAULT_PACKET_SIZE
    login.packet_size = min(max(login.packet_size, 512), 32767)
    return login


def skip_all_headers(payload, tds_version):
    """The offset after the ALL_HEADERS block that 7.2 and later put in front of requests."""
    if tds_version < 0x72000000 or len(payload) < 4:
        return 0
    total = struct.unpack("<I", payload[:4])[0]
    # A plausible header block is at least its own length field and fits the payload.
    if 4 <= total <= len(payload):
        return total
    return 0
