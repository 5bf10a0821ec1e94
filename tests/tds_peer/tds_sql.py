"""Statement splitting and dialect bridging for the protocol test peer.

A batch is cut into tokens (strings, bracketed and double-quoted identifiers, variables,
nested block comments, line comments, words, numbers, punctuation) and then into statements
at semicolons and at the starts of lines that begin a new statement. A statement that runs
on SQLite is rebuilt from its tokens with the dialect differences bridged: N'...' strings,
[bracket] identifiers, dbo. prefixes, GETDATE() and friends, TOP n, OUTPUT INSERTED.<col>
(RETURNING), IDENTITY columns, (MAX) lengths, string concatenation with +, and @variables
bound as named parameters (never pasted into the text).

Test instrument only: it is never installed with the product.
"""

import re

_TOKEN = re.compile(r"""
  (?P<ws>\s+)
| (?P<lcomment>--[^\n]*)
| (?P<bcomment>/\*)
| (?P<string>[Nn]?'(?:[^']|'')*')
| (?P<bracket>\[(?:[^\]]|\]\])*\])
| (?P<dquote>"(?:[^"]|"")*")
| (?P<var>@@?[A-Za-z_0-9#$@]+)
| (?P<binary>0[xX][0-9A-Fa-f]*)
| (?P<number>(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)
| (?P<word>[^\W\d][\w#$]*)
| (?P<punct>.)
""", re.S | re.X)


class SqlSyntaxError(Exception):
    """Unterminated string, identifier or comment."""


class Token:
    __slots__ = ("kind", "text", "line")

    def __init__(self, kind, text, line):
        self.kind = kind
        self.text = text
        self.line = line

    def upper(self):
        return self.text.upper() if self.kind == "word" else None

    def __repr__(self):
        return "Token(%s,%r,%d)" % (self.kind, self.text, self.line)


def tokenize(text):
    """Tokens of text with 1-based line numbers; comments become 'comment' tokens."""
    tokens = []
    pos = 0
    line = 1
    while pos < len(text):
        m = _TOKEN.match(text, pos)
        kind = m.lastgroup
        if kind == "bcomment":
            depth = 0
            end = pos
            while end < len(text):
                if text.startswith("/*", end):
                    depth += 1
                    end += 2
                elif text.startswith("*/", end):
                    depth -= 1
                    end += 2
                    if depth == 0:
                        break
                else:
                    end += 1
            if depth != 0:
                raise SqlSyntaxError("Missing end comment mark '*/'.", line)
            piece = text[pos:end]
            kind = "comment"
        else:
            piece = m.group(kind)
            end = m.end()
            if kind == "lcomment":
                kind = "comment"
            elif kind == "punct" and piece in "'[\"":
                what = {"'": "Unclosed quotation mark after the character string",
                        "[": "Unclosed bracketed identifier", '"': "Unclosed quoted identifier"}[piece]
                raise SqlSyntaxError("%s '%s'." % (what, text[pos + 1:pos + 40]), line)
        tokens.append(Token(kind, piece, line))
        line += piece.count("\n")
        pos = end
    return tokens


# Words that begin a statement when they open a line.
STARTERS = {"SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "SET", "USE", "PRINT",
            "RAISERROR", "WAITFOR", "EXEC", "EXECUTE", "RESTORE", "BACKUP", "BEGIN", "COMMIT",
            "ROLLBACK", "DECLARE", "TRUNCATE", "IF", "WITH", "MERGE"}


class Statement:
    """The significant tokens (no whitespace, no comments) of one statement and the line of
    the batch on which it starts."""

    def __init__(self, tokens, line):
        self.tokens = tokens
        self.line = line

    def word(self, index):
        """The upper-cased word at index, or '' when that token is not a word."""
        if index < len(self.tokens) and self.tokens[index].kind == "word":
            return self.tokens[index].text.upper()
        return ""

    def text(self):
        return join_tokens(self.tokens)


def _continues(current, word, previous):
    """True when word, although at the start of a line, belongs to the current statement."""
    first = current[0].upper()
    words = {t.upper() for t in current if t.kind == "word"}
    if word == "SET" and first in ("UPDATE", "MERGE"):
        return True
    if word == "SELECT":
        if previous in ("UNION", "ALL", "EXCEPT", "INTERSECT", "AS"):
            return True
        if first == "INSERT" and "VALUES" not in words and "SELECT" not in words:
            return True
        if first in ("CREATE", "ALTER") and "VIEW" in words:
            return True
    if first == "WITH" and word in ("SELECT", "INSERT", "UPDATE", "DELETE"):
        # A common table expression is followed by its one statement (end it with ';').
        return True
    if word in ("EXEC", "EXECUTE") and first == "INSERT" and "VALUES" not in words and "SELECT" not in words:
        return True
    if first == "BEGIN" and word in ("TRAN", "TRANSACTION"):
        return True
    return False


