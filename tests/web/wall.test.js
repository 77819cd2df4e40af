#!/usr/bin/env node
// The monitor wall in a real browser (Debian's chromium, headless), driven
// against a running controller with its remote server switched on.
//
// The script cannot touch the bus or the application itself; whoever starts
// it (a CTest wrapper that runs the application against the simulated bus)
// does those steps when asked, in this line protocol:
//
//   script -> stdout, one line each:
//     info <text>                 a figure or a step, for the log
//     ready-for-alarm <address>   every tile is shown and live; raise an
//                                 alarm on this monitor now, then answer
//     ready-for-restart           stop the application and start it again
//                                 (same address and port), then answer
//     pass                        all checks held; exit status 0
//     fail <reason>               a check failed; exit status 1
//   driver -> stdin, one line each, as the answer to the last request:
//     raised [<epoch ms>]         the alarm is raised in the simulator; with
//                                 the wall-clock time (Date.now() scale) of
//                                 raising it, the latency is counted from
//                                 then, else from reading this line
//     restarted                   the application runs again
//   Any other answer, or none within --answer-timeout-ms, fails the run.
//
// Command line:
//   node wall.test.js --url http://127.0.0.1:PORT/ --monitors 5,6,7
//       [--alarm 6]               monitor to ask an alarm for (default: the
//                                 first of --monitors); 0 skips the step
//       [--no-restart]            skip the restart step
//       [--token T]               expect the page to ask for a token; give T
//       [--screenshot PATH]       the wall at 1280x800, after the checks
//       [--phone-screenshot PATH] the same at 390x844
//       [--alarm-limit-ms 1000]   longest time from raised to a red tile
//       [--reconnect-limit-ms 20000]
//       [--answer-timeout-ms 30000]
//       [--chromium /usr/bin/chromium]
//
// Checks: a tile (data-address) for exactly the listed monitors; the
// connection state on <body data-connected>; the alarm's tile turns
// data-alarm="true" within the limit; after the restart the page notices the
// loss, reconnects by itself and shows every tile again, the alarm still
// red; the page makes no request to any other origin and raises no script
// error.
'use strict';

const path = require('path');
const fs = require('fs');
const readline = require('readline');

function parseArgs(argv) {
  const options = {
    chromium: '/usr/bin/chromium',
    alarmLimitMs: 1000,
    reconnectLimitMs: 20000,
    answerTimeoutMs: 30000,
    restart: true,
  };
  const numbers = { '--alarm-limit-ms': 'alarmLimitMs', '--reconnect-limit-ms': 'reconnectLimitMs', '--answer-timeout-ms': 'answerTimeoutMs' };
  for (let i = 0; i < argv.length; ++i) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length)
        throw new Error(arg + ' needs a value');
      return argv[++i];
    };
    if (arg === '--url') options.url = value();
    else if (arg === '--monitors') options.monitors = value().split(',').filter((s) => s !== '').map(Number);
    else if (arg === '--alarm') options.alarm = Number(value());
    else if (arg === '--no-restart') options.restart = false;
    else if (arg === '--token') options.token = value();
    else if (arg === '--screenshot') options.screenshot = value();
    else if (arg === '--phone-screenshot') options.phoneScreenshot = value();
    else if (arg === '--chromium') options.chromium = value();
    else if (numbers[arg]) options[numbers[arg]] = Number(value());
    else throw new Error('unknown argument ' + arg);
  }
  if (!options.url)
    throw new Error('--url is required');
  if (!options.monitors || options.monitors.some((a) => !Number.isInteger(a) || a < 1 || a > 126))
    throw new Error('--monitors needs bus addresses 1..126, comma-separated');
  if (options.alarm === undefined)
    options.alarm = options.monitors[0];
  return options;
}

const say = (line) => process.stdout.write(line + '\n');

// One answer line from the driver at a time.
const lines = [];
let lineWaiter = null;
readline.createInterface({ input: process.stdin }).on('line', (line) => {
  if (lineWaiter) {
    const w = lineWaiter;
    lineWaiter = null;
    w(line);
  } else {
    lines.push(line);
  }
});

function answer(timeoutMs) {
  if (lines.length)
    return Promise.resolve(lines.shift());
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { lineWaiter = null; reject(new Error('no answer on stdin within ' + timeoutMs + ' ms')); }, timeoutMs);
    lineWaiter = (line) => { clearTimeout(timer); resolve(line); };
  });
}

async function tileAddresses(page) {
  return page.$$eval('#wall .tile', (tiles) => tiles.map((t) => Number(t.dataset.address)).sort((a, b) => a - b));
}

async function waitForTiles(page, wanted, timeoutMs) {
  const sorted = [...wanted].sort((a, b) => a - b);
  try {
    await waitForSorted(page, sorted, timeoutMs);
  } catch (error) {
    const connected = await page.evaluate(() => document.body.dataset.connected);
    throw new Error('after ' + timeoutMs + ' ms: tiles ' + (await tileAddresses(page)).join(',') + ' instead of '
      + sorted.join(',') + ', connected ' + connected);
  }
}

async function waitForSorted(page, sorted, timeoutMs) {
  await page.waitForFunction((list) => {
    const shown = Array.from(document.querySelectorAll('#wall .tile')).map((t) => Number(t.dataset.address)).sort((a, b) => a - b);
    return document.body.dataset.connected === 'true' && JSON.stringify(shown) === JSON.stringify(list);
  }, { timeout: timeoutMs, polling: 50 }, sorted);
}

