'use strict';
// Shared by the conformance tests: starts the protocol test peer (../tds_peer.py) on a free
// loopback port with a private state directory, opens tedious connections to it, and runs
// requests as promises that collect what the client saw (rows, column metadata, messages,
// DONE counts). Test instrument only.

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');
const { Connection, Request } = require('tedious');

const USER = 'sa';
const PASSWORD = 'Conf0rmance-p\u00e4ss';
const PEER = path.join(__dirname, '..', 'tds_peer.py');

// Starts a peer; resolves to { port, stop() } once it prints its port (at most 20 s).
function startPeer() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tds-conformance-'));
  const child = spawn('python3', [PEER, '--user', USER, '--password', PASSWORD, '--state-dir', dir], {
    stdio: ['ignore', 'pipe', 'inherit'],
    env: { ...process.env, PYTHONDONTWRITEBYTECODE: '1' },
  });
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('the peer printed no port within 20 s')), 20000);
    child.once('exit', (code) => reject(new Error('the peer ended early with ' + code)));
    readline.createInterface({ input: child.stdout }).once('line', (line) => {
      clearTimeout(timer);
      const port = Number(line.split(' ')[1]);
      resolve({
        port,
        stop() {
          child.removeAllListeners('exit');
          child.kill('SIGTERM');
          fs.rmSync(dir, { recursive: true, force: true });
        },
      });
    });
  });
}

function config(port, options = {}) {
  const { password = PASSWORD, ...rest } = options;
  return {
    server: '127.0.0.1',
    authentication: { type: 'default', options: { userName: USER, password } },
    options: {
      port,
      encrypt: false,
      trustServerCertificate: true,
      database: 'conformance',
      connectTimeout: 10000,
      cancelTimeout: 5000,
      ...rest,
    },
  };
}

// Resolves to an open connection; rejects with the login error.
function connect(port, options) {
  return new Promise((resolve, reject) => {
    const connection = new Connection(config(port, options));
    connection.on('error', () => {});  // a closed socket is reported through the requests
    connection.connect((err) => (err ? reject(err) : resolve(connection)));
  });
}

function close(connection) {
  return new Promise((resolve) => {
    if (connection.closed) return resolve();
    connection.once('end', resolve);
    connection.close();
  });
}

// Runs one batch (execSqlBatch) or, with parameters, one sp_executesql request (execSql).
// Resolves to { error, rowCount, sets, infos, errors, dones } where sets holds
// { columns, rows } per result set; never rejects.
function run(connection, sql, parameters) {
  return new Promise((resolve) => {
    const outcome = { sets: [], infos: [], errors: [], dones: [] };
    const onInfo = (m) => outcome.infos.push(m);
    const onError = (m) => outcome.errors.push(m);
    connection.on('infoMessage', onInfo);
    connection.on('errorMessage', onError);
    const request = new Request(sql, (error, rowCount) => {
      connection.removeListener('infoMessage', onInfo);
      connection.removeListener('errorMessage', onError);
      outcome.error = error;
      outcome.rowCount = rowCount;
      resolve(outcome);
    });
    request.on('columnMetadata', (columns) => outcome.sets.push({ columns, rows: [] }));
    request.on('row', (row) => outcome.sets[outcome.sets.length - 1].rows.push(row.map((c) => c.value)));
    const onDone = (rowCount, more) => outcome.dones.push({ rowCount, more });
    request.on('done', onDone);
    request.on('doneInProc', onDone);
    for (const p of parameters || []) request.addParameter(p.name, p.type, p.value);
    if (parameters) connection.execSql(request);
    else connection.execSqlBatch(request);
    outcome.request = request;
  });
}

// The rows of the only (or the index-th) result set.
function rows(outcome, index = 0) {
  return outcome.sets[index] ? outcome.sets[index].rows : undefined;
}

module.exports = { startPeer, connect, close, run, rows, USER, PASSWORD };
