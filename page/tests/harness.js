// Loads the staged page in headless Chromium with a scripted window.external
// that behaves like the assistant's native side: callc answers at once;
// asyncallc jobs run one at a time in submission order, may call page
// functions while they run, and end with completion.call(completion, result);
// asyncalld jobs run on their own. Values follow the script bridge's rules
// (settings come back in the type of their default, booleans are stored as
// -1 and 0, a non-integer number is no item index).
'use strict';
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

const SITE = path.join(__dirname, '..', 'test-results', 'site');
const SHOTS = path.join(__dirname, '..', 'test-results', 'screenshots');
const CHROMIUM = process.env.CHROMIUM_PATH || '/usr/bin/chromium';

let browserPromise = null;

function browser() {
  if (!browserPromise) {
    browserPromise = chromium.launch({
      executablePath: CHROMIUM,
      headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync'],
    });
  }
  return browserPromise;
}

async function closeBrowser() {
  if (browserPromise) {
    const b = await browserPromise;
    browserPromise = null;
    await b.close();
  }
}

// Everything below runs inside the page, before the page's own scripts.
function installNative(scenario) {
  const s = scenario;
  const log = [];
  const errors = [];
  const store = Object.assign({}, s.settings || {});
  const counts = {};
  const queue = [];
  let workerBusy = false;
  const keyState = { plugged: !!(s.key && s.key.plugged) };

  function record(mode, name, args) {
    log.push({ mode, name, args: args.map((a) => (typeof a === 'function' ? '<function>' : a)) });
  }
  function errorBox(text) {
    log.push({ mode: 'native', name: 'error_box', args: [text] });
  }
  function isInt(v) {
    return typeof v === 'number' && Math.floor(v) === v && Math.abs(v) < 2147483648;
  }
  function nth(name) {
    counts[name] = (counts[name] || 0) + 1;
    return counts[name] - 1;
  }
  // scenario values may be a single answer or a list taken one per call
  function pick(value, n) {
    if (Array.isArray(value)) return value[Math.min(n, value.length - 1)];
    return value;
  }
  function page(fn, ...args) {
    try {
      if (typeof window[fn] !== 'function') return undefined;
      return window[fn](...args);
    } catch (e) {
      errors.push(fn + ': ' + e.message);
      return undefined;
    }
  }
  function typeAnswer(type, ok) {
    return '{ "type" : "' + type + '", "result" : ' + (ok ? 'true' : 'false') + '}';
  }
  function indexAnswer(i, st) {
    return '{ "index" : ' + i + ', "result" : ' + st + '}';
  }
  function checkCommand(name, a1) {
    if (typeof a1 === 'string') {
      const table = name === 'do_check' ? (s.checks || {}) : (s.fixes || {});
      const key = name + ':' + a1;
      const v = table.hasOwnProperty(a1) ? pick(table[a1], nth(key)) : (name === 'do_check' ? true : true);
      if (v === 'garbage') return 'not json';
      if (v === 'none') return undefined;
      if (name !== 'do_check' && s.fixTurnsGood !== false) {
        // a repair that worked makes the next check pass
        s.checks = s.checks || {};
        s.checks[a1] = true;
      }
      return typeAnswer(a1, v);
    }
    if (!isInt(a1) || a1 < 0 || a1 >= (s.items || []).length) return undefined;
    const item = s.items[a1];
    if (name === 'do_check') return indexAnswer(a1, pick(item.status, nth('status:' + a1)));
    return null; // install: handled asynchronously
  }

  const commands = {
    do_extra_startup: () => (s.extra === undefined ? 'Normal' : s.extra),
    get_version: (a1) => (s.versions || {})[a1],
    load_settings: (a1, a2) => {
      if (typeof a1 !== 'string') { errorBox('load_settings第2个参数应该为String类型！'); return undefined; }
      const has = Object.prototype.hasOwnProperty.call(store, a1);
      if (isInt(a2)) return has && isInt(store[a1]) ? store[a1] : a2;
      if (typeof a2 === 'string') return has && typeof store[a1] === 'string' ? store[a1] : a2;
      if (typeof a2 === 'boolean') {
        const v = has && isInt(store[a1]) ? store[a1] : (a2 ? -1 : 0);
        return (v & 0xffff) !== 0;
      }
      errorBox('load_settings第3个参数使用了不支持的类型！');
      return undefined;
    },
    save_settings: (a1, a2) => {
      if (typeof a1 !== 'string') { errorBox('save_settings第2个参数应该为String类型！'); return undefined; }
      if (isInt(a2) || typeof a2 === 'string') store[a1] = a2;
      else if (typeof a2 === 'boolean') store[a1] = a2 ? -1 : 0;
      else errorBox('save_settings第3个参数使用了不支持的类型！');
      return undefined;
    },
    get_data: (a1) => (typeof a1 === 'string' ? ((s.data || {})[a1] || '') : undefined),
  };

  const asyncCommands = {
    get_config: (args, done) => {
      (s.items || []).forEach((item, i) => {
        ['name', 'type', 'keyid', 'flag'].forEach((n) => page('setItemInfo', i, n, item[n] || ''));
      });
      page('isAnyKeyConnect');
      done(undefined);
    },
    do_check: (args, done) => done(checkCommand('do_check', args[0])),
    do_fix: (args, done) => done(checkCommand('do_fix', args[0])),
    do_install: (args, done) => {
      const i = args[0];
      if (typeof i === 'string') { done(checkCommand('do_install', i)); return; }
      if (!isInt(i) || i < 0 || i >= (s.items || []).length) { done(undefined); return; }
      const item = s.items[i];
      const steps = item.progress || [0, 50, 100];
      let n = 0;
      (function step() {
        if (n < steps.length) {
          const p = steps[n++];
          page('setProgress', Array.isArray(p) ? p[0] : p, i, Array.isArray(p) ? p[1] : true);
          setTimeout(step, s.progressDelay || 20);
          return;
        }
        if (item.installTo !== undefined) item.status = item.installTo;
        done(indexAnswer(i, pick(item.status, 0)));
      })();
    },
    is_key_connect: (args, done) => {
      const k = args[1];
      if (!keyState.plugged) {
        page('setKeyInfo', k, 'plugin', false);
        done(false);
        return;
      }
      page('setKeyInfo', k, 'selected', true);
      page('setKeyInfo', k, 'plugin', true);
      const csp = page('getKeyInfo', k, 'cspname');
      log.push({ mode: 'native', name: 'cspname', args: [csp] });
      setTimeout(() => {
        const c = (s.key && s.key.cert) || ['', '', '', ''];
        ['sn', 'issuer', 'subject', 'date'].forEach((n, j) => page('setKeyInfo', k, n, c[j] || ''));
        if (c.length === 4 && c[0]) page('is_can_Open_update');
        done(true);
      }, (s.key && s.key.delay) || 50);
    },
    check_update: (args, done) => {
      const steps = s.updateProgress || [];
      let n = 0;
      (function step() {
        if (n < steps.length) {
          const p = steps[n++];
          page('setProgress', p[0], -1, p[1]);
          setTimeout(step, 20);
          return;
        }
        done(undefined);
      })();
    },
  };

  function run(job) {
    const fn = asyncCommands[job.name] || ((args, done) => done(commands[job.name] ? commands[job.name](...args) : undefined));
    return new Promise((resolve) => fn(job.args, resolve));
  }
  function deliver(job, result) {
    if (job.completion && typeof job.completion === 'function') {
      try {
        job.completion.call(job.completion, result);
      } catch (e) {
        errors.push('completion of ' + job.name + ': ' + e.message);
      }
    }
  }
  function pump() {
    if (workerBusy || !queue.length) return;
    workerBusy = true;
    const job = queue.shift();
    setTimeout(async () => {
      const result = await run(job);
      deliver(job, result);
      workerBusy = false;
      pump();
    }, s.jobDelay || 5);
  }

  const external = {
    callc(name, a1, a2, a3, a4) {
      const args = [a1, a2, a3, a4];
      record('callc', name, args);
      return commands[name] ? commands[name](...args) : undefined;
    },
    asyncallc(completion, name, a1, a2, a3, a4) {
      const args = [a1, a2, a3, a4];
      record('asyncallc', name, args);
      queue.push({ completion, name, args });
      pump();
    },
    asyncalld(completion, name, a1, a2, a3, a4) {
      const args = [a1, a2, a3, a4];
      record('asyncalld', name, args);
      const job = { completion, name, args };
      setTimeout(async () => deliver(job, await run(job)), 5);
    },
  };
  Object.defineProperty(window, 'external', { value: external, configurable: true });
  window.__native = {
    log, errors, store, scenario: s,
    idle: () => !workerBusy && queue.length === 0,
    plugKey(plugged) {
      keyState.plugged = plugged;
      page('isAnyKeyConnect'); // what the device-change listener does
    },
  };
}

