"""Token encoding and parameter decoding for the protocol test peer.

Encodes the reply tokens the peer sends (LOGINACK, ENVCHANGE, INFO, ERROR, DONE and its
procedure variants, COLMETADATA, ROW, RETURNSTATUS, RETURNVALUE) and decodes the typed
parameter values of RPC requests. All integers are little-endian; texts are UTF-16LE.
Row counts are 8 bytes and message line numbers 4 bytes, as clients expect from 7.2 on.

Test instrument only: it is never installed with the product.
"""

import datetime
import struct
import uuid

TDS74 = 0x74000004

# Token markers.
COLMETADATA = 0x81
RETURNSTATUS = 0x79
ERROR = 0xAA
INFO = 0xAB
RETURNVALUE = 0xAC
LOGINACK = 0xAD
ROW = 0xD1
ENVCHANGE = 0xE3
DONE = 0xFD
DONEPROC = 0xFE
DONEINPROC = 0xFF

# DONE status bits.
DONE_FINAL = 0x00
DONE_MORE = 0x01
DONE_ERROR = 0x02
DONE_INXACT = 0x04
DONE_COUNT = 0x10
DONE_ATTN = 0x20

# COLMETADATA column flags.
FLAG_NULLABLE = 0x0001

# ENVCHANGE types.
ENV_DATABASE = 1
ENV_LANGUAGE = 2
ENV_PACKET_SIZE = 4
ENV_COLLATION = 7
ENV_BEGIN_TRAN = 8
ENV_COMMIT_TRAN = 9
ENV_ROLLBACK_TRAN = 10

# Current-command codes in DONE tokens.
CMD_SELECT = 0xC1
CMD_INSERT = 0xC3
CMD_DELETE = 0xC4
CMD_UPDATE = 0xC5

# Latin1 general, case-insensitive, accent-sensitive: the collation announced and used.
COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])
CODE_PAGE = "cp1252"

# Data types.
T_NULL = 0x1F
T_INT1 = 0x30
T_BIT = 0x32
T_INT2 = 0x34
T_INT4 = 0x38
T_DATETIM4 = 0x3A
T_FLT4 = 0x3B
T_MONEY = 0x3C
T_DATETIME = 0x3D
T_FLT8 = 0x3E
T_MONEY4 = 0x7A
T_INT8 = 0x7F
T_GUID = 0x24
T_INTN = 0x26
T_DATEN = 0x28
T_TIMEN = 0x29
T_DATETIME2N = 0x2A
T_DATETIMEOFFSETN = 0x2B
T_BITN = 0x68
T_DECIMALN = 0x6A
T_NUMERICN = 0x6C
T_FLTN = 0x6D
T_MONEYN = 0x6E
T_DATETIMN = 0x6F
T_BIGVARBINARY = 0xA5
T_BIGVARCHAR = 0xA7
T_BIGBINARY = 0xAD
T_BIGCHAR = 0xAF
T_NVARCHAR = 0xE7
T_NCHAR = 0xEF
T_TEXT = 0x23
T_IMAGE = 0x22
T_NTEXT = 0x63

PLP_NULL = 0xFFFFFFFFFFFFFFFF
_EPOCH_1900 = datetime.datetime(1900, 1, 1)
_DATE_ORIGIN = datetime.date(1, 1, 1)


def _ucs2(text):
    return text.encode("utf-16-le")


