// The web tests: the end-to-end client (tests/e2e/e2e_client.cpp) in a page
// of its own per scenario, in headless Chromium, its lines read from the
// console. Prints each check's expected and actual value, then
// "N passed, N failed". node run.js BUILD_DIR [scenario name filter]
'use strict';
const path = require('path');
const {serve, launch} = require('./browser');

const root = path.resolve(process.argv[2] || 'build/web/bin');
const only = process.argv[3] || '';
let passed = 0, failed = 0;

function check(name, ok, expected, actual) {
  if (ok) ++passed;
  else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${name}: expected ${expected}, got ${actual}`);
}
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// A page running the client: its lines, and waits on them that never hang.
async function open(browser, url, {args = '', env = {}, dpr = 1, css = [640, 480]} = {}) {
  const page = await browser.newPage();
  await page.setViewport({width: 800, height: 600, deviceScaleFactor: dpr});
  await page.evaluateOnNewDocument((w, h) => {
    document.addEventListener('DOMContentLoaded', () => {
      const style = document.createElement('style');
      style.textContent = `#screen { flex: none; width: ${w}px; height: ${h}px }`;
      document.head.appendChild(style);
    });
  }, css[0], css[1]);
  const lines = [];
  page.on('console', (message) => lines.push(message.text()));
  const query = new URLSearchParams({args, ...env});
  await page.goto(`${url}e2e_client.html?${query}`);
  const wait = async (pattern, ms = 8000) => {
    for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
      const line = lines.find((text) => pattern.test(text));
      if (line !== undefined) return line;
    }
    return null;
  };
  const sum = (pattern) => lines.reduce((total, text) => {
    const match = pattern.exec(text);
    return total + (match ? Number(match[1]) : 0);
  }, 0);
  const frames = () => {
    const last = lines.filter((text) => text.startsWith('STATUS ')).pop();
    return last ? Number(last.split(' ')[1]) : 0;
  };
  return {page, lines, wait, sum, frames};
}

// The picture's place in a canvas of `width` x `height` device pixels, as
// each scale mode puts a `w` x `h` picture (all cases here fit whole).
function place(mode, width, height, w, h) {
  if (mode === 'stretch') return {x: 0, y: 0, w: width, h: height};
  let scale = Math.min(width / w, height / h);
  if (mode === 'integer') scale = Math.floor(scale);
  const pw = Math.round(w * scale), ph = Math.round(h * scale);
  return {x: (width - pw) >> 1, y: (height - ph) >> 1, w: pw, h: ph};
}

const pictures = [
  {desktop: '565', scale: 'integer', dpr: 1, css: [700, 480]},
  {desktop: '555', scale: 'integer', dpr: 1.5, css: [640, 480]},
  {desktop: '565', scale: 'stretch', dpr: 1.5, css: [640, 480]},
  {desktop: '555', scale: 'aspect', dpr: 1, css: [700, 480]},
  {desktop: '565', scale: 'integer', dpr: 1.25, css: [512, 384]},
  {desktop: '555', scale: 'integer', dpr: 2, css: [660, 500]},
  // 1x: line by line beside a letterbox, and the whole frame as one row.
  {desktop: '565', scale: 'integer', dpr: 1, css: [400, 300]},
  {desktop: '555', scale: 'stretch', dpr: 1, css: [320, 240]},
  // The plain kernels, which the SIMD ones must match byte for byte.
  {desktop: '565', scale: 'integer', dpr: 1, css: [700, 480], kernel: 'c'},
];

