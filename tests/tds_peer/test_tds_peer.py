"""Self-tests of the protocol test peer (run by the integration suite through
`python3 -m unittest`): statement splitting and dialect bridging, token streams of the
session, and the wire protocol over a real socket (login, ATTENTION, RPC)."""

import datetime
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
# Tests run it from the source tree: leave no compiled files there.
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)

import tds_packets as pk  # noqa: E402
import tds_session  # noqa: E402
import tds_sql  # noqa: E402
import tds_tokens as tk  # noqa: E402


def parse_tokens(data):
    """[(marker, fields)] of a reply stream; understands what the peer sends."""
    r = tk.Reader(data)
    out = []
    columns = []
    while r.left():
        marker = r.byte()
        if marker in (tk.DONE, tk.DONEPROC, tk.DONEINPROC):
            status, command, count = r.unpack("<HHQ")
            out.append((marker, {"status": status, "command": command, "count": count}))
        elif marker in (tk.INFO, tk.ERROR):
            body = tk.Reader(r.take(r.u16()))
            number, state, severity = body.unpack("<iBB")
            text = body.us_varchar()
            body.b_varchar()
            body.b_varchar()
            line = body.unpack("<i")[0]
            out.append((marker, {"number": number, "severity": severity, "state": state, "text": text, "line": line}))
        elif marker in (tk.LOGINACK, tk.ENVCHANGE):
            out.append((marker, {"raw": r.take(r.u16())}))
        elif marker == tk.RETURNSTATUS:
            out.append((marker, {"value": r.unpack("<i")[0]}))
        elif marker == tk.COLMETADATA:
            columns = []
            flags = []
            for _ in range(r.u16()):
                flags.append(r.unpack("<IH")[1])
                info = tk.read_type_info(r)
                columns.append((r.b_varchar(), info))
            out.append((marker, {"names": [c[0] for c in columns], "types": [c[1].code for c in columns],
                                 "sizes": [c[1].size for c in columns],
                                 "nullable": [bool(f & tk.FLAG_NULLABLE) for f in flags]}))
        elif marker == tk.ROW:
            out.append((marker, {"values": [tk.read_value(r, info) for _, info in columns]}))
        elif marker == tk.RETURNVALUE:
            r.u16()
            name = r.b_varchar()
            r.byte()
            r.unpack("<IH")
            info = tk.read_type_info(r)
            out.append((marker, {"name": name, "value": tk.read_value(r, info)}))
        else:
            raise AssertionError("unexpected token 0x%02X" % marker)
    return out


def of(tokens, marker):
    return [fields for m, fields in tokens if m == marker]


class SplittingTest(unittest.TestCase):
    def split(self, text):
        return [(s.line, s.text()) for s in tds_sql.split_statements(text)]

    def test_semicolons_and_line_starts_split_but_quotes_and_comments_do_not(self):
        text = ("SELECT 'a;\nSELECT b' AS x; PRINT 'y'\n"
                "/* SELECT 1\n /* nested */ still comment */ SELECT [col;\nSELECT] FROM t\n"
                "-- SELECT 2\nSELECT 3")
        self.assertEqual(self.split(text), [
            (1, "SELECT 'a;\nSELECT b' AS x"),
            (2, "PRINT 'y'"),
            (4, "SELECT [col;\nSELECT] FROM t"),
            (7, "SELECT 3"),
        ])

    def test_continuation_lines_stay_with_their_statement(self):
        text = ("UPDATE t\nSET a = 1\nINSERT INTO t (a)\nSELECT 2\n"
                "INSERT INTO t VALUES (1)\nSELECT 4\nIF 1 = 1\n  DROP TABLE t\nPRINT 'z'")
        self.assertEqual([line for line, _ in self.split(text)], [1, 3, 5, 6, 7, 9])
        self.assertEqual(self.split(text)[4][1], "IF 1 = 1 DROP TABLE t")

    def test_unterminated_literals_are_syntax_errors(self):
        for text in ("SELECT 'open", "SELECT [open", "SELECT 1 /* open /* */"):
            with self.assertRaises(tds_sql.SqlSyntaxError, msg=text):
                tds_sql.split_statements(text)


