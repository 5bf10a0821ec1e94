"""One client session of the protocol test peer: runs SQL batches and RPC requests.

Statements that the peer understands itself (SET, USE, PRINT, RAISERROR, WAITFOR, DECLARE,
IF, transactions, the canned maintenance commands and procedures) are answered here; all
others run on a SQLite database per logical database name, kept in the state directory.
Results come back as reply tokens; the last DONE of a reply never carries DONE_MORE.

Thread-safety: a session belongs to one connection thread. The request log is shared and
guarded by its own lock.

Test instrument only: it is never installed with the product.
"""

import datetime
import json
import os
import re
import sqlite3
import threading
import time

import tds_sql
import tds_tokens as tk

SERVER_NAME = "tds_peer"
VERSION_TEXT = "tds_peer 1.0 (protocol test peer over SQLite %s)" % sqlite3.sqlite_version


class SqlError(Exception):
    """A server error: number, severity, state and text, raised at a statement's line.

    raised: it comes from RAISERROR (which never ends the batch below severity 20).
    """

    def __init__(self, number, severity, text, state=1, raised=False):
        super().__init__(text)
        self.number = number
        self.severity = severity
        self.state = state
        self.text = text
        self.raised = raised


# Errors that end the batch whatever XACT_ABORT says: names that cannot be resolved when the
# statement runs (deferred name resolution) and failed conversions.
BATCH_ABORTING = {207, 208, 245, 8114}

# Syntax errors found before anything of the batch runs.
_COMPILE_PATTERNS = [
    (re.compile(r'near "(.*)": syntax error'), 102, "Incorrect syntax near '%s'."),
    (re.compile(r"unrecognized token: \"?(.*?)\"?$"), 102, "Incorrect syntax near '%s'."),
    (re.compile(r"(incomplete input)"), 102, "Incorrect syntax near the end of the batch (%s)."),
    (re.compile(r"no such function: (.*)"), 195, "'%s' is not a recognized built-in function name."),
]


class Cancelled(Exception):
    """The client sent ATTENTION while the request ran; partial holds the reply so far."""

    def __init__(self, partial=b""):
        super().__init__("cancelled")
        self.partial = partial


class ConnectionKilled(Exception):
    """An error of severity 20 or more: the reply is sent and the connection closed."""

    def __init__(self, reply=b""):
        super().__init__("connection killed")
        self.reply = reply


class RequestLog:
    """Appends one JSON object per line to a file (or nowhere)."""

    def __init__(self, path):
        self._path = path
        self._lock = threading.Lock()

    def write(self, entry):
        if not self._path:
            return
        line = json.dumps(entry, default=_json_value, ensure_ascii=False)
        with self._lock:
            with open(self._path, "a", encoding="utf-8") as f:
                f.write(line + "\n")
                f.flush()


def _json_value(v):
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
        return v.isoformat()
    if isinstance(v, (bytes, bytearray)):
        return v.hex()
    return str(v)


def database_file(state_dir, name):
    """The SQLite file of a logical database: the name folded to lower case, and anything
    but letters, digits, '_' and '-' hex-encoded, so no name can leave the state directory."""
    folded = name.lower()
    if re.fullmatch(r"[a-z0-9_\-]{1,100}", folded):
        safe = folded
    else:
        safe = "x-" + folded.encode("utf-8").hex()[:200]
    return os.path.join(state_dir, "db_" + safe + ".sqlite")


class Reply:
    """Collects the tokens of one reply. DONE-family tokens are kept apart so that the
    DONE_MORE bit can be set on all but the last when the reply is finished."""

    def __init__(self):
        self.parts = []

    def add(self, raw):
        self.parts.append(raw)

    def done(self, marker, status=0, command=0, count=0):
        self.parts.append([marker, status, command, count])

    def ends_with_done(self):
        return bool(self.parts) and isinstance(self.parts[-1], list) and self.parts[-1][0] in (tk.DONE, tk.DONEPROC)

    def finish(self):
        last = max((i for i, p in enumerate(self.parts) if isinstance(p, list)), default=-1)
        out = bytearray()
        for i, p in enumerate(self.parts):
            if isinstance(p, list):
                marker, status, command, count = p
                status = status & ~tk.DONE_MORE if i == last else status | tk.DONE_MORE
                out += tk.done(marker, status, command, count)
            else:
                out += p
        return bytes(out)


class Options:
    def __init__(self, state_dir, filelist=(), log=None, wait=None):
        self.state_dir = state_dir
        self.filelist = list(filelist)
        self.log = log or RequestLog(None)
        # wait(seconds) -> True when ATTENTION arrived meanwhile.
        self.wait = wait or (lambda seconds: time.sleep(seconds) or False)


_PROC_IDS = {1: "sp_cursor", 2: "sp_cursoropen", 3: "sp_cursorprepare", 4: "sp_cursorexecute",
             5: "sp_cursorprepexec", 6: "sp_cursorunprepare", 7: "sp_cursorfetch", 8: "sp_cursoroption",
             9: "sp_cursorclose", 10: "sp_executesql", 11: "sp_prepare", 12: "sp_execute",
             13: "sp_prepexec", 14: "sp_prepexecrpc", 15: "sp_unprepare"}

_DML = {"INSERT": tk.CMD_INSERT, "UPDATE": tk.CMD_UPDATE, "DELETE": tk.CMD_DELETE}