async function openPage(scenario, options = {}) {
  const b = await browser();
  const context = await b.newContext({ viewport: { width: 780, height: 560 }, locale: 'zh-CN' });
  const page = await context.newPage();
  const pageErrors = [];
  page.on('pageerror', (e) => pageErrors.push(String(e)));
  if (options.native !== false) await page.addInitScript(installNative, scenario);
  await page.goto('file://' + path.join(SITE, 'main.html'));
  if (options.settle !== false) await settle(page);
  return {
    page,
    pageErrors,
    async close() { await context.close(); },
    calls: (filter) => callLog(page, filter),
    errors: () => page.evaluate(() => window.__native.errors.slice()),
    store: () => page.evaluate(() => Object.assign({}, window.__native.store)),
    settle: () => settle(page),
    shot: (name) => screenshot(page, name),
  };
}

// Waits until the native worker has nothing left and the page is quiet.
async function settle(page) {
  await page.waitForFunction(() => window.__native && window.__native.idle(), null, { timeout: 15000 });
  await page.waitForTimeout(60);
  await page.waitForFunction(() => window.__native.idle(), null, { timeout: 15000 });
}

async function callLog(page, filter) {
  const log = await page.evaluate(() => window.__native.log.slice());
  return filter ? log.filter((c) => (typeof filter === 'string' ? c.name === filter : filter(c))) : log;
}

