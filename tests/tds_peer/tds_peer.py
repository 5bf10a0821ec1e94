#!/usr/bin/env python3
"""A small SQL Server protocol (TDS 7.4) peer for the integration tests.

TEST INSTRUMENT ONLY. It is not a database server and is never installed with the
product. It lets the test suite talk to "SQL Server" through real client drivers (the
FreeTDS ODBC driver, isql, tsql) without one: it answers the login handshake, runs SQL
batches and parameterised RPC requests on SQLite databases kept in a state directory,
gives canned answers for the maintenance commands the product sends, and writes every
request it receives to a JSON-lines log that tests read back.

Usage:
  tds_peer.py --user U --password P --state-dir DIR [--filelist JSON] [--log FILE] [--hang]

It listens on 127.0.0.1 on a port the system picks (or --port) and prints "PORT <n>" on
standard output when ready. SIGTERM ends it. See README.md beside this file for what it
does and does not reproduce.
"""

import argparse
import json
import os
import signal
import socket
import struct
import sys
import threading
import traceback

# Tests run it from the source tree: leave no compiled files there.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import tds_packets as pk  # noqa: E402
import tds_session  # noqa: E402
import tds_tokens as tk  # noqa: E402

LOGIN_FAILED = 18456

# Session ids as the server hands them out: user sessions from 51 up to the largest smallint,
# then around again, skipping the ids still in use.
FIRST_SPID = 51
LAST_SPID = 32767


class SpidPool:
    """Hands out session ids that wrap around and are never shared by two live connections."""

    def __init__(self, first=FIRST_SPID, last=LAST_SPID):
        self._first = first
        self._last = last
        self._next = first
        self._used = set()
        self._lock = threading.Lock()

    def take(self):
        """A free id, or None when every id is in use."""
        with self._lock:
            for _ in range(self._last - self._first + 1):
                spid = self._next
                self._next = self._first if spid >= self._last else spid + 1
                if spid not in self._used:
                    self._used.add(spid)
                    return spid
            return None

    def give_back(self, spid):
        with self._lock:
            self._used.discard(spid)


class Connection:
    """One client connection, served on its own thread."""

    def __init__(self, sock, spid, config, options, pool=None):
        self.sock = sock
        self.spid = spid
        self.pool = pool
        self.config = config
        self.options = options
        self.packet_size = pk.DEFAULT_PACKET_SIZE
        self.tds_version = tk.TDS74
        self.session = None

    def send(self, payload):
        pk.send_message(self.sock, payload, self.packet_size, spid=self.spid)

    def wait(self, seconds):
        """Sleeps up to seconds; True when the client sent ATTENTION meanwhile."""
        return pk.attention_waiting(self.sock, seconds)

    def serve(self):
        try:
            if not self._handshake():
                return
            while True:
                ptype, payload = pk.read_message(self.sock)
                self._request(ptype, payload)
        except (pk.PeerClosed, ConnectionError, OSError):
            pass
        finally:
            if self.session:
                self.session.close()
            try:
                self.sock.close()
            except OSError:
                pass
            if self.pool is not None:
                self.pool.give_back(self.spid)

    def _handshake(self):
        ptype, payload = pk.read_message(self.sock)
        if ptype == pk.PRELOGIN:
            self.send(pk.build_prelogin_reply())
            ptype, payload = pk.read_message(self.sock)
        if ptype != pk.LOGIN7:
            return False
        try:
            login = pk.parse_login7(payload)
        except (ValueError, struct.error):
            return False
        self.tds_version = login.tds_version
        ok = login.user == self.config.user and login.password == self.config.password
        self.options.log.write({"kind": "login", "user": login.user, "database": login.database,
                                "app": login.app, "ok": ok})
        if not ok:
            reply = tds_session.Reply()
            reply.add(tk.message(True, LOGIN_FAILED, 1, 14, "Login failed for user '%s'." % login.user,
                                 tds_session.SERVER_NAME, 1))
            reply.done(tk.DONE, tk.DONE_ERROR)
            self.send(reply.finish())
            return False
        self.session = tds_session.Session(self.options, self.spid)
        reply = tds_session.Reply()
        self.session.use(login.database or "master", reply)
        reply.add(tk.envchange_bytes(tk.ENV_COLLATION, tk.COLLATION, b""))
        reply.add(tk.envchange_text(tk.ENV_LANGUAGE, "us_english", ""))
        reply.add(tk.message(False, 5703, 1, 0, "Changed language setting to us_english.",
                             tds_session.SERVER_NAME, 1))
        reply.add(tk.loginack())
        reply.add(tk.envchange_text(tk.ENV_PACKET_SIZE, str(login.packet_size), str(pk.DEFAULT_PACKET_SIZE)))
        reply.done(tk.DONE)
        self.send(reply.finish())
        self.packet_size = login.packet_size
        return True

    def _request(self, ptype, payload):
        start = pk.skip_all_headers(payload, self.tds_version)
        try:
            if ptype == pk.SQL_BATCH:
                text = payload[start:].decode("utf-16-le", errors="replace")
                self.send(self.session.run_batch(text))
            elif ptype == pk.RPC:
                self.send(self.session.run_rpc(parse_rpc(payload, start)))
            elif ptype == pk.TRANSACTION_MANAGER:
                self.send(self.session.transaction_request(parse_transaction_request(payload, start)))
            elif ptype == pk.ATTENTION:
                self.send(tk.done(tk.DONE, tk.DONE_ATTN, 0, 0))
            else:
                raise pk.PeerClosed()
        except tds_session.Cancelled as c:
            # The request's reply as far as it got, then the acknowledgement on its own.
            self.send(c.partial or tk.done(tk.DONE, 0, 0, 0))
            self.send(tk.done(tk.DONE, tk.DONE_ATTN, 0, 0))
        except tds_session.ConnectionKilled as k:
            self.send(k.reply)
            raise pk.PeerClosed()
        except (ValueError, IndexError, struct.error) as e:
            # A request the peer cannot decode is answered with an error, not a hang.
            self._fail("The peer cannot decode the request: %s" % e)
        except (pk.PeerClosed, OSError):
            raise
        except Exception as e:  # noqa: BLE001 - a fault in the peer must not leave the client waiting
            traceback.print_exc()
            self._fail("Internal fault of the test peer: %s" % e)

    def _fail(self, text):
        reply = tds_session.Reply()
        reply.add(tk.message(True, 8009 if "decode" in text else 50000, 1, 16, text, tds_session.SERVER_NAME, 1))
        reply.done(tk.DONE, tk.DONE_ERROR)
        self.send(reply.finish())


