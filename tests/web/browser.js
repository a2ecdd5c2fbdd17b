// The web tests' and the demo's shared tools: a static server on loopback
// at a free port, and the system's Chromium, headless, through
// puppeteer-core.
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const kTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
  '.wasm': 'application/wasm', '.png': 'image/png',
};

// Serves `root` on 127.0.0.1 at a free port: {url, close()}. `headers` go
// with every answer.
function serve(root, headers = {}) {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, path.normalize(name).replace(/^([/\\])+/, ''));
    if (!file.startsWith(path.resolve(root)) || !fs.existsSync(file) ||
        !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, {
      'Content-Type': kTypes[path.extname(file)] || 'application/octet-stream',
      'Cache-Control': 'no-store', ...headers,
    });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      close: () => new Promise((done) => server.close(done)),
    }));
  });
}

// Chromium as root in a container: no sandbox, no GPU, nothing fetched.
async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'lurn-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.LURN_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update',
           '--disable-sync', `--user-data-dir=${profile}`],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return browser;
}

module.exports = {serve, launch};