def split_statements(text):
    """The statements of a batch, in order."""
    statements = []
    current = []
    start_line = 0
    depth = 0
    line_start = True
    previous_word = ""
    if_guard_open = False
    for tok in tokenize(text):
        if tok.kind == "ws":
            if "\n" in tok.text:
                line_start = True
            continue
        if tok.kind == "comment":
            if tok.text.startswith("--"):
                line_start = True
            continue
        word = tok.upper()
        if tok.kind == "punct" and tok.text == ";" and depth == 0:
            if current:
                statements.append(Statement(current, start_line))
            current = []
            line_start = False
            continue
        if current and depth == 0 and word in STARTERS and line_start:
            first = current[0].upper()
            guarded = first == "IF" and not if_guard_open
            if not guarded and not _continues(current, word, previous_word):
                statements.append(Statement(current, start_line))
                current = []
        if not current:
            start_line = tok.line
            if_guard_open = False
        elif depth == 0 and word in STARTERS and current[0].upper() == "IF":
            # The first statement word after IF opens the statement it guards.
            if_guard_open = True
        if tok.kind == "punct":
            if tok.text == "(":
                depth += 1
            elif tok.text == ")":
                depth = max(depth - 1, 0)
        current.append(tok)
        previous_word = word or ""
        line_start = False
    if current:
        statements.append(Statement(current, start_line))
    return statements


def join_tokens(tokens):
    """Text of tokens with single blanks where a blank is needed."""
    out = []
    prev = None
    for tok in tokens:
        if prev is not None and _needs_space(prev, tok):
            out.append(" ")
        out.append(tok.text)
        prev = tok
    return "".join(out)


def _needs_space(a, b):
    if a.kind == "punct" and a.text in "(.":
        return False
    if b.kind == "punct" and b.text in ").,;(":
        return b.text == "(" and a.kind == "punct" and a.text not in "(."
    return True


def unquote_string(text):
    """The value of a string literal token ('..' or N'..')."""
    if text[:1] in "Nn":
        text = text[1:]
    return text[1:-1].replace("''", "'")


def binary_value(text):
    """The bytes of a binary literal token (0x0102); an odd digit count gets a leading zero."""
    digits = text[2:]
    if len(digits) % 2:
        digits = "0" + digits
    return bytes.fromhex(digits)


def identifier(tok):
    """The name of an identifier token (word, [bracketed] or "quoted")."""
    if tok.kind == "bracket":
        return tok.text[1:-1].replace("]]", "]")
    if tok.kind == "dquote":
        return tok.text[1:-1].replace('""', '"')
    return tok.text


def quote_identifier(name):
    return '"' + name.replace('"', '""') + '"'


def variable_name(text):
    """The binding name of a @variable token (case-folded like the server does)."""
    return text[1:].lower()


def _tok(kind, text, line=0):
    return Token(kind, text, line)


_NOW = "(strftime('%Y-%m-%d %H:%M:%f','now','localtime'))"
_UTC_NOW = "(strftime('%Y-%m-%d %H:%M:%f','now'))"
_RENAMED_FUNCTIONS = {"ISNULL": "IFNULL", "LEN": "LENGTH", "SUBSTRING": "SUBSTR", "CHARINDEX": "INSTR"}
_DROPPED_WORDS = {"CLUSTERED", "NONCLUSTERED"}


class Context:
    """What translation needs to know of the session: replacements for @@ names and
    functions without arguments."""

    def __init__(self, globals_=None, database="master"):
        self.globals = globals_ or {}
        self.database = database