def b_varchar(text):
    raw = _ucs2(text)
    return bytes([len(raw) // 2]) + raw


def us_varchar(text):
    raw = _ucs2(text)
    return struct.pack("<H", len(raw) // 2) + raw


def _with_length(marker, body):
    return bytes([marker]) + struct.pack("<H", len(body)) + body


def loginack(program="tds_peer", version=(16, 0, 1000)):
    """LOGINACK: interface 1 (T-SQL), protocol 7.4, program name and version."""
    major, minor, build = version
    body = bytes([1]) + struct.pack(">I", TDS74) + b_varchar(program) + struct.pack(">BBH", major, minor, build)
    return _with_length(LOGINACK, body)


def envchange_text(kind, new, old):
    return _with_length(ENVCHANGE, bytes([kind]) + b_varchar(new) + b_varchar(old))


def envchange_bytes(kind, new, old):
    body = bytes([kind, len(new)]) + new + bytes([len(old)]) + old
    return _with_length(ENVCHANGE, body)


def message(is_error, number, state, severity, text, server, line, proc=""):
    """An ERROR (is_error) or INFO token; line is the line within the batch."""
    body = struct.pack("<iBB", number, state & 0xFF, severity & 0xFF) + us_varchar(text)
    body += b_varchar(server) + b_varchar(proc) + struct.pack("<i", line)
    return _with_length(ERROR if is_error else INFO, body)


def done(marker, status, command, count):
    return struct.pack("<BHHQ", marker, status, command, count)


def return_status(value):
    return struct.pack("<Bi", RETURNSTATUS, value)


# ---- Result columns -------------------------------------------------------------------------

class Column:
    """One result column: a name, one of the kinds int, bigint, bit, float, text, longtext,
    binary, datetime, the declared length (characters for text, bytes for binary; None for
    the largest non-max length) and whether it may hold NULL."""

    def __init__(self, name, kind, size=None, nullable=True):
        self.name = name
        self.kind = kind
        self.size = size
        self.nullable = nullable

    def type_info(self):
        k = self.kind
        if k == "int":
            return bytes([T_INTN, 4])
        if k == "bigint":
            return bytes([T_INTN, 8])
        if k == "bit":
            return bytes([T_BITN, 1])
        if k == "float":
            return bytes([T_FLTN, 8])
        if k == "datetime":
            return bytes([T_DATETIMN, 8])
        if k == "text":
            chars = 4000 if self.size is None else min(max(self.size, 1), 4000)
            return bytes([T_NVARCHAR]) + struct.pack("<H", 2 * chars) + COLLATION
        if k == "longtext":
            return bytes([T_NVARCHAR]) + struct.pack("<H", 0xFFFF) + COLLATION
        if k == "binary":
            size = 8000 if self.size is None else min(max(self.size, 1), 8000)
            return bytes([T_BIGVARBINARY]) + struct.pack("<H", size)
        raise ValueError("unknown column kind " + k)

    def value(self, v):
        """The ROW encoding of v (None is NULL)."""
        k = self.kind
        if k in ("int", "bigint", "bit", "float", "datetime"):
            if v is None:
                return b"\x00"
            if k == "int":
                return b"\x04" + struct.pack("<i", v)
            if k == "bigint":
                return b"\x08" + struct.pack("<q", v)
            if k == "bit":
                return b"\x01" + bytes([1 if v else 0])
            if k == "float":
                return b"\x08" + struct.pack("<d", v)
            return b"\x08" + encode_datetime(v)
        if k == "text":
            if v is None:
                return b"\xff\xff"
            raw = _ucs2(v)
            return struct.pack("<H", len(raw)) + raw
        if k == "binary":
            if v is None:
                return b"\xff\xff"
            return struct.pack("<H", len(v)) + bytes(v)
        # longtext: partially length-prefixed, one chunk.
        if v is None:
            return struct.pack("<Q", PLP_NULL)
        raw = _ucs2(v)
        out = struct.pack("<Q", len(raw))
        if raw:
            out += struct.pack("<I", len(raw)) + raw
        return out + struct.pack("<I", 0)


def colmetadata(columns):
    body = bytearray([COLMETADATA]) + struct.pack("<H", len(columns))
    for col in columns:
        body += struct.pack("<IH", 0, FLAG_NULLABLE if col.nullable else 0)  # user type, flags
        body += col.type_info()
        body += b_varchar(col.name)
    return bytes(body)


def row(columns, values):
    return bytes([ROW]) + b"".join(col.value(v) for col, v in zip(columns, values))


def return_value(ordinal, name, column, value):
    """RETURNVALUE for an output parameter of an RPC."""
    body = struct.pack("<H", ordinal) + b_varchar(name) + bytes([0x01]) + struct.pack("<IH", 0, 0x0001)
    return bytes([RETURNVALUE]) + body + column.type_info() + column.value(value)


def encode_datetime(v):
    """The 8-byte DATETIME form: days since 1900-01-01 and 1/300 seconds since midnight."""
    delta = v - _EPOCH_1900
    days = delta.days
    seconds = v.hour * 3600 + v.minute * 60 + v.second
    ticks = int(round(seconds * 300 + v.microsecond * 300 / 1000000.0))
    if ticks >= 300 * 86400:
        days += 1
        ticks -= 300 * 86400
    return struct.pack("<iI", days, ticks)


# ---- Parameter decoding ---------------------------------------------------------------------

class Reader:
    """A cursor over a request payload."""

    def __init__(self, data, pos=0):
        self.data = data
        self.pos = pos

    def left(self):
        return len(self.data) - self.pos

    def take(self, count):
        if count < 0 or self.pos + count > len(self.data):
            raise ValueError("request ends early")
        out = self.data[self.pos:self.pos + count]
        self.pos += count
        return out

    def unpack(self, fmt):
        size = struct.calcsize(fmt)
        return struct.unpack(fmt, self.take(size))

    def byte(self):
        return self.take(1)[0]

    def u16(self):
        return self.unpack("<H")[0]

    def b_varchar(self):
        return self.take(2 * self.byte()).decode("utf-16-le", errors="replace")

    def us_varchar(self):
        return self.take(2 * self.u16()).decode("utf-16-le", errors="replace")


_FIXED_SIZES = {T_NULL: 0, T_INT1: 1, T_BIT: 1, T_INT2: 2, T_INT4: 4, T_DATETIM4: 4, T_FLT4: 4,
                T_MONEY: 8, T_DATETIME: 8, T_FLT8: 8, T_MONEY4: 4, T_INT8: 8}
_BYTELEN = {T_GUID, T_INTN, T_BITN, T_FLTN, T_MONEYN, T_DATETIMN, T_DECIMALN, T_NUMERICN}
_USHORTLEN = {T_BIGVARBINARY, T_BIGVARCHAR, T_BIGBINARY, T_BIGCHAR, T_NVARCHAR, T_NCHAR}
_WITH_COLLATION = {T_BIGVARCHAR, T_BIGCHAR, T_NVARCHAR, T_NCHAR, T_TEXT, T_NTEXT}


class TypeInfo:
    def __init__(self, code):
        self.code = code
        self.size = 0
        self.scale = 0
        self.plp = False


def read_type_info(r):
    info = TypeInfo(r.byte())
    code = info.code
    if code in _FIXED_SIZES:
        info.size = _FIXED_SIZES[code]
    elif code in _BYTELEN:
        info.size = r.byte()
        if code in (T_DECIMALN, T_NUMERICN):
            r.byte()  # precision
            info.scale = r.byte()
    elif code in (T_TIMEN, T_DATETIME2N, T_DATETIMEOFFSETN):
        info.scale = r.byte()
    elif code == T_DATEN:
        pass
    elif code in _USHORTLEN:
        info.size = r.u16()
        info.plp = info.size == 0xFFFF
    elif code in (T_TEXT, T_NTEXT, T_IMAGE):
        info.size = r.unpack("<I")[0]
    else:
        raise ValueError("unsupported parameter type 0x%02X" % code)
    if code in _WITH_COLLATION:
        r.take(5)
    return info


def _int_from(raw, signed=True):
    return int.from_bytes(raw, "little", signed=signed)


def _decode_time(raw, scale):
    units = _int_from(raw, signed=False)
    micro = units * 10 ** 6 // 10 ** scale
    return datetime.timedelta(microseconds=micro)


def _decode_date(raw):
    return _DATE_ORIGIN + datetime.timedelta(days=_int_from(raw, signed=False))


def _time_bytes(scale):
    return 3 if scale <= 2 else 4 if scale <= 4 else 5


def _read_plp(r):
    total = r.unpack("<Q")[0]
    if total == PLP_NULL:
        return None
    parts = []
    while True:
        chunk = r.unpack("<I")[0]
        if chunk == 0:
            break
        parts.append(r.take(chunk))
    return b"".join(parts)


def _decode_text(code, raw):
    if code in (T_NVARCHAR, T_NCHAR, T_NTEXT):
        return raw.decode("utf-16-le", errors="replace")
    if code in (T_BIGVARCHAR, T_BIGCHAR, T_TEXT):
        return raw.decode(CODE_PAGE, errors="replace")
    return bytes(raw)


def read_value(r, info):
    """The parameter value as int, float, str, bytes, datetime/date/time or None."""
    code = info.code
    if code in _FIXED_SIZES:
        raw = r.take(info.size)
        return _decode_fixed(code, raw, info)
    if code in _BYTELEN or code in (T_DATEN, T_TIMEN, T_DATETIME2N, T_DATETIMEOFFSETN):
        length = r.byte()
        if length == 0:
            return None
        raw = r.take(length)
        return _decode_fixed(code, raw, info)
    if code in _USHORTLEN:
        if info.plp:
            raw = _read_plp(r)
            return None if raw is None else _decode_text(code, raw)
        length = r.u16()
        if length == 0xFFFF:
            return None
        return _decode_text(code, r.take(length))
    # TEXT, NTEXT, IMAGE
    length = r.unpack("<I")[0]
    if length == 0xFFFFFFFF:
        return None
    return _decode_text(code, r.take(length))


def _decode_fixed(code, raw, info):
    if code == T_NULL:
        return None
    if code in (T_INT1,):
        return raw[0]
    if code in (T_BIT, T_BITN):
        return 1 if raw[0] else 0
    if code in (T_INT2, T_INT4, T_INT8):
        return _int_from(raw)
    if code == T_INTN:
        return raw[0] if len(raw) == 1 else _int_from(raw)
    if code in (T_FLT4, T_FLT8, T_FLTN):
        return struct.unpack("<f" if len(raw) == 4 else "<d", raw)[0]
    if code in (T_MONEY, T_MONEY4, T_MONEYN):
        if len(raw) == 8:
            high, low = struct.unpack("<iI", raw)
            return ((high << 32) | low) / 10000.0
        return _int_from(raw) / 10000.0
    if code in (T_DATETIME, T_DATETIM4, T_DATETIMN):
        if len(raw) == 8:
            days, ticks = struct.unpack("<iI", raw)
            return _EPOCH_1900 + datetime.timedelta(days=days, microseconds=round(ticks * 1000000 / 300))
        days, minutes = struct.unpack("<HH", raw)
        return _EPOCH_1900 + datetime.timedelta(days=days, minutes=minutes)
    if code in (T_DECIMALN, T_NUMERICN):
        magnitude = _int_from(raw[1:], signed=False)
        value = magnitude / (10 ** info.scale) if info.scale else magnitude
        return value if raw[0] == 1 else -value
    if code == T_GUID:
        return str(uuid.UUID(bytes_le=bytes(raw)))
    if code == T_DATEN:
        return _decode_date(raw)
    if code == T_TIMEN:
        return (datetime.datetime.min + _decode_time(raw, info.scale)).time()
    if code in (T_DATETIME2N, T_DATETIMEOFFSETN):
        tb = _time_bytes(info.scale)
        date = _decode_date(raw[tb:tb + 3])
        return datetime.datetime.combine(date, datetime.time()) + _decode_time(raw[:tb], info.scale)
    raise ValueError("unsupported parameter type 0x%02X" % code)


class RpcParam:
    def __init__(self, name, output, value, info):
        self.name = name
        self.output = output
        self.value = value
        self.info = info


def read_param(r):
    name = r.b_varchar()
    status = r.byte()
    info = read_type_info(r)
    value = read_value(r, info)
    return RpcParam(name, bool(status & 0x01), value, info)
