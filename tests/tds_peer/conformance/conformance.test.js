'use strict';
// The protocol test peer driven by an independent TDS client (tedious): login, data types,
// large and long results, packet sizes, row counts, messages, the server's error semantics
// under XACT_ABORT OFF and ON, parameterised requests, transactions and cancel. What the
// engine's end-to-end suites prove against the peer holds only as far as these do.

const assert = require('node:assert/strict');
const { describe, it, before, after } = require('node:test');
const { TYPES } = require('tedious');
const { startPeer, connect, close, run, rows } = require('./peer');

describe('the protocol test peer seen through tedious', () => {
  let peer;
  let conn;

  before(async () => {
    peer = await startPeer();
    conn = await connect(peer.port);
  });
  after(async () => {
    if (conn) await close(conn);
    if (peer) peer.stop();
  });

  it('refuses a wrong password with 18456 and accepts the right one', async () => {
    await assert.rejects(connect(peer.port, { password: 'wrong' }), (err) => {
      assert.equal(err.code, 'ELOGIN');
      assert.match(err.message, /Login failed for user 'sa'\./);
      return true;
    });
    const other = await connect(peer.port);
    assert.deepEqual(rows(await run(other, 'SELECT DB_NAME()')), [['conformance']]);
    await close(other);
  });

  it('returns each column type with its value and NULL', async () => {
    await run(conn, 'CREATE TABLE typed (i INT NOT NULL, b BIGINT, s NVARCHAR(50), f FLOAT, flag BIT, ' +
      'at DATETIME, raw VARBINARY(8), gone NVARCHAR(10))');
    const insert = await run(conn, "INSERT INTO typed VALUES (-7, 9000000000, N'gr\u00fc\u00dfe', 2.5, 1, " +
      "'2024-02-29 13:14:15.500', 0x00FF10, NULL)");
    assert.equal(insert.error, undefined);
    const out = await run(conn, 'SELECT i, b, s, f, flag, at, raw, gone FROM typed');
    assert.equal(out.error, undefined);
    const columns = out.sets[0].columns;
    assert.deepEqual(columns.map((c) => c.type.name),
      ['IntN', 'IntN', 'NVarChar', 'FloatN', 'BitN', 'DateTimeN', 'VarBinary', 'NVarChar']);
    assert.deepEqual(columns.map((c) => c.dataLength), [4, 8, 100, 8, 1, 8, 8, 20]);
    assert.equal(columns[0].flags & 0x01, 0, 'a NOT NULL column is not nullable');
    assert.equal(columns[1].flags & 0x01, 1);
    const [row] = rows(out);
    assert.deepEqual(row.slice(0, 5), [-7, '9000000000', 'gr\u00fc\u00dfe', 2.5, true]);
    assert.equal(row[5].toISOString(), '2024-02-29T13:14:15.500Z');
    assert.deepEqual(row[6], Buffer.from([0x00, 0xff, 0x10]));
    assert.equal(row[7], null);
  });

  it('streams 3,000 rows and an nvarchar(max) value', async () => {
    await run(conn, 'CREATE TABLE many (n INT, label NVARCHAR(MAX))');
    const values = [];
    for (let i = 1; i <= 3000; ++i) values.push(`(${i}, N'row ${i}')`);
    for (let i = 0; i < values.length; i += 500) {
      const out = await run(conn, 'SET NOCOUNT ON\nINSERT INTO many VALUES ' + values.slice(i, i + 500).join(','));
      assert.equal(out.error, undefined);
    }
    const out = await run(conn, 'SET NOCOUNT OFF\nSELECT n, label FROM many ORDER BY n');
    assert.equal(rows(out).length, 3000);
    assert.deepEqual(rows(out)[2999], [3000, 'row 3000']);
    assert.equal(out.rowCount, 3000);

    const long = 'x\u00e9'.repeat(6000);
    await run(conn, `UPDATE many SET label = N'${long}' WHERE n = 1`);
    const big = await run(conn, 'SELECT label FROM many WHERE n = 1');
    assert.equal(big.sets[0].columns[0].dataLength, 0xffff, 'nvarchar(max) travels as a PLP value');
    assert.equal(rows(big)[0][0], long);
  });

  for (const packetSize of [512, 4096, 32767]) {
    it(`carries a large reply with packet size ${packetSize}`, async () => {
      const sized = await connect(peer.port, { packetSize });
      const text = 'abc\u00e7'.repeat(3000);
      const out = await run(sized, `SELECT N'${text}' AS t, 1 AS one UNION ALL SELECT N'short', 2`);
      assert.equal(out.error, undefined);
      assert.deepEqual(rows(out), [[text, 1], ['short', 2]]);
      await close(sized);
    });
  }

  it('counts the rows of each statement and none under NOCOUNT', async () => {
    await run(conn, 'SET NOCOUNT OFF\nCREATE TABLE counted (v INT)');
    const out = await run(conn, 'INSERT INTO counted VALUES (1)\nINSERT INTO counted VALUES (2)\n' +
      'UPDATE counted SET v = v + 1\nSELECT v FROM counted ORDER BY v');
    assert.deepEqual(out.dones.map((d) => d.rowCount), [1, 1, 2, 2]);
    assert.deepEqual(rows(out), [[2], [3]]);
    const quiet = await run(conn, 'SET NOCOUNT ON\nDELETE FROM counted');
    assert.deepEqual(quiet.dones.map((d) => d.rowCount), [undefined]);
    const still = await run(conn, 'INSERT INTO counted VALUES (3)');
    assert.deepEqual(still.dones.map((d) => d.rowCount), [undefined], 'NOCOUNT stays on for the session');
    await run(conn, 'SET NOCOUNT OFF');
  });

  it('delivers PRINT and RAISERROR 10 as messages of class 0 and RAISERROR 16 as an error', async () => {
    const out = await run(conn, "PRINT 'printed'\nRAISERROR('note %d', 10, 1, 5)\nRAISERROR('bad', 16, 2)\nSELECT 1");
    assert.deepEqual(out.infos.map((m) => [m.message, m.class, m.lineNumber]), [['printed', 0, 1], ['note 5', 0, 2]]);
    assert.deepEqual(out.errors.map((m) => [m.number, m.class, m.state, m.lineNumber]), [[50000, 16, 2, 3]]);
    assert.equal(out.error.message, 'bad');
    assert.deepEqual(rows(out), [[1]], 'RAISERROR 16 does not end the batch');
  });

  describe('error semantics', () => {
    before(async () => {
      await run(conn, 'CREATE TABLE keyed (id INT PRIMARY KEY, note NVARCHAR(20))');
    });

    it('runs nothing of a batch with a syntax error', async () => {
      const out = await run(conn, "INSERT INTO keyed VALUES (100, 'x')\nSELECT * FROM keyed WHERE id = = 1");
      assert.equal(out.errors[0].number, 102);
      assert.deepEqual(rows(await run(conn, 'SELECT COUNT(*) FROM keyed WHERE id = 100')), [[0]]);
    });

    it('ends only the failing statement with XACT_ABORT OFF', async () => {
      const out = await run(conn, "SET XACT_ABORT OFF\nBEGIN TRAN\nINSERT INTO keyed VALUES (1, 'one')\n" +
        "INSERT INTO keyed VALUES (1, 'again')\nSELECT @@ERROR, @@TRANCOUNT, XACT_STATE()\n" +
        "INSERT INTO keyed VALUES (2, 'two')\nCOMMIT");
      assert.equal(out.errors[0].number, 2627);
      assert.equal(out.errors[0].class, 14);
      assert.deepEqual(rows(out), [[2627, 1, 1]]);
      assert.deepEqual(rows(await run(conn, 'SELECT id FROM keyed ORDER BY id')), [[1], [2]]);
    });

    it('ends the batch and rolls back with XACT_ABORT ON', async () => {
      const out = await run(conn, "SET XACT_ABORT ON\nBEGIN TRAN\nINSERT INTO keyed VALUES (3, 'three')\n" +
        "INSERT INTO keyed VALUES (1, 'dup')\nPRINT 'never'\nCOMMIT");
      assert.equal(out.errors[0].number, 2627);
      assert.deepEqual(out.infos, []);
      assert.equal(conn.inTransaction, false, 'the rollback was announced');
      assert.deepEqual(rows(await run(conn, 'SELECT COUNT(*), @@TRANCOUNT FROM keyed')), [[2, 0]]);
      await run(conn, 'SET XACT_ABORT OFF');
    });

    it('keeps going after RAISERROR 16 even with XACT_ABORT ON', async () => {
      const out = await run(conn, "SET XACT_ABORT ON\nBEGIN TRAN\nRAISERROR('soft', 16, 1)\n" +
        'SELECT XACT_STATE()\nROLLBACK\nSET XACT_ABORT OFF');
      assert.deepEqual(rows(out), [[1]]);
    });

    it('closes the connection after RAISERROR severity 20 WITH LOG', async () => {
      const victim = await connect(peer.port);
      const ended = new Promise((resolve) => victim.once('end', resolve));
      const out = await run(victim, "RAISERROR('fatal', 20, 1) WITH LOG\nSELECT 1");
      assert.ok(out.errors.some((m) => m.number === 50000 && m.class === 20));
      assert.equal(rows(out), undefined);
      await ended;
    });
  });

  it('runs sp_executesql with typed parameters and gives a datetime back as datetime', async () => {
    const at = new Date(Date.UTC(2023, 11, 31, 23, 59, 58));
    const out = await run(conn, 'SELECT @n + 1 AS n, @s AS s, @d AS d', [
      { name: 'n', type: TYPES.Int, value: 41 },
      { name: 's', type: TYPES.NVarChar, value: "it's; DROP TABLE keyed --" },
      { name: 'd', type: TYPES.DateTime, value: at },
    ]);
    assert.equal(out.error, undefined);
    assert.deepEqual(out.sets[0].columns.map((c) => c.type.name), ['IntN', 'NVarChar', 'DateTimeN']);
    assert.deepEqual(rows(out)[0].slice(0, 2), [42, "it's; DROP TABLE keyed --"]);
    assert.equal(rows(out)[0][2].getTime(), at.getTime());
  });

  it('begins and rolls back transactions by request and in T-SQL', async () => {
    await run(conn, 'CREATE TABLE tx (v INT)');
    await new Promise((resolve, reject) => conn.beginTransaction((err) => (err ? reject(err) : resolve())));
    await run(conn, 'INSERT INTO tx VALUES (1)');
    assert.equal(conn.inTransaction, true);
    await new Promise((resolve, reject) => conn.rollbackTransaction((err) => (err ? reject(err) : resolve())));
    assert.equal(conn.inTransaction, false);

    await run(conn, 'BEGIN TRAN\nINSERT INTO tx VALUES (2)');
    assert.equal(conn.inTransaction, true, 'BEGIN TRAN in a batch is announced too');
    await run(conn, 'ROLLBACK');
    assert.equal(conn.inTransaction, false);
    assert.deepEqual(rows(await run(conn, 'SELECT COUNT(*) FROM tx')), [[0]]);
  });

  it('acknowledges a cancel during WAITFOR within 500 ms and stays usable', async () => {
    const pending = run(conn, "SELECT 1\nWAITFOR DELAY '00:00:30'\nSELECT 2");
    await new Promise((resolve) => setTimeout(resolve, 300));
    const started = process.hrtime.bigint();
    conn.cancel();
    const out = await pending;
    const ms = Number(process.hrtime.bigint() - started) / 1e6;
    assert.equal(out.error.code, 'ECANCEL');
    assert.ok(ms < 500, `acknowledged after ${ms} ms`);
    assert.deepEqual(rows(await run(conn, 'SELECT 42')), [[42]]);
  });
});
