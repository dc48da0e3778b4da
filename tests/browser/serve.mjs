// qms serve on a free port (or `port`) in `cwd`: its address, write token
// (none when read-only), log and a stop(); it fails when the server does
// not start within 30 s.
import {spawn} from 'node:child_process';

export async function startServer(qms, cwd, args = [], port = 0) {
  const server = spawn(qms, ['serve', '--port', String(port), ...args],
      {cwd, stdio: ['ignore', 'pipe', 'pipe']});
  const log = [];
  const ended = new Promise((resolve) => server.on('exit', (code, signal) => resolve(code ?? signal)));
  server.stderr.on('data', (d) => log.push(String(d)));
  const [base, token] = await new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', (d) => {
      out += d;
      // A read-only server prints no token.
      const m = out.match(args.includes('--read-only') ? /(http:\/\/127\.0\.0\.1:\d+\/)[^\n]*\n/
        : /(http:\/\/127\.0\.0\.1:\d+\/)[^\n]*\nwrite token: (\w+)\n/);
      if (m) resolve([m[1], m[2]]);
    });
    ended.then(() => reject(new Error(`qms serve ended: ${log.join('')}`)));
    setTimeout(() => reject(new Error('qms serve did not start within 30 s')), 30000).unref();
  });
  const stop = async () => {
    server.kill('SIGTERM');
    const kill = setTimeout(() => server.kill('SIGKILL'), 10000);
    await ended;
    clearTimeout(kill);
  };
  return {base, token, log, ended, stop};
}
