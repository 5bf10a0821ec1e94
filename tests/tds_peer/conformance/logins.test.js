'use strict';
// 70,000 sequential logins to one peer: more than the 16-bit session-id field can count, so
// the peer must hand out ids that wrap around. Each login is a full PRELOGIN/LOGIN7 exchange
// by tedious followed by a query and a close.

const assert = require('node:assert/strict');
const { it, before, after } = require('node:test');
const { startPeer, connect, close, run, rows } = require('./peer');

const LOGINS = Number(process.env.TDS_PEER_LOGINS || 70000);

let peer;
before(async () => {
  peer = await startPeer();
});
after(() => peer && peer.stop());

it(`accepts ${LOGINS} sequential logins and every session answers`, async () => {
  const started = Date.now();
  const spids = new Set();
  for (let i = 1; i <= LOGINS; ++i) {
    const conn = await connect(peer.port);
    // Every thousandth session and the last ones run a query: the session id is theirs.
    if (i % 1000 === 0 || i > LOGINS - 3) {
      const [[spid]] = rows(await run(conn, 'SELECT @@SPID'));
      assert.ok(spid >= 51 && spid <= 32767, `session id ${spid}`);
      spids.add(spid);
    }
    await close(conn);
  }
  const seconds = (Date.now() - started) / 1000;
  console.log(`${LOGINS} logins in ${seconds.toFixed(1)} s (${((seconds * 1000) / LOGINS).toFixed(2)} ms each)`);
  assert.ok(spids.size > 1);
});