async function run(options) {
  const puppeteer = require('puppeteer-core');
  const base = new URL(options.url);
  const browser = await puppeteer.launch({
    executablePath: options.chromium,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update'],
  });
  const problems = [];
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 800 });
    page.on('pageerror', (error) => problems.push('script error: ' + error.message));
    page.on('request', (request) => {
      const url = new URL(request.url());
      if (url.protocol !== 'data:' && url.host !== base.host)
        problems.push('request to another origin: ' + url.origin);
    });
    // Every change of the connection state, seen from inside the page, so
    // that a short outage between two looks is not missed.
    await page.evaluateOnNewDocument(() => {
      window.__connectionChanges = [];
      document.addEventListener('DOMContentLoaded', () => {
        new MutationObserver(() => window.__connectionChanges.push(document.body.dataset.connected))
          .observe(document.body, { attributes: true, attributeFilter: ['data-connected'] });
      });
    });

    await page.goto(base.href, { waitUntil: 'domcontentloaded' });
    if (options.token !== undefined) {
      await page.waitForSelector('#token-dialog[open]', { timeout: 10000 });
      say('info the page asked for a token');
      await page.type('#token-input', options.token);
      await page.click('#token-dialog button[type="submit"]');
      const kept = await page.evaluate(() => localStorage.getItem('kelvaro.token'));
      if (kept !== options.token)
        throw new Error('the token was not kept in localStorage');
    }
    let clock = Date.now();
    await waitForTiles(page, options.monitors, 10000);
    say('info ' + options.monitors.length + ' tiles live after ' + (Date.now() - clock) + ' ms');
    const status = await page.$eval('#link', (e) => e.dataset.state);
    if (!['ok', 'portLost', 'busSilent'].includes(status))
      throw new Error('the link element shows no link state: ' + status);

    if (options.alarm) {
      const selector = '#wall .tile[data-address="' + options.alarm + '"]';
      if ((await page.$eval(selector, (t) => t.dataset.alarm)) !== 'false')
        throw new Error('monitor ' + options.alarm + ' is in alarm before it was raised');
      say('ready-for-alarm ' + options.alarm);
      const reply = (await answer(options.answerTimeoutMs)).trim().split(/\s+/);
      if (reply[0] !== 'raised')
        throw new Error('expected "raised", got "' + reply.join(' ') + '"');
      const raisedAt = reply[1] ? Number(reply[1]) : Date.now();
      await page.waitForSelector(selector + '[data-alarm="true"]', { timeout: options.alarmLimitMs + 5000 })
        .catch(() => { throw new Error('monitor ' + options.alarm + ' never turned red'); });
      const latency = Date.now() - raisedAt;
      say('info alarm on ' + options.alarm + ' shown red after ' + latency + ' ms');
      if (latency > options.alarmLimitMs)
        throw new Error('the alarm took ' + latency + ' ms to show, more than ' + options.alarmLimitMs);
      const alarming = await page.$eval('#count-alarming .n', (e) => Number(e.textContent));
      if (!(alarming >= 1))
        throw new Error('the alarming count reads ' + alarming);
    }

    if (options.restart) {
      await page.evaluate(() => { window.__connectionChanges = []; });
      say('ready-for-restart');
      const reply = (await answer(options.answerTimeoutMs)).trim();
      if (reply !== 'restarted')
        throw new Error('expected "restarted", got "' + reply + '"');
      clock = Date.now();
      await page.waitForFunction(() => window.__connectionChanges.includes('false'), { timeout: options.reconnectLimitMs, polling: 50 })
        .catch(() => { throw new Error('the page did not notice the restart within ' + options.reconnectLimitMs + ' ms'); });
      await waitForTiles(page, options.monitors, options.reconnectLimitMs);
      say('info reconnected and re-read ' + options.monitors.length + ' tiles ' + (Date.now() - clock) + ' ms after the restart');
      if (options.alarm) {
        const selector = '#wall .tile[data-address="' + options.alarm + '"][data-alarm="true"]';
        await page.waitForSelector(selector, { timeout: 5000 })
          .catch(() => { throw new Error('monitor ' + options.alarm + ' is no longer red after the restart'); });
      }
    }

    const shown = await tileAddresses(page);
    const wanted = [...options.monitors].sort((a, b) => a - b);
    if (JSON.stringify(shown) !== JSON.stringify(wanted))
      throw new Error('tiles ' + shown.join(',') + ' instead of ' + wanted.join(','));

    if (options.screenshot) {
      fs.mkdirSync(path.dirname(path.resolve(options.screenshot)), { recursive: true });
      await page.screenshot({ path: options.screenshot });
      say('info screenshot ' + options.screenshot);
    }
    if (options.phoneScreenshot) {
      await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
      await new Promise((resolve) => setTimeout(resolve, 200));
      fs.mkdirSync(path.dirname(path.resolve(options.phoneScreenshot)), { recursive: true });
      await page.screenshot({ path: options.phoneScreenshot, fullPage: true });
      say('info screenshot ' + options.phoneScreenshot);
    }
    if (problems.length)
      throw new Error(problems.join('; '));
  } finally {
    await browser.close();
  }
}

let options;
try {
  options = parseArgs(process.argv.slice(2));
} catch (error) {
  say('fail ' + error.message);
  process.exit(2);
}
run(options).then(() => {
  say('pass');
  process.exit(0);
}, (error) => {
  say('fail ' + String(error && error.message || error).replace(/\s+/g, ' '));
  process.exit(1);
});
