// node run_page.js DIR PAGE [seconds]: serves DIR, runs PAGE (a lurn page
// template's) in headless Chromium until the program exits, prints what it
// printed and ends with its exit code; 1 when it runs past the time.
'use strict';
const {serve, launch} = require('./browser');

(async () => {
  const [dir, page, seconds = '30'] = process.argv.slice(2);
  const server = await serve(dir);
  const browser = await launch();
  let code = 1;
  try {
    const tab = await browser.newPage();
    tab.on('console', (message) => console.log(message.text()));
    await tab.goto(server.url + page);
    await tab.waitForFunction(() => document.body.dataset.exitCode !== undefined,
                              {timeout: Number(seconds) * 1000, polling: 100});
    const said = await tab.evaluate(() => document.body.dataset.exitCode);
    code = said === '0' ? 0 : 1;
    if (code !== 0) console.log(`exit code ${said}`);
  } catch (error) {
    console.log(`${page}: ${error.message}`);
  } finally {
    await browser.close();
    await server.close();
  }
  process.exit(code);
})();