class TranslationTest(unittest.TestCase):
    def sqlite(self, text):
        stmt = tds_sql.split_statements(text)[0]
        return tds_sql.translate(stmt.tokens, tds_sql.Context({"@@SPID": 51}, "mydb"))

    def test_dialect_bridges(self):
        self.assertEqual(self.sqlite("SELECT TOP (2) [a b], N'x''y' FROM dbo.[t] WHERE c = @P1"),
                         "SELECT \"a b\", 'x''y' FROM \"t\" WHERE c = @p1 LIMIT 2")
        self.assertEqual(self.sqlite("INSERT INTO [dbo].t (a) OUTPUT INSERTED.id VALUES ('q')"),
                         "INSERT INTO t(a) VALUES('q') RETURNING id")
        self.assertEqual(self.sqlite("SELECT 'a' + name, @@SPID, DB_NAME(), ISNULL(x, 0) FROM t"),
                         "SELECT 'a' || name, 51, 'mydb', IFNULL(x, 0) FROM t")
        created = self.sqlite("CREATE TABLE t (id BIGINT IDENTITY(5,1) NOT NULL, s NVARCHAR(MAX), "
                              "d DATETIME DEFAULT GETDATE(), CONSTRAINT pk_t PRIMARY KEY CLUSTERED (id)) ON [PRIMARY]")
        self.assertIn("id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL", created)
        self.assertIn("s NVARCHAR,", created)
        self.assertIn("DEFAULT (strftime(", created)
        self.assertNotIn("pk_t", created)
        self.assertNotIn("PRIMARY\"", created)
        self.assertEqual(self.sqlite("SELECT CONVERT(NVARCHAR(20), CONVERT(INT, '5') + 1, 120)"),
                         "SELECT CAST(CAST('5' AS INT) + 1 AS NVARCHAR(20))")


class SessionTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.log_path = os.path.join(self.dir.name, "log.jsonl")
        options = tds_session.Options(self.dir.name, ["Data", "Data_log"], tds_session.RequestLog(self.log_path))
        self.session = tds_session.Session(options, 60)

    def tearDown(self):
        self.session.close()
        self.dir.cleanup()

    def batch(self, text):
        return parse_tokens(self.session.run_batch(text))

    def test_only_the_last_done_lacks_the_more_bit(self):
        tokens = self.batch("SELECT 1\nSELECT 'two'\nPRINT 'p'")
        dones = [f for m, f in tokens if m in (tk.DONE, tk.DONEPROC)]
        self.assertEqual([d["status"] & tk.DONE_MORE for d in dones], [1, 1, 0])
        self.assertEqual(tokens[-1][0], tk.DONE)
        self.assertEqual(of(tokens, tk.ROW), [{"values": [1]}, {"values": ["two"]}])
        self.assertEqual(of(tokens, tk.INFO)[0]["line"], 3)

    def test_raiserror_severity_decides_info_or_error_and_the_batch_goes_on(self):
        tokens = self.batch("RAISERROR('note %d', 10, 2, 7)\n\nRAISERROR(N'bad', 16, 1)\nSELECT 99")
        self.assertEqual(of(tokens, tk.INFO), [{"number": 50000, "severity": 0, "state": 2, "text": "note 7",
                                                "line": 1}], "severity 10 reaches the client as class 0")
        self.assertEqual(of(tokens, tk.ERROR)[0]["line"], 3)
        self.assertEqual(of(tokens, tk.ROW), [{"values": [99]}], "RAISERROR 16 does not end the batch")
        dones = of(tokens, tk.DONE)
        self.assertEqual([bool(d["status"] & tk.DONE_ERROR) for d in dones], [True, False])
        self.assertFalse(tokens[-1][1]["status"] & tk.DONE_MORE)
        # Not even under XACT_ABORT ON, and the transaction stays open and committable.
        tokens = self.batch("SET XACT_ABORT ON\nBEGIN TRAN\nRAISERROR('bad', 16, 1)\n"
                            "SELECT @@TRANCOUNT, XACT_STATE()\nROLLBACK")
        self.assertEqual(of(tokens, tk.ROW), [{"values": [1, 1]}])

    def test_severity_above_18_needs_with_log_and_20_closes_the_connection(self):
        tokens = self.batch("RAISERROR('too high', 19, 1)\nSELECT 1")
        self.assertEqual(of(tokens, tk.ERROR)[0]["number"], 2754)
        self.assertEqual(of(tokens, tk.ROW), [{"values": [1]}])
        self.batch("CREATE TABLE k (v INT)")
        self.batch("BEGIN TRAN\nINSERT INTO k VALUES (1)")
        with self.assertRaises(tds_session.ConnectionKilled) as killed:
            self.session.run_batch("RAISERROR('fatal', 20, 1) WITH LOG\nSELECT 2")
        tokens = parse_tokens(killed.exception.reply)
        self.assertEqual([e["number"] for e in of(tokens, tk.ERROR)], [2745, 50000, 596])
        self.assertEqual(of(tokens, tk.ERROR)[1]["severity"], 20)
        self.assertEqual(of(tokens, tk.ROW), [], "nothing after a fatal error runs")
        self.assertEqual(of(self.batch("SELECT COUNT(*) FROM k"), tk.ROW), [{"values": [0]}],
                         "the open transaction was rolled back")

    def test_compile_error_runs_nothing_of_the_batch(self):
        self.batch("CREATE TABLE c (v INT)")
        tokens = self.batch("INSERT INTO c VALUES (1)\nPRINT 'x'\nSELECT v FROM c WHERE v = = 1")
        self.assertEqual(of(tokens, tk.ERROR), [{"number": 102, "severity": 15, "state": 1,
                                                 "text": "Incorrect syntax near '='.", "line": 3}])
        tokens = self.batch("INSERT INTO c VALUES (1)\nPRINT 'x' SELEC 1")
        self.assertEqual(of(tokens, tk.ERROR)[0]["line"], 2)
        self.assertEqual(of(tokens, tk.INFO), [])
        self.assertEqual(of(self.batch("SELECT COUNT(*) FROM c"), tk.ROW), [{"values": [0]}])
        # A name that cannot be resolved is found only when the statement runs, and ends the batch.
        tokens = self.batch("INSERT INTO c VALUES (2)\nSELECT * FROM no_such_table\nINSERT INTO c VALUES (3)")
        self.assertEqual(of(tokens, tk.ERROR)[0]["number"], 208)
        self.assertEqual(of(self.batch("SELECT v FROM c"), tk.ROW), [{"values": [2]}])

    def test_statement_errors_continue_unless_xact_abort_is_on(self):
        self.batch("CREATE TABLE u (id INT PRIMARY KEY)")
        tokens = self.batch("BEGIN TRAN\nINSERT INTO u VALUES (1)\nINSERT INTO u VALUES (1)\n"
                            "SELECT @@ERROR, @@TRANCOUNT\nCOMMIT")
        self.assertEqual(of(tokens, tk.ERROR)[0]["number"], 2627)
        self.assertEqual(of(tokens, tk.ROW), [{"values": [2627, 1]}])
        self.assertEqual([e["raw"][0] for e in of(tokens, tk.ENVCHANGE)], [tk.ENV_BEGIN_TRAN, tk.ENV_COMMIT_TRAN])
        self.assertEqual(of(self.batch("SELECT COUNT(*) FROM u"), tk.ROW), [{"values": [1]}], "the first row is kept")

        tokens = self.batch("SET XACT_ABORT ON\nBEGIN TRAN\nINSERT INTO u VALUES (2)\nINSERT INTO u VALUES (1)\n"
                            "PRINT 'never'\nCOMMIT")
        self.assertEqual(of(tokens, tk.ERROR)[0]["number"], 2627)
        self.assertEqual(of(tokens, tk.INFO), [], "XACT_ABORT ON ends the batch")
        self.assertEqual([e["raw"][0] for e in of(tokens, tk.ENVCHANGE)],
                         [tk.ENV_BEGIN_TRAN, tk.ENV_ROLLBACK_TRAN])
        self.assertEqual(of(self.batch("SELECT COUNT(*), @@TRANCOUNT, XACT_STATE() FROM u"), tk.ROW),
                         [{"values": [1, 0, 0]}], "and rolls the transaction back")
        tokens = self.batch("SET XACT_ABORT OFF\nCOMMIT\nPRINT 'goes on'")
        self.assertEqual(of(tokens, tk.ERROR)[0]["number"], 3902)
        self.assertEqual(of(tokens, tk.INFO)[0]["text"], "goes on")

    def test_column_metadata_binary_literals_and_typed_parameters(self):
        self.batch("CREATE TABLE m (id INT IDENTITY(1,1) NOT NULL, name NVARCHAR(50) NOT NULL, note NVARCHAR(50), "
                   "body NVARCHAR(MAX), raw VARBINARY(16))")
        self.batch("INSERT INTO m (name, raw) VALUES ('a', 0x0102FF)")
        meta = of(self.batch("SELECT id, name, note, body, raw, 7 FROM m"), tk.COLMETADATA)[0]
        self.assertEqual(meta["types"][:4], [tk.T_INTN, tk.T_NVARCHAR, tk.T_NVARCHAR, tk.T_NVARCHAR])
        self.assertEqual(meta["sizes"][1:5], [100, 100, 0xFFFF, 16], "nvarchar(50) is 100 bytes; max is PLP")
        self.assertEqual(meta["nullable"], [False, False, True, True, True, False])
        self.assertEqual(of(self.batch("SELECT raw, 0x0A FROM m"), tk.ROW), [{"values": [b"\x01\x02\xff", b"\n"]}])
        param = tk.RpcParam
        at = datetime.datetime(2024, 5, 6, 7, 8, 9)
        tokens = parse_tokens(self.session.run_rpc([("sp_executesql", [
            param("", False, "SELECT @d, @n", None), param("", False, "@d datetime, @n int", None),
            param("@d", False, at, None), param("@n", False, 3, None)])]))
        self.assertEqual(of(tokens, tk.COLMETADATA)[0]["types"], [tk.T_DATETIMN, tk.T_INTN])
        self.assertEqual(of(tokens, tk.ROW), [{"values": [at, 3]}])

    def test_rows_count_and_types_from_sqlite(self):
        self.batch("CREATE TABLE t (id INT IDENTITY(1,1) PRIMARY KEY, name NVARCHAR(20), at DATETIME, big BIGINT)")
        tokens = self.batch("INSERT INTO t (name, at, big) VALUES ('a', '2024-01-02 03:04:05', 5000000000)\n"
                            "INSERT INTO t (name) VALUES ('b')\nUPDATE t SET name = 'c'\nSELECT * FROM t WHERE 1 = 0")
        counts = [f["count"] for m, f in tokens if m == tk.DONE and f["status"] & tk.DONE_COUNT]
        self.assertEqual(counts, [1, 1, 2, 0])
        self.assertEqual(of(tokens, tk.COLMETADATA)[0]["types"],
                         [tk.T_INTN, tk.T_NVARCHAR, tk.T_DATETIMN, tk.T_INTN], "types come from the declarations")
        self.assertEqual(of(self.batch("SELECT SCOPE_IDENTITY(), @@IDENTITY"), tk.ROW), [{"values": [2, 2]}])
        rows = of(self.batch("SELECT id, name, at, big FROM t ORDER BY id"), tk.ROW)
        self.assertEqual(rows[0]["values"], [1, "c", datetime.datetime(2024, 1, 2, 3, 4, 5), 5000000000])
        self.assertEqual(rows[1]["values"], [2, "c", None, None])
        self.assertTrue(of(self.batch("SET NOCOUNT ON\nDELETE FROM t"), tk.DONE)[-1]["status"] & tk.DONE_COUNT == 0)

    def test_variables_bind_and_undeclared_ones_fail(self):
        tokens = self.batch("DECLARE @n INT = 4, @s NVARCHAR(9)\nSET @s = 'x'\nSELECT @n + 1, @s")
        self.assertEqual(of(tokens, tk.ROW), [{"values": [5, "x"]}])
        self.assertEqual(of(self.batch("SELECT @missing"), tk.ERROR)[0]["number"], 137)
        self.batch("CREATE TABLE v (x INT)\nINSERT INTO v VALUES (3)\nINSERT INTO v VALUES (9)")
        tokens = self.batch("DECLARE @c INT, @m INT\nSELECT @c = COUNT(*), @m = MAX(x) FROM v\n"
                            "IF @c = 2 SELECT @m * 10\nIF @c = 3 SELECT -1\nSELECT SERVERPROPERTY('ProductLevel')")
        self.assertEqual(of(tokens, tk.COLMETADATA)[0]["names"], [""], "an assignment gives no result set")
        self.assertEqual(of(tokens, tk.ROW), [{"values": [90]}, {"values": ["RTM"]}])

    def test_database_names_cannot_escape_the_state_directory(self):
        path = tds_session.database_file("/state", "../../etc/x")
        self.assertEqual(os.path.dirname(path), "/state")
        self.assertNotIn("..", os.path.basename(path))
        self.assertEqual(tds_session.database_file("/state", "MyDB"), "/state/db_mydb.sqlite")

    def test_rpc_statement_with_parameters(self):
        self.batch("CREATE TABLE p (i INT, s NVARCHAR(50))")
        param = tk.RpcParam
        calls = [("sp_executesql", [param("", False, "INSERT INTO p VALUES (@P1, @P2)", None),
                                    param("", False, "@P1 int,@P2 nvarchar(50)", None),
                                    param("@P1", False, 7, None), param("@P2", False, "x'); DROP TABLE p;--", None)])]
        tokens = parse_tokens(self.session.run_rpc(calls))
        self.assertEqual(tokens[-1][0], tk.DONEPROC)
        self.assertFalse(tokens[-1][1]["status"] & (tk.DONE_MORE | tk.DONE_ERROR))
        self.assertEqual(of(self.batch("SELECT i, s FROM p"), tk.ROW), [{"values": [7, "x'); DROP TABLE p;--"]}])
        tokens = parse_tokens(self.session.run_rpc(
            [("sp_prepexec", [param("@handle", True, None, None), param("", False, "@P1 int", None),
                              param("", False, "SELECT COUNT(*) FROM p WHERE i = @P1", None),
                              param("", False, 7, None)])]))
        self.assertEqual(of(tokens, tk.ROW), [{"values": [1]}])
        self.assertEqual(of(tokens, tk.RETURNVALUE)[0]["value"], 1)

    def test_transaction_requests_commit_roll_back_and_chain(self):
        self.batch("CREATE TABLE tx (v INT)")
        tokens = parse_tokens(self.session.transaction_request(("begin", False)))
        self.assertEqual(tokens[0][1]["raw"][0], tk.ENV_BEGIN_TRAN)
        self.batch("INSERT INTO tx VALUES (1)")
        tokens = parse_tokens(self.session.transaction_request(("rollback", True)))
        self.assertEqual([t[1]["raw"][0] for t in tokens if t[0] == tk.ENVCHANGE],
                         [tk.ENV_ROLLBACK_TRAN, tk.ENV_BEGIN_TRAN], "rolled back and a new one begun")
        self.batch("INSERT INTO tx VALUES (2)")
        self.session.transaction_request(("commit", False))
        self.assertEqual(of(self.batch("SELECT v FROM tx"), tk.ROW), [{"values": [2]}])
        self.assertEqual(of(self.batch("SELECT @@TRANCOUNT"), tk.ROW), [{"values": [0]}])

    def test_canned_maintenance_answers_are_logged(self):
        tokens = self.batch("RESTORE FILELISTONLY FROM DISK = '/b/x.bak'")
        self.assertEqual(of(tokens, tk.COLMETADATA)[0]["names"][0], "LogicalName")
        self.assertEqual([r["values"][0] for r in of(tokens, tk.ROW)], ["Data", "Data_log"])
        self.assertEqual(of(self.batch("RESTORE DATABASE d FROM DISK = 'x' WITH REPLACE"), tk.ERROR), [])
        self.assertEqual(of(self.batch("EXEC sp_no_such_thing"), tk.ERROR)[0]["number"], 2812)
        tokens = self.batch("EXEC master..sp_dbcmptlevel 'd', 100; EXECUTE master.dbo.sp_releaseapplock 'r'")
        self.assertEqual(of(tokens, tk.ERROR), [])
        self.assertEqual(of(tokens, tk.RETURNSTATUS), [{"value": 0}, {"value": 0}])
        with open(self.log_path, encoding="utf-8") as f:
            log = f.read()
        self.assertIn('"name": "restore filelistonly"', log)
        self.assertIn('"name": "restore database"', log)