def translate(stmt_tokens, context, null_variables=False):
    """SQLite text for a statement's tokens. With null_variables, @variables become NULL
    (for statements that cannot take parameters)."""
    toks = list(stmt_tokens)
    toks = _convert_to_cast(_strip_schema_prefixes(toks))
    first = toks[0].upper() if toks else ""
    if first == "CREATE" and len(toks) > 1 and toks[1].upper() == "TABLE":
        toks = _bridge_create_table(toks)
    limit = None
    if first == "SELECT":
        toks, limit = _take_top(toks, 1)
    elif first == "INSERT":
        toks = _output_to_returning(toks)
    out = []
    i = 0
    n = len(toks)
    while i < n:
        tok = toks[i]
        word = tok.upper()
        nxt = toks[i + 1] if i + 1 < n else None
        after = toks[i + 2] if i + 2 < n else None
        empty_call = nxt is not None and nxt.text == "(" and after is not None and after.text == ")"
        if tok.kind == "string":
            out.append(_tok("string", "'" + unquote_string(tok.text).replace("'", "''") + "'"))
        elif tok.kind == "binary":
            out.append(_tok("string", "X'" + binary_value(tok.text).hex() + "'"))
        elif tok.kind == "bracket":
            out.append(_tok("dquote", quote_identifier(identifier(tok))))
        elif tok.kind == "var":
            if tok.text.upper() == "@@IDENTITY":
                out.append(_tok("word", "last_insert_rowid()"))
            elif tok.text.startswith("@@"):
                out.append(_literal(context.globals.get(tok.text.upper())))
            elif null_variables:
                out.append(_tok("word", "NULL"))
            else:
                out.append(_tok("var", "@" + variable_name(tok.text)))
        elif word in ("GETDATE", "SYSDATETIME", "CURRENT_TIMESTAMP") and (empty_call or word == "CURRENT_TIMESTAMP"):
            out.append(_tok("word", _NOW))
            if empty_call:
                i += 2
        elif word in ("GETUTCDATE", "SYSUTCDATETIME") and empty_call:
            out.append(_tok("word", _UTC_NOW))
            i += 2
        elif word in ("SCOPE_IDENTITY", "IDENT_CURRENT") and nxt is not None and nxt.text == "(":
            out.append(_tok("word", "last_insert_rowid"))
            if word == "IDENT_CURRENT":
                # IDENT_CURRENT('table'): the argument is dropped; the last insert stands in.
                j = i + 2
                while j < n and toks[j].text != ")":
                    j += 1
                out.append(_tok("punct", "("))
                out.append(_tok("punct", ")"))
                i = j
        elif word == "XACT_STATE" and empty_call:
            out.append(_literal(context.globals.get("XACT_STATE()", 0)))
            i += 2
        elif word == "DB_NAME" and empty_call:
            out.append(_literal(context.database))
            i += 2
        elif word in _RENAMED_FUNCTIONS and nxt is not None and nxt.text == "(":
            out.append(_tok("word", _RENAMED_FUNCTIONS[word]))
        elif word in _DROPPED_WORDS:
            pass
        elif tok.kind == "punct" and tok.text == "+" and _stringy(toks, i):
            out.append(_tok("punct", "||"))
        elif word == "MAX" and out and out[-1].text == "(" and nxt is not None and nxt.text == ")":
            # NVARCHAR(MAX): drop "(MAX)" altogether.
            out.pop()
            i += 1
        else:
            out.append(tok)
        i += 1
    text = join_tokens(out)
    if limit is not None:
        text += " LIMIT " + limit
    return text


def _literal(value):
    if value is None:
        return _tok("word", "NULL")
    if isinstance(value, (int, float)):
        return _tok("number", repr(value))
    return _tok("string", "'" + str(value).replace("'", "''") + "'")


def _stringy(toks, i):
    """True when the + at i joins strings (a string literal on either side)."""
    before = toks[i - 1] if i > 0 else None
    after = toks[i + 1] if i + 1 < len(toks) else None
    return (before is not None and before.kind == "string") or (after is not None and after.kind == "string")


def _convert_to_cast(toks):
    """CONVERT(type, expr[, style]) -> CAST(expr AS type); the style is dropped."""
    out = []
    i = 0
    while i < len(toks):
        tok = toks[i]
        if tok.upper() == "CONVERT" and i + 1 < len(toks) and toks[i + 1].text == "(":
            depth = 0
            close = None
            for j in range(i + 1, len(toks)):
                if toks[j].text == "(":
                    depth += 1
                elif toks[j].text == ")":
                    depth -= 1
                    if depth == 0:
                        close = j
                        break
            args = split_arguments(toks[i + 2:close]) if close else []
            if len(args) >= 2:
                out += [_tok("word", "CAST"), _tok("punct", "(")] + _convert_to_cast(args[1])
                out += [_tok("word", "AS")] + args[0] + [_tok("punct", ")")]
                i = close + 1
                continue
        out.append(tok)
        i += 1
    return out


def _strip_schema_prefixes(toks):
    out = []
    i = 0
    while i < len(toks):
        tok = toks[i]
        if (tok.kind in ("word", "bracket") and identifier(tok).lower() == "dbo"
                and i + 1 < len(toks) and toks[i + 1].text == "."):
            i += 2
            continue
        out.append(tok)
        i += 1
    return out


