// node screenshot.js DIR PAGE OUT.png [seconds]: serves DIR, opens PAGE in
// headless Chromium, waits, saves a screenshot of the canvas and prints the
// address. With --keep the server stays up (Ctrl+C ends it).
'use strict';
const {serve, launch} = require('./browser');

(async () => {
  const [dir, page, out, seconds = '2'] = process.argv.slice(2);
  const server = await serve(dir);
  const browser = await launch();
  try {
    const tab = await browser.newPage();
    await tab.setViewport({width: 800, height: 640});
    tab.on('console', (message) => console.log(`page: ${message.text()}`));
    await tab.goto(server.url + page);
    await new Promise((done) => setTimeout(done, Number(seconds) * 1000));
    // Within the viewport: capturing beyond it resizes the page, and a
    // resized canvas is blank until the next present.
    await (await tab.$('canvas')).screenshot({path: out, captureBeyondViewport: false});
    console.log(`screenshot: ${out}`);
  } finally {
    await browser.close();
  }
  console.log(`open in a browser: ${server.url}${page}`);
  if (process.argv.includes('--keep')) {
    console.log('serving until Ctrl+C');
    return;
  }
  await server.close();
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