class WireTest(unittest.TestCase):
    """The peer process over a socket."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.proc = subprocess.Popen([sys.executable, os.path.join(HERE, "tds_peer.py"), "--user", "tester",
                                     "--password", "S3cret-\u00e9", "--state-dir", cls.dir.name],
                                    stdout=subprocess.PIPE, text=True)
        line = cls.proc.stdout.readline()
        cls.port = int(line.split()[1])

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait(10)
        cls.proc.stdout.close()
        cls.dir.cleanup()

    def connect(self, password):
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        pk.send_message(sock, b"\xff", 4096, ptype=pk.PRELOGIN)
        ptype, reply = pk.read_message(sock)
        options = pk.parse_prelogin(reply)
        self.assertEqual(ptype, pk.REPLY)
        self.assertEqual(options[1], b"\x02", "encryption not supported, or the client starts TLS")
        self.assertEqual(options[4], b"\x00")
        pk.send_message(sock, login7("tester", password, "wired"), 4096, ptype=pk.LOGIN7)
        ptype, reply = pk.read_message(sock)
        return sock, parse_tokens(reply)

    def test_password_scrambling_round_trips(self):
        self.assertEqual(pk.encode_password("a"), b"\xb3\xa5")
        self.assertEqual(pk.decode_password(pk.encode_password("S3cret-\u00e9")), "S3cret-\u00e9")

    def test_login_wrong_password_and_right_one(self):
        sock, tokens = self.connect("nope")
        self.assertEqual(of(tokens, tk.ERROR)[0]["number"], 18456)
        self.assertEqual(of(tokens, tk.ERROR)[0]["text"], "Login failed for user 'tester'.")
        self.assertEqual(sock.recv(1), b"", "the peer closes a refused connection")
        sock.close()
        sock, tokens = self.connect("S3cret-\u00e9")
        ack = of(tokens, tk.LOGINACK)[0]["raw"]
        self.assertEqual(ack[0], 1)
        self.assertEqual(ack[1:5], b"\x74\x00\x00\x04")
        self.assertEqual(tokens[-1][0], tk.DONE)
        self.assertEqual(tokens[-1][1]["status"], 0)
        sock.close()

    def test_attention_during_waitfor_answers_done_with_the_attention_flag(self):
        sock, _ = self.connect("S3cret-\u00e9")
        started = time.monotonic()
        pk.send_message(sock, batch("SELECT 5\nWAITFOR DELAY '00:00:20'\nSELECT 1"), 4096, ptype=pk.SQL_BATCH)
        time.sleep(0.3)
        pk.send_message(sock, b"", 4096, ptype=pk.ATTENTION)
        # The reply of the request as far as it got, then the acknowledgement as a message of its own.
        _, reply = pk.read_message(sock)
        tokens = parse_tokens(reply)
        self.assertEqual(of(tokens, tk.ROW), [{"values": [5]}])
        self.assertFalse(tokens[-1][1]["status"] & (tk.DONE_MORE | tk.DONE_ATTN))
        _, reply = pk.read_message(sock)
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(parse_tokens(reply), [(tk.DONE, {"status": tk.DONE_ATTN, "command": 0, "count": 0})])
        pk.send_message(sock, batch("SELECT 'still here'"), 4096, ptype=pk.SQL_BATCH)
        _, reply = pk.read_message(sock)
        self.assertEqual(of(parse_tokens(reply), tk.ROW), [{"values": ["still here"]}])
        sock.close()

    def test_fatal_error_closes_the_connection_after_its_messages(self):
        sock, _ = self.connect("S3cret-\u00e9")
        pk.send_message(sock, batch("RAISERROR('fatal', 21, 1) WITH LOG"), 4096, ptype=pk.SQL_BATCH)
        _, reply = pk.read_message(sock)
        self.assertIn(50000, [e["number"] for e in of(parse_tokens(reply), tk.ERROR)])
        self.assertEqual(sock.recv(1), b"", "the peer closes the connection")
        sock.close()

    def test_transaction_manager_requests(self):
        sock, _ = self.connect("S3cret-\u00e9")
        pk.send_message(sock, batch("CREATE TABLE tm (v INT)"), 4096, ptype=pk.SQL_BATCH)
        pk.read_message(sock)
        headers = struct.pack("<IIHQI", 22, 18, 2, 0, 1)
        pk.send_message(sock, headers + struct.pack("<HBB", 5, 0, 0), 4096, ptype=pk.TRANSACTION_MANAGER)
        _, reply = pk.read_message(sock)
        self.assertEqual(of(parse_tokens(reply), tk.ENVCHANGE)[0]["raw"][0], tk.ENV_BEGIN_TRAN)
        pk.send_message(sock, batch("INSERT INTO tm VALUES (1)"), 4096, ptype=pk.SQL_BATCH)
        pk.read_message(sock)
        # Roll back (no name) and begin a new transaction at once.
        pk.send_message(sock, headers + struct.pack("<HBBBB", 8, 0, 1, 0, 0), 4096, ptype=pk.TRANSACTION_MANAGER)
        _, reply = pk.read_message(sock)
        self.assertEqual([e["raw"][0] for e in of(parse_tokens(reply), tk.ENVCHANGE)],
                         [tk.ENV_ROLLBACK_TRAN, tk.ENV_BEGIN_TRAN])
        pk.send_message(sock, batch("SELECT COUNT(*) FROM tm"), 4096, ptype=pk.SQL_BATCH)
        _, reply = pk.read_message(sock)
        self.assertEqual(of(parse_tokens(reply), tk.ROW), [{"values": [0]}])
        sock.close()

    def test_long_replies_are_cut_into_packets(self):
        sock, _ = self.connect("S3cret-\u00e9")
        pk.send_message(sock, batch("SELECT '%s'" % ("x" * 6000)), 4096, ptype=pk.SQL_BATCH)
        _, reply = pk.read_message(sock)
        self.assertEqual(of(parse_tokens(reply), tk.ROW)[0]["values"][0], "x" * 6000)
        sock.close()


class SpidPoolTest(unittest.TestCase):
    def test_ids_wrap_around_and_skip_those_in_use(self):
        import tds_peer
        pool = tds_peer.SpidPool(51, 53)
        self.assertEqual([pool.take(), pool.take(), pool.take()], [51, 52, 53])
        self.assertIsNone(pool.take(), "all in use")
        pool.give_back(52)
        self.assertEqual(pool.take(), 52)
        pool.give_back(51)
        pool.give_back(53)
        self.assertEqual([pool.take(), pool.take()], [53, 51])
        big = tds_peer.SpidPool()
        for _ in range(70000):
            big.give_back(big.take())
        self.assertLessEqual(big.take(), tds_peer.LAST_SPID)


def batch(text):
    headers = struct.pack("<IIHQI", 22, 18, 2, 0, 1)
    return headers + text.encode("utf-16-le")


def login7(user, password, database):
    fields = [("host", "h"), ("user", user), ("password", None), ("app", "selftest"), ("server", "s"),
              ("ext", ""), ("lib", "t"), ("lang", ""), ("db", database)]
    fixed = 94
    data = bytearray()
    offsets = bytearray()
    for name, value in fields:
        raw = pk.encode_password(password) if name == "password" else value.encode("utf-16-le")
        offsets += struct.pack("<HH", fixed + len(data), len(raw) // 2)
        data += raw
        if name == "db":
            offsets += b"\x00" * 6  # client id
    offsets += struct.pack("<HHHHHHI", fixed + len(data), 0, fixed + len(data), 0, fixed + len(data), 0, 0)
    head = struct.pack("<IIIIII", 0, tk.TDS74, 4096, 0, 0, 0) + bytes(4) + struct.pack("<iI", 0, 0x409)
    body = head + offsets
    assert len(body) == fixed, len(body)
    body += data
    return struct.pack("<I", len(body)) + body[4:]


if __name__ == "__main__":
    unittest.main()