def _take_top(toks, at):
    """Removes TOP n / TOP (n) after SELECT [DISTINCT]; returns (tokens, n or None)."""
    if at < len(toks) and toks[at].upper() in ("DISTINCT", "ALL"):
        at += 1
    if at >= len(toks) or toks[at].upper() != "TOP":
        return toks, None
    if at + 1 < len(toks) and toks[at + 1].kind == "number":
        return toks[:at] + toks[at + 2:], toks[at + 1].text
    if (at + 3 < len(toks) and toks[at + 1].text == "(" and toks[at + 2].kind in ("number", "var")
            and toks[at + 3].text == ")"):
        value = toks[at + 2]
        limit = value.text if value.kind == "number" else "@" + variable_name(value.text)
        return toks[:at] + toks[at + 4:], limit
    return toks, None


def _output_to_returning(toks):
    """INSERT ... OUTPUT INSERTED.a, INSERTED.b VALUES ... -> INSERT ... VALUES ... RETURNING a, b"""
    for i, tok in enumerate(toks):
        if tok.upper() == "OUTPUT":
            j = i + 1
            columns = []
            while j + 2 < len(toks) and toks[j].upper() == "INSERTED" and toks[j + 1].text == ".":
                columns.append(toks[j + 2])
                j += 3
                if j < len(toks) and toks[j].text == ",":
                    j += 1
                else:
                    break
            if not columns:
                return toks
            returning = [_tok("word", "RETURNING")]
            for k, col in enumerate(columns):
                if k:
                    returning.append(_tok("punct", ","))
                returning.append(col)
            return toks[:i] + toks[j:] + returning
    return toks


def insert_returning(toks):
    """(target table, [OUTPUT INSERTED column names]) of an INSERT INTO statement."""
    toks = _strip_schema_prefixes(toks)
    columns = []
    for i, tok in enumerate(toks):
        if tok.upper() == "INSERTED" and i + 2 < len(toks) and toks[i + 1].text == ".":
            columns.append(identifier(toks[i + 2]))
    return identifier(toks[2]), columns


def _bridge_create_table(toks):
    """IDENTITY columns become INTEGER PRIMARY KEY AUTOINCREMENT (which SQLite numbers the
    same way); a separate primary key on that column is dropped; ON [PRIMARY] goes."""
    # Split the column list (depth 1 inside the first parenthesis) into elements.
    try:
        open_at = next(i for i, t in enumerate(toks) if t.text == "(")
    except StopIteration:
        return toks
    depth = 0
    elements = []
    current = []
    close_at = None
    for i in range(open_at, len(toks)):
        t = toks[i]
        if t.text == "(":
            depth += 1
            if depth == 1:
                continue
        elif t.text == ")":
            depth -= 1
            if depth == 0:
                close_at = i
                break
        if depth == 1 and t.text == ",":
            elements.append(current)
            current = []
            continue
        current.append(t)
    if close_at is None:
        return toks
    elements.append(current)
    identity_columns = set()
    bridged = []
    for element in elements:
        words = [t.upper() for t in element]
        if "IDENTITY" in words:
            at = words.index("IDENTITY")
            rest = element[at + 1:]
            if rest and rest[0].text == "(":
                close = next((k for k, t in enumerate(rest) if t.text == ")"), len(rest) - 1)
                rest = rest[close + 1:]
            rest = _drop_primary_key(rest)
            identity_columns.add(identifier(element[0]).lower())
            element = [element[0], _tok("word", "INTEGER PRIMARY KEY AUTOINCREMENT")] + rest
        bridged.append(element)
    kept = []
    for element in bridged:
        words = [t.upper() for t in element]
        if "PRIMARY" in words and identity_columns and words[0] in ("CONSTRAINT", "PRIMARY"):
            inside = [identifier(t).lower() for t in element if t.kind in ("word", "bracket", "dquote")]
            if any(name in identity_columns for name in inside):
                continue
        kept.append(element)
    rebuilt = list(toks[:open_at + 1])
    for k, element in enumerate(kept):
        if k:
            rebuilt.append(_tok("punct", ","))
        rebuilt.extend(element)
    rebuilt.append(toks[close_at])
    # Anything after the column list (ON [PRIMARY], WITH (...)) has no SQLite meaning.
    return rebuilt


def _drop_primary_key(rest):
    out = []
    i = 0
    while i < len(rest):
        if rest[i].upper() == "PRIMARY" and i + 1 < len(rest) and rest[i + 1].upper() == "KEY":
            i += 2
            continue
        out.append(rest[i])
        i += 1
    return out


def split_arguments(tokens):
    """Top-level comma-separated groups of tokens."""
    groups = [[]]
    depth = 0
    for tok in tokens:
        if tok.text == "(":
            depth += 1
        elif tok.text == ")":
            depth -= 1
        if tok.text == "," and depth == 0 and tok.kind == "punct":
            groups.append([])
            continue
        groups[-1].append(tok)
    return [g for g in groups if g] if any(groups) else []