def parse_rpc(payload, start):
    """[(procedure name, [RpcParam])] of an RPC request (several calls may be batched)."""
    r = tk.Reader(payload, start)
    calls = []
    while r.left() > 0:
        length = r.u16()
        if length == 0xFFFF:
            proc_id = r.u16()
            name = tds_session._PROC_IDS.get(proc_id, "proc#%d" % proc_id)
        else:
            name = r.take(2 * length).decode("utf-16-le", errors="replace")
        r.u16()  # option flags
        params = []
        while r.left() > 0 and r.data[r.pos] not in (0x80, 0xFF, 0xFE):
            params.append(tk.read_param(r))
        calls.append((name, params))
        if r.left() > 0:
            r.byte()  # batch separator
    return calls


def parse_transaction_request(payload, start):
    """('begin'|'commit'|'rollback'|'other', begin_again)."""
    r = tk.Reader(payload, start)
    kind = r.u16()
    if kind == 5:
        return "begin", False
    if kind in (7, 8):
        if r.left() > 0:
            r.take(2 * r.byte())  # transaction name (B_VARCHAR)
        begin_again = r.left() > 0 and bool(r.byte() & 0x01)
        return ("commit" if kind == 7 else "rollback"), begin_again
    raise ValueError("unsupported transaction request %d" % kind)


class Config:
    def __init__(self, args):
        self.user = args.user
        self.password = args.password


def parse_args(argv):
    p = argparse.ArgumentParser(description="SQL Server protocol test peer (test instrument only).")
    p.add_argument("--user", default="sa", help="the one login name accepted")
    p.add_argument("--password", default="", help="its password")
    p.add_argument("--state-dir", required=True, help="where the SQLite databases live")
    p.add_argument("--filelist", default="[]",
                   help="JSON list of logical file names reported by RESTORE FILELISTONLY")
    p.add_argument("--log", default=None, help="JSON-lines file receiving every request")
    p.add_argument("--hang", action="store_true", help="accept connections but never answer")
    p.add_argument("--port", type=int, default=0, help="port to listen on (0: any free port)")
    return p.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    try:
        filelist = json.loads(args.filelist)
        if not isinstance(filelist, list) or not all(isinstance(n, str) for n in filelist):
            raise ValueError("not a list of names")
    except ValueError as e:
        print("--filelist must be a JSON list of strings: %s" % e, file=sys.stderr)
        return 64
    os.makedirs(args.state_dir, exist_ok=True)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print("PORT %d" % listener.getsockname()[1], flush=True)

    config = Config(args)
    log = tds_session.RequestLog(args.log)
    held = []
    pool = SpidPool()
    while True:
        sock, _ = listener.accept()
        if args.hang:
            held.append(sock)  # accepted, never read, never answered
            continue
        spid = pool.take()
        if spid is None:
            sock.close()  # every session id is in use
            continue
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn = Connection(sock, spid, config, None, pool)
        conn.options = tds_session.Options(args.state_dir, filelist, log, conn.wait)
        threading.Thread(target=conn.serve, daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
