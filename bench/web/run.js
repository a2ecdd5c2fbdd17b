// The web benches, side by side in one run of headless Chromium: the plain
// putImageData page at 640x480 and 1280x960, the library's frame at 640x480,
// scaled to 1280x960 by the kernels and by a CSS transform, the wasm SIMD
// kernels against the plain ones (in the same build, and in a build
// without SIMD), the copy inside wasm, and the CPU all of the browser's
// processes use while a page runs paced at the animation-frame rate.
//   node bench/web/run.js BUILD_BIN NO_SIMD_BUILD_BIN [--load]
// --load runs two busy loops beside the browser. The pages are isolated
// from other origins, which gives them the finer clock (5 us, not 100).
'use strict';
const fs = require('fs');
const path = require('path');
const {spawn} = require('child_process');
const {serve, launch} = require('../../tests/web/browser');

const [bin, plainBin] = process.argv.slice(2).map((dir) => path.resolve(dir));
const load = process.argv.includes('--load');
const kTicks = 100; // clock ticks a second in /proc

// utime + stime of a process and every one below it, in ticks.
function cpuTicks(root) {
  const stats = fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name)).map((pid) => {
    try {
      const text = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = text.slice(text.lastIndexOf(')') + 2).split(' ');
      return {pid: Number(pid), ppid: Number(fields[1]), ticks: Number(fields[11]) + Number(fields[12])};
    } catch (error) {
      return null;
    }
  }).filter(Boolean);
  const inside = new Set([root]);
  for (let grew = true; grew;) {
    grew = false;
    for (const s of stats)
      if (!inside.has(s.pid) && inside.has(s.ppid)) {
        inside.add(s.pid);
        grew = true;
      }
  }
  return stats.filter((s) => inside.has(s.pid)).reduce((sum, s) => sum + s.ticks, 0);
}

async function page(browser, url, css, pattern) {
  const tab = await browser.newPage();
  await tab.setViewport({width: 1400, height: 1100});
  await tab.evaluateOnNewDocument((css) => {
    document.addEventListener('DOMContentLoaded', () => {
      const style = document.createElement('style');
      style.textContent = `#screen { flex: none; ${css} }`;
      document.head.appendChild(style);
    });
    // The putImageData calls timed, to tell the browser's share of a frame.
    const put = CanvasRenderingContext2D.prototype.putImageData;
    window.putTimes = [];
    CanvasRenderingContext2D.prototype.putImageData = function(...args) {
      const start = performance.now();
      put.apply(this, args);
      window.putTimes.push(performance.now() - start);
    };
    const Image = window.ImageData;
    window.imageTimes = [];
    window.ImageData = function(...args) {
      const start = performance.now();
      const image = new Image(...args);
      window.imageTimes.push(performance.now() - start);
      return image;
    };
  }, css);
  const lines = [];
  tab.on('console', (message) => lines.push(message.text()));
  await tab.goto(url);
  for (const end = Date.now() + 60000; Date.now() < end; await new Promise((r) => setTimeout(r, 100))) {
    const line = lines.find((text) => pattern.test(text));
    if (line) {
      const put = await tab.evaluate(() => {
        const median = (all) => {
          const times = all.slice(30).sort((a, b) => a - b);
          return times.length ? times[times.length >> 1].toFixed(3) : '';
        };
        return `${median(window.putTimes)}, ImageData ${median(window.imageTimes)}`;
      });
      await tab.close();
      return {line, lines, put};
    }
  }
  await tab.close();
  return {line: null, lines};
}