async function screenshot(page, name) {
  fs.mkdirSync(SHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SHOTS, name + '.png') });
}

const CHECK_TYPES = ['registry', 'host', 'cfca', 'level', 'iehomepage', 'compatibility', 'trust', 'cache',
  'connection', 'url', 'dns'];

function daysAgo(days) {
  const d = new Date(Date.now() - days * 86400000);
  const p = (n) => (n < 10 ? '0' + n : String(n));
  return d.getFullYear() + '-' + p(d.getMonth() + 1) + '-' + p(d.getDate()) + ' ' +
    p(d.getHours()) + ':' + p(d.getMinutes()) + ':' + p(d.getSeconds());
}

const ITEMS = [
  { name: '网银安全控件', type: 'ocx', keyid: '', flag: '', status: 0 },
  { name: '飞天网银盾驱动', type: 'key', keyid: '0x096E0713', flag: 'FT', status: 3, installTo: 0 },
  { name: '密码输入控件', type: 'ocx', keyid: '', flag: '', status: 2, installTo: 0 },
];

// A user who has run the assistant before, checked for updates today.
function laterStart(extra) {
  return Object.assign({
    settings: { IsFirstStart: 0, boot_start: 1, CloseType: 1, UserType: 1, update_time: 7, LastTimeUpdate: daysAgo(0.1) },
    versions: { ieversion: '11.0.9600.18376', sysversion: 'Windows 7' },
    items: JSON.parse(JSON.stringify(ITEMS)),
    data: { bank_url: 'https://ebank.example.test/per/login', corp_url: 'https://ebank.example.test/corp/login' },
  }, extra || {});
}

module.exports = { openPage, closeBrowser, CHECK_TYPES, ITEMS, daysAgo, laterStart };