class Session:
    def __init__(self, options, spid, database="master"):
        self.opt = options
        self.spid = spid
        self.database = database
        self.nocount = False
        self.implicit_transactions = False
        self.xact_abort = False
        self.rowcount = 0
        self.trancount = 0
        self.last_error = 0
        self._var_types = {}
        self._connections = {}
        self._prepared = {}
        self._next_handle = 1
        self._variables = {}
        self._done_marker = tk.DONE

    def close(self):
        for conn in self._connections.values():
            try:
                if conn.in_transaction:
                    conn.execute("ROLLBACK")
                conn.close()
            except sqlite3.Error:
                pass
        self._connections.clear()

    # ---- SQLite --------------------------------------------------------------------------

    def _db(self, name=None):
        name = (name or self.database).lower()
        conn = self._connections.get(name)
        if conn is None:
            conn = sqlite3.connect(database_file(self.opt.state_dir, name), timeout=10,
                                   isolation_level=None, check_same_thread=False)
            conn.create_function("OBJECT_ID", -1, lambda obj, *rest: _object_id(conn, obj))
            conn.create_function("SERVERPROPERTY", 1, _server_property)
            self._connections[name] = conn
        return conn

    def _context(self):
        return tds_sql.Context({
            "@@VERSION": VERSION_TEXT,
            "@@SPID": self.spid,
            "@@ROWCOUNT": self.rowcount,
            "@@TRANCOUNT": self.trancount,
            "@@SERVERNAME": SERVER_NAME,
            "@@ERROR": self.last_error,
            "XACT_STATE()": 1 if self.trancount > 0 else 0,
        }, self.database)

    # ---- Entry points --------------------------------------------------------------------

    def run_batch(self, text):
        """Reply bytes for a SQL batch. Raises Cancelled (with the reply so far) on ATTENTION
        and ConnectionKilled (with the whole reply) after an error of severity 20 or more."""
        self.opt.log.write({"kind": "batch", "database": self.database, "text": text})
        reply = Reply()
        self._done_marker = tk.DONE
        self._variables = {}
        self._var_types = {}
        self._guarded(reply, lambda: self._run_text(text, reply))
        if not reply.ends_with_done():
            reply.done(tk.DONE)
        return reply.finish()

    def _guarded(self, reply, work):
        """Runs work, turning an interruption into Cancelled and a fatal error into
        ConnectionKilled, each carrying the reply as it stands."""
        try:
            work()
        except _Interrupted:
            # An attention rolls back the open transaction only under XACT_ABORT ON.
            if self.xact_abort and self.trancount:
                self._rollback_all(reply)
            raise Cancelled(reply.finish())
        except _Fatal:
            self._rollback_all(reply, announce=False)
            raise ConnectionKilled(reply.finish())

    def run_rpc(self, calls):
        """Reply bytes for RPC calls: [(procedure name, [RpcParam])]."""
        reply = Reply()
        for name, params in calls:
            entry = {"kind": "rpc", "proc": name, "database": self.database,
                     "params": [{"name": p.name, "value": p.value} for p in params]}
            self._done_marker = tk.DONEINPROC
            try:
                self._guarded(reply, lambda: self._one_rpc(name, params, reply, entry))
            finally:
                self.opt.log.write(entry)
        return reply.finish()

    def _one_rpc(self, name, params, reply, entry):
        try:
            outputs = self._rpc(name, params, reply, entry)
            reply.add(tk.return_status(0))
            for ordinal, (pname, column, value) in enumerate(outputs):
                reply.add(tk.return_value(ordinal, pname, column, value))
            reply.done(tk.DONEPROC)
        except SqlError as e:
            if not isinstance(e, _AlreadyReported):
                self._error(reply, e, 1)
            reply.add(tk.return_status(-6))
            reply.done(tk.DONEPROC, tk.DONE_ERROR)

    def transaction_request(self, request):
        """Reply bytes for a transaction-manager request: 'begin', 'commit' or 'rollback',
        optionally followed by a new transaction (commit/rollback with begin)."""
        reply = Reply()
        kind, begin_again = request
        try:
            if kind == "begin":
                self._begin(reply)
            else:
                if kind == "commit":
                    self._end_all("COMMIT", tk.ENV_COMMIT_TRAN, reply)
                else:
                    self._rollback_all(reply)
                if begin_again:
                    self._begin(reply)
            reply.done(tk.DONE)
        except sqlite3.Error as e:
            self._error(reply, _sqlite_error(e), 1)
            reply.done(tk.DONE, tk.DONE_ERROR)
        return reply.finish()

    # ---- Transactions ----------------------------------------------------------------------

    def _begin(self, reply):
        """BEGIN TRANSACTION: the outermost one starts a transaction and announces it; inner
        ones only count."""
        if self.trancount == 0:
            conn = self._db()
            if not conn.in_transaction:
                conn.execute("BEGIN")
            reply.add(tk.envchange_bytes(tk.ENV_BEGIN_TRAN, _descriptor(self.spid), b""))
        self.trancount += 1

    def _commit(self, reply):
        if self.trancount == 0:
            raise SqlError(3902, 16, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.")
        self.trancount -= 1
        if self.trancount == 0:
            self._end_all("COMMIT", tk.ENV_COMMIT_TRAN, reply)

    def _end_all(self, verb, env, reply, announce=True):
        """Commits or rolls back the transaction in every database of the session."""
        was_open = self.trancount > 0 or any(c.in_transaction for c in self._connections.values())
        self.trancount = 0
        for conn in self._connections.values():
            if conn.in_transaction:
                conn.execute(verb)
        if was_open and announce:
            reply.add(tk.envchange_bytes(env, b"", _descriptor(self.spid)))

    def _rollback_all(self, reply, announce=True):
        try:
            self._end_all("ROLLBACK", tk.ENV_ROLLBACK_TRAN, reply, announce)
        except sqlite3.Error:
            pass

    # ---- Batches -------------------------------------------------------------------------

    def _run_text(self, text, reply):
        """Runs a batch as the server does; False when any statement failed.

        A syntax error anywhere means nothing of the batch runs. A failing statement ends
        only itself, and the batch goes on, unless XACT_ABORT is ON (then the batch ends and
        the open transaction is rolled back) or the error ends the batch anyway
        (BATCH_ABORTING). RAISERROR below severity 20 never ends the batch; severity 20 and
        above closes the connection.
        """
        try:
            statements = tds_sql.split_statements(text)
        except tds_sql.SqlSyntaxError as e:
            number = 113 if "comment" in e.args[0] else 105
            self._fail_statement(reply, SqlError(number, 15, e.args[0]), e.args[1])
            return False
        for stmt in statements:
            problem = self._compile_error(stmt)
            if problem is not None:
                self._fail_statement(reply, problem, stmt.line)
                return False
        ok = True
        for stmt in statements:
            try:
                self._statement(stmt, reply)
                self.last_error = 0
            except SqlError as e:
                ok = False
                self._fail_statement(reply, e, stmt.line)
                if e.severity >= 20:
                    raise _Fatal()
                if e.raised:
                    continue
                if self.xact_abort:
                    self._rollback_all(reply)
                    return False
                if e.number in BATCH_ABORTING:
                    return False
        return ok

    def _fail_statement(self, reply, err, line):
        """The error of a statement and the statement's DONE with the error bit."""
        self._error(reply, err, line)
        self.last_error = err.number
        reply.done(self._done_marker, tk.DONE_ERROR)

    def _compile_error(self, stmt):
        """The syntax error of a statement that runs on SQLite, found without running it."""
        w0 = stmt.word(0)
        if w0 == "IF":
            guarded = _guarded_start(stmt.tokens)
            if guarded is None:
                return SqlError(102, 15, "Incorrect syntax near 'IF'.")
            return self._compile_error(tds_sql.Statement(stmt.tokens[guarded:], stmt.line))
        tokens = stmt.tokens
        if w0 == "PRINT" and len(tokens) > 1:
            tokens = [tds_sql.Token("word", "SELECT", stmt.line)] + tokens[1:]
        elif not self._runs_on_sqlite(stmt):
            return None
        if w0 == "TRUNCATE" and stmt.word(1) == "TABLE":
            tokens = [tds_sql.Token("word", "DELETE", stmt.line), tds_sql.Token("word", "FROM", stmt.line)] + tokens[2:]
        try:
            sql = tds_sql.translate(tokens, self._context(), null_variables=True)
            self._db().execute("EXPLAIN " + sql).fetchall()
        except sqlite3.Error as e:
            text = str(e)
            for pattern, number, message in _COMPILE_PATTERNS:
                m = pattern.search(text)
                if m:
                    return SqlError(number, 15 if number == 102 else 16, message % m.group(1))
        except (IndexError, StopIteration, ValueError):
            pass
        return None

    def _runs_on_sqlite(self, stmt):
        w0 = stmt.word(0)
        if w0 in ("SET", "USE", "PRINT", "RAISERROR", "WAITFOR", "DECLARE", "IF", "COMMIT", "ROLLBACK",
                  "EXEC", "EXECUTE", "RESTORE", "BACKUP", "SAVE") or w0.startswith("SP_"):
            return False
        if w0 == "BEGIN" and stmt.word(1) in ("TRAN", "TRANSACTION"):
            return False
        if (w0 == "SELECT" and len(stmt.tokens) > 2 and stmt.tokens[1].kind == "var"
                and not stmt.tokens[1].text.startswith("@@") and stmt.tokens[2].text == "="):
            return False
        return True

    def _error(self, reply, err, line):
        is_error = err.severity > 10
        # Severity 10 is informational and reaches the client as class 0.
        severity = 0 if err.severity == 10 else err.severity
        reply.add(tk.message(is_error, err.number, err.state, severity, err.text, SERVER_NAME, line))

    def _info(self, reply, number, text, line, state=1, severity=0, error=False):
        reply.add(tk.message(error, number, state, severity, text, SERVER_NAME, line))

    def _statement(self, stmt, reply):
        w0 = stmt.word(0)
        if w0 == "SET":
            return self._set(stmt)
        if w0 == "USE":
            return self._use(stmt, reply)
        if w0 == "PRINT":
            return self._info(reply, 0, _text_of(self._scalar(stmt.tokens[1:])), stmt.line)
        if w0 == "RAISERROR":
            return self._raiserror(stmt, reply)
        if w0 == "WAITFOR":
            return self._waitfor(stmt)
        if w0 == "DECLARE":
            return self._declare(stmt)
        if w0 == "IF":
            return self._if(stmt, reply)
        if w0 in ("BEGIN", "COMMIT", "ROLLBACK") and self._transaction(stmt, reply):
            return None
        if w0 in ("EXEC", "EXECUTE") or w0.startswith("SP_"):
            return self._exec(stmt, reply)
        if w0 in ("RESTORE", "BACKUP"):
            return self._maintenance(stmt, reply)
        return self._sqlite(stmt, reply)

    def _set(self, stmt):
        if len(stmt.tokens) > 1 and stmt.tokens[1].kind == "var":
            # SET @v = expression
            if len(stmt.tokens) < 4 or stmt.tokens[2].text != "=":
                raise SqlError(102, 15, "Incorrect syntax near '%s'." % stmt.tokens[1].text)
            self._variables[tds_sql.variable_name(stmt.tokens[1].text)] = self._scalar(stmt.tokens[3:])
            return
        option = stmt.word(1)
        value = stmt.word(len(stmt.tokens) - 1)
        if option == "NOCOUNT":
            self.nocount = value == "ON"
        elif option == "XACT_ABORT":
            self.xact_abort = value == "ON"
        elif option == "IMPLICIT_TRANSACTIONS":
            self.implicit_transactions = value == "ON"
        # Every other option is accepted and has no effect here.

    def _use(self, stmt, reply):
        if len(stmt.tokens) != 2 or stmt.tokens[1].kind not in ("word", "bracket", "dquote"):
            raise SqlError(102, 15, "Incorrect syntax near 'USE'.")
        self.use(tds_sql.identifier(stmt.tokens[1]), reply, stmt.line)

    def use(self, name, reply, line=1):
        """Switches the current database (creating its file on first use)."""
        old = self.database
        self._db(name)
        self.database = name
        reply.add(tk.envchange_text(tk.ENV_DATABASE, name, old))
        self._info(reply, 5701, "Changed database context to '%s'." % name, line, state=2)

    def _raiserror(self, stmt, reply):
        toks = stmt.tokens[1:]
        if not toks or toks[0].text != "(":
            raise SqlError(102, 15, "Incorrect syntax near 'RAISERROR'.")
        depth = 0
        close = None
        for i, t in enumerate(toks):
            if t.text == "(":
                depth += 1
            elif t.text == ")":
                depth -= 1
                if depth == 0:
                    close = i
                    break
        args = tds_sql.split_arguments(toks[1:close]) if close else []
        if len(args) < 3:
            raise SqlError(102, 15, "Incorrect syntax near 'RAISERROR'.")
        options = {t.upper() for t in toks[close + 1:] if t.kind == "word"}
        first = self._scalar(args[0])
        severity = int(self._scalar(args[1]) or 0)
        state = int(self._scalar(args[2]) or 0)
        substitutions = [self._scalar(a) for a in args[3:]]
        if isinstance(first, int):
            number, text = first, "Error %d, severity %d, state %d was raised." % (first, severity, state)
        else:
            number, text = 50000, _printf(_text_of(first), substitutions)
        severity = max(0, min(severity, 25))
        if severity > 18 and "LOG" not in options:
            raise SqlError(2754, 16, "Error severity levels greater than 18 can only be specified by members of "
                                     "the sysadmin role, using the WITH LOG option.")
        if severity >= 20:
            self._info(reply, 2745, "Process ID %d has raised user error %d, severity %d. SQL Server is "
                                    "terminating this process." % (self.spid, number, severity),
                       stmt.line, state=2, severity=16, error=True)
            self._error(reply, SqlError(number, severity, text, state), stmt.line)
            raise SqlError(596, 21, "Cannot continue the execution because the session is in the kill state.")
        if severity > 10:
            raise SqlError(number, severity, text, state, raised=True)
        # Severity 10 and below is a message; 10 reaches the client as class 0.
        self._info(reply, number, text, stmt.line, state=state, severity=0 if severity == 10 else severity)

    def _waitfor(self, stmt):
        if stmt.word(1) != "DELAY" or len(stmt.tokens) < 3:
            raise SqlError(102, 15, "Incorrect syntax near 'WAITFOR'.")
        delay = _text_of(self._scalar(stmt.tokens[2:]))
        m = re.fullmatch(r"\s*(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3}))?)?\s*", delay)
        if not m:
            raise SqlError(148, 15, "Incorrect time syntax in time string '%s' used with WAITFOR." % delay)
        seconds = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + int(m.group(3) or 0)
        seconds += int((m.group(4) or "0").ljust(3, "0")) / 1000.0
        if self.opt.wait(seconds):
            raise _Interrupted()

    def _declare(self, stmt):
        for group in tds_sql.split_arguments(stmt.tokens[1:]):
            if group[0].kind != "var":
                raise SqlError(102, 15, "Incorrect syntax near '%s'." % group[0].text)
            name = tds_sql.variable_name(group[0].text)
            value = None
            eq = next((i for i, t in enumerate(group) if t.text == "="), None)
            if eq is not None:
                value = self._scalar(group[eq + 1:])
            self._var_types[name] = tds_sql.join_tokens(group[1:eq]).upper()
            self._variables[name] = value

    def _if(self, stmt, reply):
        toks = stmt.tokens
        split = _guarded_start(toks)
        if split is None:
            raise SqlError(102, 15, "Incorrect syntax near 'IF'.")
        condition = self._scalar(toks[1:split], "CASE WHEN %s THEN 1 ELSE 0 END")
        if condition:
            self._statement(tds_sql.Statement(toks[split:], stmt.line), reply)

    def _transaction(self, stmt, reply):
        w0, w1 = stmt.word(0), stmt.word(1)
        if w0 == "BEGIN" and w1 not in ("TRAN", "TRANSACTION"):
            return False
        try:
            if w0 == "BEGIN":
                self._begin(reply)
            elif w0 == "COMMIT":
                self._commit(reply)
            elif self.trancount == 0:
                raise SqlError(3903, 16, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.")
            else:
                self._rollback_all(reply)
        except sqlite3.Error as e:
            raise _sqlite_error(e)
        return True

    # ---- Procedures and canned answers -----------------------------------------------------

    def _exec(self, stmt, reply):
        toks = stmt.tokens[1:] if stmt.word(0) in ("EXEC", "EXECUTE") else stmt.tokens
        target = None
        if len(toks) >= 2 and toks[0].kind == "var" and toks[1].text == "=":
            target = tds_sql.variable_name(toks[0].text)
            toks = toks[2:]
        if not toks:
            raise SqlError(102, 15, "Incorrect syntax near 'EXEC'.")
        # Skip database and schema prefixes (dbo.sp_x, master..sp_x).
        k = 0
        while k + 1 < len(toks) and toks[k + 1].text == ".":
            k += 1
            while k < len(toks) - 1 and toks[k].text == ".":
                k += 1
        name = tds_sql.identifier(toks[k])
        args = []
        for group in tds_sql.split_arguments(toks[k + 1:]):
            if len(group) >= 2 and group[-1].upper() in ("OUTPUT", "OUT"):
                continue
            if len(group) >= 3 and group[0].kind == "var" and group[1].text == "=":
                group = group[2:]  # @name = value
            args.append(self._scalar(group))
        status = self._canned_procedure(name, args, stmt.text(), reply)
        if target is not None:
            self._variables[target] = status
        reply.add(tk.return_status(status))
        reply.done(tk.DONEPROC if self._done_marker == tk.DONE else tk.DONEINPROC)

    def _canned_procedure(self, name, args, text, reply):
        lowered = name.lower()
        if lowered in ("sp_dbcmptlevel", "sp_getapplock", "sp_releaseapplock"):
            self.opt.log.write({"kind": "canned", "name": lowered, "database": self.database,
                                "text": text, "args": args})
            return 0
        raise SqlError(2812, 16, "Could not find stored procedure '%s'." % name)

    def _maintenance(self, stmt, reply):
        w1 = stmt.word(1)
        text = stmt.text()
        if stmt.word(0) == "RESTORE" and w1 == "FILELISTONLY":
            disk = next((tds_sql.unquote_string(t.text) for t in stmt.tokens if t.kind == "string"), "")
            self.opt.log.write({"kind": "canned", "name": "restore filelistonly", "database": self.database,
                                "text": text, "disk": disk})
            columns = [tk.Column("LogicalName", "text"), tk.Column("PhysicalName", "text"),
                       tk.Column("Type", "text"), tk.Column("FileGroupName", "text"),
                       tk.Column("FileId", "bigint")]
            rows = []
            for number, logical in enumerate(self.opt.filelist, start=1):
                is_log = logical.lower().endswith("log")
                physical = "%s%s" % (logical, ".ldf" if is_log else ".mdf")
                rows.append([logical, physical, "L" if is_log else "D", None if is_log else "PRIMARY", number])
            self._result(reply, columns, rows)
            return
        what = "%s %s" % (stmt.word(0).lower(), w1.lower())
        self.opt.log.write({"kind": "canned", "name": what, "database": self.database, "text": text})
        if w1 not in ("DATABASE", "LOG", "VERIFYONLY", "HEADERONLY"):
            raise SqlError(102, 15, "Incorrect syntax near '%s'." % stmt.word(0))

    def _result(self, reply, columns, rows):
        reply.add(tk.colmetadata(columns))
        for values in rows:
            reply.add(tk.row(columns, values))
        self.rowcount = len(rows)
        status = 0 if self.nocount else tk.DONE_COUNT
        reply.done(self._done_marker, status, tk.CMD_SELECT, len(rows))

    # ---- SQLite statements -----------------------------------------------------------------

    def _scalar(self, tokens, wrap="%s"):
        """The value of an expression's tokens, evaluated with the batch's variables."""
        if len(tokens) == 1:
            t = tokens[0]
            if t.kind == "string":
                return tds_sql.unquote_string(t.text)
            if t.kind == "number" and re.fullmatch(r"\d+", t.text):
                return int(t.text)
            if t.kind == "binary":
                return tds_sql.binary_value(t.text)
            if t.kind == "var" and not t.text.startswith("@@"):
                return self._variable(t.text)
        if len(tokens) == 2 and tokens[0].text == "-" and tokens[1].kind == "number" and tokens[1].text.isdigit():
            return -int(tokens[1].text)
        sql = "SELECT " + wrap % tds_sql.translate(tokens, self._context())
        try:
            row = self._db().execute(sql, self._variables).fetchone()
        except sqlite3.Error as e:
            raise _sqlite_error(e)
        return row[0] if row else None

    def _variable(self, text):
        name = tds_sql.variable_name(text)
        if name not in self._variables:
            raise SqlError(137, 15, 'Must declare the scalar variable "%s".' % text)
        return self._variables[name]

    def _select_assignment(self, stmt):
        """SELECT @a = expr, @b = expr [FROM ...]: runs the query and assigns the values of
        its last row (variables keep their values when there is no row)."""
        toks = stmt.tokens
        end = len(toks)
        depth = 0
        for i in range(1, len(toks)):
            if toks[i].text == "(":
                depth += 1
            elif toks[i].text == ")":
                depth -= 1
            elif depth == 0 and toks[i].upper() in ("FROM", "WHERE", "ORDER", "GROUP", "HAVING", "UNION"):
                end = i
                break
        targets = []
        expressions = []
        for item in tds_sql.split_arguments(toks[1:end]):
            if len(item) < 3 or item[0].kind != "var" or item[1].text != "=":
                raise SqlError(141, 15, "A SELECT statement that assigns a value to a variable must not be "
                                        "combined with data-retrieval operations.")
            targets.append(tds_sql.variable_name(item[0].text))
            if expressions:
                expressions.append(tds_sql.Token("punct", ",", stmt.line))
            expressions.extend(item[2:])
        query = [toks[0]] + expressions + toks[end:]
        sql = tds_sql.translate(query, self._context())
        try:
            rows = self._db().execute(sql, self._variables).fetchall()
        except sqlite3.Error as e:
            raise _sqlite_error(e)
        if rows:
            self._variables.update(zip(targets, rows[-1]))
        self.rowcount = len(rows)

    def _sqlite(self, stmt, reply):
        w0 = stmt.word(0)
        if (w0 == "SELECT" and len(stmt.tokens) > 2 and stmt.tokens[1].kind == "var"
                and not stmt.tokens[1].text.startswith("@@") and stmt.tokens[2].text == "="):
            return self._select_assignment(stmt)
        conn = self._db()
        sql = tds_sql.translate(stmt.tokens, self._context())
        if self.implicit_transactions and self.trancount == 0 and w0 in (
                "SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "TRUNCATE"):
            self._begin(reply)
        if w0 == "TRUNCATE" and stmt.word(1) == "TABLE":
            delete = [tds_sql.Token("word", "DELETE", stmt.line), tds_sql.Token("word", "FROM", stmt.line)]
            sql = tds_sql.translate(delete + stmt.tokens[2:], self._context())
        try:
            cur = conn.execute(sql, self._variables)
            described = cur.description
            rows = cur.fetchall() if described else []
        except sqlite3.ProgrammingError as e:
            missing = re.search(r"binding parameter :(\w+)", str(e))
            if missing:
                raise SqlError(137, 15, 'Must declare the scalar variable "@%s".' % missing.group(1))
            raise _sqlite_error(e)
        except sqlite3.Error as e:
            raise _sqlite_error(e)
        if described:
            names = [_column_name(d[0]) for d in described]
            decls = self._declared_types(conn, stmt, len(names))
            not_null = self._not_null_columns(conn, stmt, len(names))
            columns, converted = _type_columns(names, decls, rows, not_null)
            self._result(reply, columns, converted)
            if w0 in _DML:
                self.rowcount = cur.rowcount if cur.rowcount >= 0 else len(rows)
            return
        if w0 in _DML:
            self.rowcount = max(cur.rowcount, 0)
            status = 0 if self.nocount else tk.DONE_COUNT
            reply.done(self._done_marker, status, _DML[w0], self.rowcount)

    def _declared_types(self, conn, stmt, count):
        """Declared column types of a query's result ('' where unknown): through a temporary
        view for SELECT, through the table for INSERT ... RETURNING."""
        w0 = stmt.word(0)
        try:
            if w0 in ("SELECT", "WITH"):
                view_sql = tds_sql.translate(stmt.tokens, self._context(), null_variables=True)
                conn.execute("CREATE TEMP VIEW __peer_columns AS " + view_sql)
                try:
                    info = conn.execute("PRAGMA temp.table_info(__peer_columns)").fetchall()
                finally:
                    conn.execute("DROP VIEW temp.__peer_columns")
                decls = [r[2] for r in info][:count] + [""] * max(0, count - len(info))
                # A variable selected as it is keeps the type it was declared with.
                if w0 == "SELECT":
                    for i, item in enumerate(_select_items(stmt.tokens)[:count]):
                        item = _without_alias(item)
                        if len(item) == 1 and item[0].kind == "var" and not item[0].text.startswith("@@"):
                            decls[i] = self._var_types.get(tds_sql.variable_name(item[0].text), decls[i])
                return decls
            if w0 == "INSERT" and stmt.word(1) == "INTO":
                table, returning = tds_sql.insert_returning(stmt.tokens)
                info = {r[1].lower(): r[2] for r in conn.execute(
                    "PRAGMA table_info(%s)" % tds_sql.quote_identifier(table)).fetchall()}
                return [info.get(name.lower(), "") for name in returning] + [""] * count
        except (sqlite3.Error, StopIteration, IndexError):
            pass
        return [""] * count

    def _not_null_columns(self, conn, stmt, count):
        """Which result columns cannot hold NULL: literals, and plain references to NOT NULL
        (or identity) columns of the tables the query reads."""
        result = [False] * count
        if stmt.word(0) != "SELECT":
            return result
        columns = {}
        for table in _from_tables(stmt.tokens):
            try:
                for r in conn.execute("PRAGMA table_info(%s)" % tds_sql.quote_identifier(table)).fetchall():
                    columns[r[1].lower()] = bool(r[3]) or bool(r[5])
            except sqlite3.Error:
                pass
        for i, item in enumerate(_select_items(stmt.tokens)[:count]):
            item = _without_alias(item)
            if len(item) == 1 and item[0].kind in ("number", "string", "binary"):
                result[i] = True
            elif len(item) == 2 and item[0].text == "-" and item[1].kind == "number":
                result[i] = True
            elif item and item[-1].kind in ("word", "bracket") and all(
                    t.kind in ("word", "bracket") or t.text == "." for t in item):
                result[i] = columns.get(tds_sql.identifier(item[-1]).lower(), False)
        return result

    # ---- RPC -------------------------------------------------------------------------------

    def _rpc(self, name, params, reply, entry):
        lowered = name.lower()
        self._variables = {}
        self._var_types = {}
        outputs = []
        if lowered == "sp_executesql":
            text, declaration, values = _param_text(params, 0), _param_text(params, 1), params[2:]
            self._bind(declaration, values)
        elif lowered in ("sp_prepexec", "sp_prepare"):
            declaration, text = _param_text(params, 1), _param_text(params, 2)
            handle = self._next_handle
            self._next_handle += 1
            self._prepared[handle] = (text, declaration)
            outputs.append((params[0].name if params else "@handle", tk.Column("", "int"), handle))
            if lowered == "sp_prepare":
                entry["text"] = text
                return outputs
            self._bind(declaration, params[3:])
        elif lowered == "sp_execute":
            handle = params[0].value if params else None
            if handle not in self._prepared:
                raise SqlError(8179, 16, "Could not find prepared statement with handle %s." % handle)
            text, declaration = self._prepared[handle]
            self._bind(declaration, params[1:])
        elif lowered == "sp_unprepare":
            if params:
                self._prepared.pop(params[0].value, None)
            return outputs
        else:
            entry["text"] = name
            status = self._canned_procedure(name, [p.value for p in params], name, reply)
            if status:
                raise SqlError(50000, 16, "Procedure %s failed." % name)
            return outputs
        entry["text"] = text
        if not self._run_text(text, reply):
            raise _AlreadyReported()
        return outputs

    def _bind(self, declaration, values):
        """Binds RPC parameter values to the names declared ('@P1 int, @P2 nvarchar(10)');
        named values bind by name, unnamed ones by position."""
        declared = re.findall(r"(@[A-Za-z_0-9#$@]+)\s*([A-Za-z_0-9]*(?:\s*\([^)]*\))?)", declaration or "")
        for name, type_name in declared:
            self._var_types[tds_sql.variable_name(name)] = type_name.upper()
        for i, p in enumerate(values):
            name = p.name or (declared[i][0] if i < len(declared) else "@P%d" % (i + 1))
            self._variables[tds_sql.variable_name(name)] = _bindable(p.value)


class _Interrupted(Exception):
    """ATTENTION arrived while a statement waited."""


class _Fatal(Exception):
    """An error of severity 20 or more was reported: the connection must close."""


def _guarded_start(toks):
    """The index where the statement guarded by IF begins (None when there is none)."""
    depth = 0
    for i in range(1, len(toks)):
        t = toks[i]
        if t.text == "(":
            depth += 1
        elif t.text == ")":
            depth -= 1
        elif depth == 0 and t.kind == "word" and t.text.upper() in tds_sql.STARTERS:
            return i if i > 1 else None
    return None


class _AlreadyReported(SqlError):
    """The failing statement has already put its ERROR token in the reply."""

    def __init__(self):
        super().__init__(0, 0, "")


def _param_text(params, index):
    if index < len(params) and isinstance(params[index].value, str):
        return params[index].value
    return ""


def _bindable(value):
    if isinstance(value, datetime.datetime):
        return value.strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
    if isinstance(value, (datetime.date, datetime.time)):
        return value.isoformat()
    return value


def _descriptor(spid):
    return spid.to_bytes(8, "little")


def _object_id(conn, name):
    if not isinstance(name, str):
        return None
    bare = name.split(".")[-1].strip("[]\"")
    row = conn.execute("SELECT rowid FROM sqlite_master WHERE lower(name) = lower(?)", (bare,)).fetchone()
    return row[0] if row else None


_SERVER_PROPERTIES = {"productversion": "16.0.1000.6", "productlevel": "RTM", "productmajorversion": "16",
                      "edition": "Developer Edition (64-bit)", "engineedition": 3, "servername": SERVER_NAME,
                      "machinename": SERVER_NAME, "collation": "SQL_Latin1_General_CP1_CI_AS",
                      "isclustered": 0, "isfulltextinstalled": 0, "isintegratedsecurityonly": 0}


def _server_property(name):
    return _SERVER_PROPERTIES.get(str(name).lower())


def _text_of(value):
    if value is None:
        return ""
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def _printf(fmt, args):
    """The message of RAISERROR: %s, %d, %i, %u (with optional flags and width) and %%."""
    it = iter(args)

    def repl(m):
        if m.group(0) == "%%":
            return "%"
        value = next(it, None)
        if value is None:
            return "(null)"
        conv = m.group(2)
        if conv in "diu":
            try:
                return ("%" + m.group(1) + "d") % int(value)
            except (TypeError, ValueError):
                return str(value)
        return ("%" + m.group(1) + "s") % _text_of(value)

    return re.sub(r"%%|%([-+ 0#]*\d*)([sdiu])", repl, fmt)


_NAMED = re.compile(r"[^\W\d][\w#$ ]*")


def _column_name(name):
    """SQL Server leaves expression columns unnamed; SQLite names them after their text."""
    if name and _NAMED.fullmatch(name) and name.upper() != "NULL":
        return name
    return ""


def _sqlite_error(e):
    text = str(e)
    m = re.match(r"no such table: (?:main\.)?(.*)", text)
    if m:
        return SqlError(208, 16, "Invalid object name '%s'." % m.group(1))
    m = re.match(r"table (.*) already exists", text)
    if m:
        return SqlError(2714, 16, "There is already an object named '%s' in the database." % m.group(1).strip('"'))
    m = re.match(r"no such column: (.*)", text)
    if m:
        return SqlError(207, 16, "Invalid column name '%s'." % m.group(1))
    if text.startswith("UNIQUE constraint failed"):
        return SqlError(2627, 14, "Violation of PRIMARY KEY or UNIQUE constraint: %s." % text)
    if text.startswith("NOT NULL constraint failed"):
        return SqlError(515, 16, "Cannot insert the value NULL into column: %s." % text)
    m = re.search(r'near "(.*)": syntax error', text)
    if m:
        return SqlError(102, 15, "Incorrect syntax near '%s'." % m.group(1))
    if "syntax error" in text or "incomplete input" in text:
        return SqlError(102, 15, "Incorrect syntax: %s." % text)
    return SqlError(50000, 16, text)


# ---- Result typing ------------------------------------------------------------------------

def _as_datetime(v):
    if isinstance(v, datetime.datetime):
        return v
    if not isinstance(v, str):
        return None
    try:
        return datetime.datetime.fromisoformat(v.strip().replace("T", " "))
    except ValueError:
        return None


def _select_items(tokens):
    """The top-level items of a SELECT list (after DISTINCT/TOP), each a list of tokens."""
    i = 1
    if i < len(tokens) and tokens[i].upper() in ("DISTINCT", "ALL"):
        i += 1
    if i < len(tokens) and tokens[i].upper() == "TOP":
        i += 2 if i + 1 < len(tokens) and tokens[i + 1].kind in ("number", "var") else 4
    depth = 0
    end = len(tokens)
    for k in range(i, len(tokens)):
        if tokens[k].text == "(":
            depth += 1
        elif tokens[k].text == ")":
            depth -= 1
        elif depth == 0 and tokens[k].upper() in ("FROM", "WHERE", "ORDER", "GROUP", "HAVING", "UNION", "INTO"):
            end = k
            break
    return tds_sql.split_arguments(tokens[i:end])


def _without_alias(item):
    """A select item without its column alias ("expr AS name", "expr name")."""
    if len(item) >= 2 and item[-2].upper() == "AS":
        return item[:-2]
    if len(item) >= 2 and item[-1].kind in ("word", "bracket", "dquote") and item[-2].kind in (
            "word", "bracket", "var", "number", "string") and item[-2].text != ".":
        return item[:-1]
    return item


def _from_tables(tokens):
    """The names of the tables named after FROM or JOIN."""
    names = []
    for k, t in enumerate(tokens[:-1]):
        if t.upper() in ("FROM", "JOIN"):
            j = k + 1
            while j + 2 < len(tokens) and tokens[j + 1].text == ".":
                j += 2  # database or schema prefixes
            if tokens[j].kind in ("word", "bracket", "dquote"):
                names.append(tds_sql.identifier(tokens[j]))
    return names


_LENGTH = re.compile(r"\(\s*(\d+)\s*\)")


def _declared_length(decl):
    """The length of a declared character or binary type: a number, "max" (no length or MAX)
    or None (not such a type)."""
    if not any(k in decl for k in ("CHAR", "TEXT", "BINARY", "CLOB", "BLOB", "IMAGE")):
        return None
    if "TEXT" in decl or "IMAGE" in decl or "MAX" in decl:
        return "max"
    m = _LENGTH.search(decl)
    return int(m.group(1)) if m else "max"


def _type_columns(names, decls, rows, not_null=None):
    """Chooses a column kind from the declared type (and the values where none is declared)
    and converts the values to it."""
    columns = []
    by_column = list(zip(*rows)) if rows else [()] * len(names)
    converted_columns = []
    not_null = not_null or [False] * len(names)
    for name, decl, values, required in zip(names, decls, by_column, not_null):
        decl = (decl or "").upper()
        kind, converted = _column_kind(decl, values)
        length = _declared_length(decl)
        size = None
        if kind in ("text", "longtext"):
            longest = max((len(v.encode("utf-16-le")) // 2 for v in converted if v is not None), default=1)
            if length == "max" or (length is not None and length > 4000) or longest > 4000:
                kind = "longtext"
            else:
                size = length if length is not None else max(longest, 1)
        elif kind == "binary":
            size = length if isinstance(length, int) else max((len(v) for v in converted if v is not None),
                                                              default=1)
        columns.append(tk.Column(name, kind, size, nullable=not required))
        converted_columns.append(converted)
    converted_rows = [list(r) for r in zip(*converted_columns)] if rows else []
    return columns, converted_rows


def _column_kind(decl, values):
    present = [v for v in values if v is not None]
    if "DATE" in decl or "TIME" in decl:
        stamps = [None if v is None else _as_datetime(v) for v in values]
        if all(s is not None for s, v in zip(stamps, values) if v is not None):
            return "datetime", stamps
    all_ints = all(isinstance(v, int) for v in present)
    numeric = all(isinstance(v, (int, float)) for v in present)
    if all_ints and decl == "BIT":
        return "bit", list(values)
    if all_ints and ("INT" in decl or not decl):
        if "BIGINT" in decl or any(not -2 ** 31 <= v < 2 ** 31 for v in present):
            return "bigint", list(values)
        return "int", list(values)
    if numeric and (not decl or any(k in decl for k in ("REAL", "FLOA", "DOUB", "DEC", "NUM", "MONEY"))):
        return "float", [None if v is None else float(v) for v in values]
    if present and all(isinstance(v, bytes) for v in present):
        return "binary", list(values)
    texts = [None if v is None else _text_of(v) if not isinstance(v, bytes) else v.hex() for v in values]
    longest = max((len(t.encode("utf-16-le")) // 2 for t in texts if t is not None), default=0)
    return ("longtext" if longest > 4000 else "text"), texts