(async () => {
  const busy = load ? [0, 1].map(() => spawn(process.execPath, ['-e', 'for(;;){}'])) : [];
  // Isolated from other origins: performance.now() in 5 us steps.
  const isolated = {'Cross-Origin-Opener-Policy': 'same-origin',
                    'Cross-Origin-Embedder-Policy': 'require-corp'};
  const server = await serve(bin, isolated), plain = await serve(plainBin, isolated);
  const browser = await launch();
  const size640 = 'width: 640px; height: 480px';
  const size1280 = 'width: 1280px; height: 960px';
  const transformed = `${size640}; transform: scale(2); transform-origin: 0 0`;
  const rows = [];
  const frame = async (name, base, query, css) => {
    const {line, lines, put} = await page(browser, `${base}web_bench.html?${query}`, css, /^COPY /);
    const f = lines.find((text) => text.startsWith('FRAME ')), c = line;
    const part = (i) => (f ? f.split(' ')[i] : '');
    rows.push([name, f ? part(1) : 'none', part(2),
               `clear ${part(4)}, present ${part(5)} (putImageData ${put})` +
               `${c ? `, copy ${c.split(' ')[1]}` : ''}`]);
  };
  try {
    for (const [w, h] of [[640, 480], [1280, 960]]) {
      const {line} = await page(browser, `${server.url}plain.html?w=${w}&h=${h}`, '', /^PLAIN /);
      rows.push([`plain putImageData ${w}x${h}`, line ? line.split(' ')[1] : 'none', line ? line.split(' ')[2] : '', '']);
    }
    await frame('library 640x480 (wasm SIMD kernels)', server.url, 'args=300', size640);
    await frame('library 640x480 scaled 2x by the kernels', server.url, 'args=300&LURN_SCALE=integer', size1280);
    await frame('library 640x480 scaled 2x by CSS', server.url, 'args=300', transformed);
    await frame('library 640x480, kernels c (vectorised)', server.url, 'args=300&LURN_KERNEL=c', size640);
    await frame('library 2x by the kernels, kernels c', server.url, 'args=300&LURN_SCALE=integer&LURN_KERNEL=c', size1280);
    await frame('library 640x480, build without SIMD', plain.url, 'args=300', size640);
    await frame('library 2x by the kernels, build without SIMD', plain.url, 'args=300&LURN_SCALE=integer', size1280);
    // Paced CPU: the browser's processes while a page presents every frame.
    for (const [name, url, css] of [
      ['plain page 640x480', `${server.url}plain.html?w=640&h=480&frames=100000`, ''],
      ['library 640x480', `${server.url}web_bench.html?args=100000`, size640],
      ['library 2x by the kernels', `${server.url}web_bench.html?args=100000&LURN_SCALE=integer`, size1280],
      ['library 2x by CSS', `${server.url}web_bench.html?args=100000`, transformed]]) {
      const tab = await browser.newPage();
      await tab.setViewport({width: 1400, height: 1100});
      await tab.evaluateOnNewDocument((css) => {
        document.addEventListener('DOMContentLoaded', () => {
          const style = document.createElement('style');
          style.textContent = `#screen { flex: none; ${css} }`;
          document.head.appendChild(style);
        });
      }, css);
      await tab.goto(url);
      await new Promise((r) => setTimeout(r, 1500));
      const t0 = cpuTicks(browser.process().pid), w0 = Date.now();
      await new Promise((r) => setTimeout(r, 5000));
      const used = (cpuTicks(browser.process().pid) - t0) / kTicks / ((Date.now() - w0) / 1000);
      rows.push([`paced CPU, ${name}`, `${(used * 100).toFixed(1)} % of a core`, '', '']);
      await tab.close();
    }
  } finally {
    await browser.close();
    await server.close();
    await plain.close();
    for (const child of busy) child.kill();
  }
  console.log(`web bench${load ? ', two busy loops beside' : ', idle'} (median ms, p90 ms):`);
  for (const row of rows) console.log(`  ${row[0].padEnd(48)} ${row[1].padStart(8)} ${row[2].padStart(8)} ${row[3]}`);
  for (const dir of [bin, plainBin]) {
    const size = fs.statSync(path.join(dir, 'demo.wasm')).size;
    console.log(`  demo.wasm (${path.basename(path.dirname(dir))}): ${(size / 1024).toFixed(1)} KB`);
  }
})();