const scenarios = {
  // Every pixel of the canvas: the pattern scaled, black around it; and the
  // pointer exact at the picture's corners and off it past the letterbox.
  async picture(browser, url) {
    for (const c of pictures) {
      const name = `picture ${c.desktop} ${c.scale} dpr ${c.dpr} ${c.css.join('x')}` +
                   (c.kernel ? ` kernels ${c.kernel}` : '');
      const env = {LURN_STANDIN_DESKTOP: c.desktop, LURN_SCALE: c.scale};
      if (c.kernel) env.LURN_KERNEL = c.kernel;
      const run = await open(browser, url, {
        args: '--pattern --input --seconds 20', dpr: c.dpr, css: c.css, env,
      });
      const layout = await run.wait(/^LAYOUT /);
      await run.wait(/^STATUS /);
      const greenBits = layout ? Number(layout.split(' ')[2]) : 0;
      const result = await run.page.evaluate((mode, greenBits, placeSource) => {
        const placed = new Function(`return ${placeSource}`)();
        const canvas = document.getElementById('screen');
        const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        const p = placed(mode, canvas.width, canvas.height, 320, 240);
        let wrong = 0, first = '';
        for (let y = 0; y < canvas.height; ++y)
          for (let x = 0; x < canvas.width; ++x) {
            let want = [0, 0, 0];
            if (x >= p.x && x < p.x + p.w && y >= p.y && y < p.y + p.h) {
              const sx = Math.floor((x - p.x) * 320 / p.w), sy = Math.floor((y - p.y) * 240 / p.h);
              // The client's --pattern, each channel widened as a present
              // widens it: its field's top bits repeated below.
              const w = (v, b) => { const f = v >> (8 - b); return (f << (8 - b)) | (f >> (2 * b - 8)); };
              want = [w(sx * 8 & 255, 5), w(sy * 4 & 255, greenBits), w((sx + sy) * 8 & 255, 5)];
            }
            const i = (y * canvas.width + x) * 4;
            if (data[i] !== want[0] || data[i + 1] !== want[1] || data[i + 2] !== want[2] || data[i + 3] !== 255) {
              if (!wrong++) first = `(${x},${y}) ${data.slice(i, i + 4)} not ${want}`;
            }
          }
        return {size: `${canvas.width}x${canvas.height}`, wrong, first, p};
      }, c.scale, greenBits, place.toString());
      const size = `${Math.round(c.css[0] * c.dpr)}x${Math.round(c.css[1] * c.dpr)}`;
      check(`${name}: canvas in device pixels`, result.size === size, size, result.size);
      check(`${name}: pixels off`, result.wrong === 0, 0, `${result.wrong} ${result.first}`);
      // The pointer at the picture's corners, in CSS pixels.
      const p = result.p, at = (v) => v / c.dpr;
      const corners = [[p.x + p.w / 2, p.y + p.h / 2, '1 160 120'], [p.x, p.y, '1 0 0'],
                       [p.x + p.w - 1, p.y + p.h - 1, '1 319 239']];
      if (p.x > 0) corners.push([p.x - 2, p.y, '0 0 0']);
      for (const [x, y, want] of corners) {
        run.lines.length = 0;
        await run.page.mouse.move(at(x) + 0.5 / c.dpr, at(y) + 0.5 / c.dpr);
        const line = await run.wait(new RegExp(`^CURSOR ${want}$`), 3000);
        check(`${name}: pointer at (${x},${y})`, line !== null, `CURSOR ${want}`,
              run.lines.filter((l) => l.startsWith('CURSOR')).pop());
      }
      await run.page.close();
    }
  },

  // 50 taps between frames a second apart, and 20 clicks: none lost.
  async taps(browser, url) {
    const run = await open(browser, url, {args: '--input --frame-ms 1000 --seconds 20',
                                          env: {E2E_PRESSES: '1'}});
    await run.wait(/^STATUS /);
    await run.page.focus('#screen');
    for (let i = 0; i < 50; ++i) await run.page.keyboard.press('KeyA', {delay: 5});
    for (let i = 0; i < 20; ++i) await run.page.mouse.click(100, 100, {delay: 5});
    const frames = run.frames();
    for (let i = 0; i < 40 && (run.sum(/^PRESSES 30 (\d+)$/) < 50 || run.sum(/^CLICKS 0 (\d+)$/) < 20); ++i)
      await sleep(100);
    if (process.env.DEBUG) console.log(run.lines.join('\n'));
    check('taps between one-a-second frames', run.sum(/^PRESSES 30 (\d+)$/) === 50, 50, run.sum(/^PRESSES 30 (\d+)$/));
    check('clicks', run.sum(/^CLICKS 0 (\d+)$/) === 20, 20, run.sum(/^CLICKS 0 (\d+)$/));
    check('frames stay a second apart', run.frames() - frames <= 4, '<= 4 more', run.frames() - frames);
    await run.page.close();
  },

  // Text from key events, inserted text and an input method; a held
  // Backspace repeats.
  async text(browser, url) {
    const run = await open(browser, url, {args: '--input --seconds 20', env: {E2E_PRESSES: '1'}});
    await run.wait(/^STATUS /);
    await run.page.focus('#screen');
    const cdp = await run.page.target().createCDPSession();
    await run.page.keyboard.type('ab');
    for (const [text, code] of [['é', 'Digit2'], ['ß', 'Minus']]) {
      await cdp.send('Input.dispatchKeyEvent', {type: 'keyDown', key: text, code, text});
      await cdp.send('Input.dispatchKeyEvent', {type: 'keyUp', key: text, code});
    }
    await cdp.send('Input.insertText', {text: '漢😀'});
    await cdp.send('Input.imeSetComposition', {text: 'にほん', selectionStart: 3, selectionEnd: 3});
    await cdp.send('Input.insertText', {text: '日本'});
    const key = {key: 'Backspace', code: 'Backspace', windowsVirtualKeyCode: 8};
    await cdp.send('Input.dispatchKeyEvent', {type: 'rawKeyDown', ...key});
    for (let i = 0; i < 5; ++i)
      await cdp.send('Input.dispatchKeyEvent', {type: 'rawKeyDown', autoRepeat: true, ...key});
    await cdp.send('Input.dispatchKeyEvent', {type: 'keyUp', ...key});
    await sleep(600);
    const text = run.lines.filter((l) => l.startsWith('TEXT ')).map((l) => l.slice(5)).join('');
    check('typed, inserted and composed text', text === 'abéß漢😀日本', 'abéß漢😀日本', text);
    check('held Backspace: one press', run.sum(/^PRESSES 14 (\d+)$/) === 1, 1, run.sum(/^PRESSES 14 (\d+)$/));
    check('held Backspace: strokes repeat', run.sum(/^STROKES 14 (\d+)$/) === 6, 6, run.sum(/^STROKES 14 (\d+)$/));
    await run.page.close();
  },

  // A key held as the page loses the focus and let go elsewhere is up when
  // the focus comes back; the keyboard works again.
  async focus(browser, url) {
    const run = await open(browser, url, {args: '--input --seconds 20'});
    await run.wait(/^STATUS /);
    await run.page.focus('#screen');
    await run.page.keyboard.down('KeyS');
    const down = await run.wait(/^KEY 31 128$/);
    await run.page.evaluate(() => document.activeElement.blur());
    await run.page.keyboard.up('KeyS');
    await sleep(300);
    await run.page.focus('#screen');
    const up = await run.wait(/^KEY 31 0$/);
    check('a key held through a blur is up after it', down !== null && up !== null,
          'KEY 31 128 then KEY 31 0', `${down} then ${up}`);
    await run.page.keyboard.down('KeyD');
    const again = await run.wait(/^KEY 32 128$/);
    check('keys after the focus comes back', again !== null, 'KEY 32 128', again);
    await run.page.close();
  },

  // A hidden tab keeps running, slowly; shown again, the loop resumes.
  async hidden(browser, url) {
    const run = await open(browser, url, {args: '--seconds 30'});
    await run.wait(/^STATUS /);
    const setHidden = (hidden) => run.page.evaluate((hidden) => {
      Object.defineProperty(document, 'hidden', {value: hidden, configurable: true});
      Object.defineProperty(document, 'visibilityState',
                            {value: hidden ? 'hidden' : 'visible', configurable: true});
      document.dispatchEvent(new Event('visibilitychange'));
    }, hidden);
    await setHidden(true);
    await sleep(300);
    const hiddenStart = run.frames();
    await sleep(2000);
    const hiddenFrames = run.frames() - hiddenStart;
    check('hidden: the loop goes on, slowly', hiddenFrames >= 2 && hiddenFrames <= 20, '2 to 20 frames in 2 s', hiddenFrames);
    await setHidden(false);
    await sleep(300);
    const shownStart = run.frames();
    await sleep(1000);
    check('shown again: the loop resumes', run.frames() - shownStart >= 20, '>= 20 frames in 1 s', run.frames() - shownStart);
    await run.page.close();
  },

  // An exclusive display asks for the full screen; a click carries it out;
  // leaving it loses the surfaces, which the client restores.
  async fullscreen(browser, url) {
    const run = await open(browser, url, {args: '--fullscreen --seconds 20'});
    await run.wait(/^STATUS /);
    await run.page.mouse.click(50, 50);
    await sleep(500);
    const after = await run.page.evaluate(() => document.fullscreenElement !== null &&
        document.fullscreenElement.contains(document.getElementById('screen')) &&
        document.activeElement.id === 'lurn-text');
    check('full screen on a click, the canvas in it and focused', after === true, true, after);
    // Esc: the browser leaves the full screen, as a switch away would.
    await run.page.evaluate(() => document.exitFullscreen());
    await sleep(600);
    const status = () => (run.lines.filter((l) => l.startsWith('STATUS ')).pop() || '').split(' ');
    const lost = status();
    check('leaving full screen loses the surfaces', Number(lost[2]) >= 1, '>= 1 failed clear', lost.join(' '));
    await run.page.mouse.click(50, 50);
    await sleep(600);
    const back = status();
    check('a click brings the full screen and the surfaces back',
          Number(back[5]) >= 1 && Number(back[1]) > Number(lost[1]) + 5, '>= 1 restore, frames going',
          back.join(' '));
    await run.page.close();
  },

  // The error box: a dialog with the box's title and text, OK to go on.
  async errorbox(browser, url) {
    const run = await open(browser, url, {args: '--depth 8 --seconds 1'});
    await run.page.waitForSelector('#lurn-dialog', {timeout: 8000}).catch(() => null);
    const shown = await run.page.evaluate(() => {
      const dialog = document.getElementById('lurn-dialog');
      return dialog ? `${dialog.querySelector('h2').textContent}|${dialog.querySelector('p').textContent}|${dialog.open}` : 'none';
    });
    check('error box title and text', /^- DirectX Interface Error -\|DDERR_\w+\|true$/.test(shown),
          '- DirectX Interface Error -|DDERR_...|true', shown);
    const early = await run.wait(/^OPEN 0$/, 500);
    await run.page.click('#lurn-dialog button').catch(() => null);
    const opened = await run.wait(/^OPEN 0$/, 3000);
    check('the call returns after OK, not before', early === null && opened !== null,
          'OPEN 0 after OK only', `${early} before, ${opened} after`);
    await run.page.close();
  },
};

// 1,000 frames with no growth of the wasm memory (run beside the others).
async function memory(browser, url) {
  const run = await open(browser, url, {args: '--seconds 60', env: {LURN_VSYNC: '0'}});
  await run.wait(/^STATUS /);
  const bytes = () => run.page.evaluate(() => wasmMemory.buffer.byteLength);
  const start = run.frames(), before = await bytes();
  for (let i = 0; i < 600 && run.frames() - start < 1000; ++i) await sleep(100);
  const after = await bytes();
  check('1000 frames ran', run.frames() - start >= 1000, '>= 1000', run.frames() - start);
  check('wasm memory after 1000 frames', after === before, before, after);
  await run.page.close();
}

(async () => {
  const server = await serve(root);
  const browser = await launch();
  try {
    const beside = 'memory'.includes(only) ? memory(browser, server.url) : null;
    for (const [name, scenario] of Object.entries(scenarios)) {
      if (!name.includes(only)) continue;
      try {
        await scenario(browser, server.url);
      } catch (error) {
        check(`${name} ran to its end`, false, 'no error', error.message);
      }
    }
    await beside;
  } catch (error) {
    ++failed;
    console.log(`FAIL ${error.stack}`);
  } finally {
    await browser.close();
    await server.close();
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
})();
