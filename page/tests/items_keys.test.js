// Components from the configuration (status texts, install with progress),
// the USB key (attach, certificate, detach), the certificate-update dialogue
// and the login buttons.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { openPage, closeBrowser, laterStart } = require('./harness');

test.after(closeBrowser);

const CERT = ['0a1b2c3d4e5f', 'CFCA ACS OCA31', '张三', '2024年01月01日到2027年01月01日'];

test('items show their status words and the button that fits', async () => {
  const items = [
    { name: 'A', type: 'ocx', status: 0 }, { name: 'B', type: 'ocx', status: 1 },
    { name: 'C', type: 'ocx', status: 2 }, { name: 'D<b>', type: 'ocx', status: 3 },
  ];
  const p = await openPage(laterStart({ items }));
  try {
    const shown = await p.page.$$eval('#item_table tr', (trs) => trs.map((tr) => [
      tr.querySelector('.c-name').innerText, tr.querySelector('.c-state').innerText, tr.querySelector('.c-action').innerText]));
    assert.deepStrictEqual(shown, [['A', '已安装', ''], ['B', '已禁用', '启用'], ['C', '有升级', '升级'], ['D<b>', '未安装', '安装']]);
    assert.strictEqual(await p.page.$$eval('#item_table b', (b) => b.length), 0, 'names are text, not markup');
  } finally {
    await p.close();
  }
});

test('an install shows its download progress and ends with a fresh do_check of the item', async () => {
  const s = laterStart();
  s.items[1].progress = [0, 30, 60, 100];
  s.progressDelay = 150;
  const p = await openPage(s);
  try {
    const seen = [];
    await p.page.exposeFunction('__sawProgress', (t) => seen.push(t));
    await p.page.evaluate(() => {
      const original = window.setProgress;
      window.setProgress = function (progress, index, ok) {
        original(progress, index, ok);
        window.__sawProgress(document.querySelector('#item_' + index + ' .c-state').innerText);
      };
    });
    await p.page.click('#item_1 .install');
    await p.page.waitForFunction(() => /60%/.test(document.querySelector('#item_1 .c-state').innerText));
    await p.shot('install-progress');
    await p.settle();
    assert.deepStrictEqual(seen, ['正在下载 0%', '正在下载 30%', '正在下载 60%', '正在安装 100%']);
    const jobs = (await p.calls((c) => c.mode === 'asyncallc')).slice(-2).map((c) => [c.name, c.args[0]]);
    assert.deepStrictEqual(jobs, [['do_install', 1], ['do_check', 1]]);
    assert.strictEqual(typeof jobs[0][1], 'number');
    assert.strictEqual(await p.page.textContent('#item_1 .c-state'), '已安装');
    assert.strictEqual(await p.page.textContent('#item_1 .c-action'), '');
  } finally {
    await p.close();
  }
});

test('a failed download is shown and the item stays installable', async () => {
  const s = laterStart();
  s.items[1].progress = [0, [20, false]];
  s.items[1].installTo = 3;
  const p = await openPage(s);
  try {
    await p.page.click('#item_1 .install');
    await p.page.waitForFunction(() => /下载失败/.test(document.querySelector('#item_1 .c-state').innerText));
    await p.shot('install-failed-progress');
    await p.settle();
    assert.strictEqual(await p.page.textContent('#item_1 .c-state'), '未安装（安装失败）');
    assert.strictEqual(await p.page.textContent('#item_1 .c-action'), '安装');
  } finally {
    await p.close();
  }
});

test('an attached key is detected, its provider name read and its certificate shown', async () => {
  const p = await openPage(laterStart({ key: { plugged: true, cert: CERT } }));
  try {
    const q = await p.calls('is_key_connect');
    assert.strictEqual(q.length, 1);
    assert.strictEqual(q[0].mode, 'asyncallc');
    assert.deepStrictEqual(q[0].args.slice(0, 2), ['0x096E0713', 0]);
    const csp = await p.calls('cspname');
    assert.deepStrictEqual(csp[0].args, ['FEITIAN InterPass3000 CSP For HarbeckBank V1.0']);
    await p.page.click('#tab_ukey');
    const card = await p.page.$eval('#key_0', (c) => ({
      sn: c.querySelector('.f-sn').innerText, issuer: c.querySelector('.f-issuer').innerText,
      subject: c.querySelector('.f-subject').innerText, date: c.querySelector('.f-date').innerText,
      state: c.querySelector('.key-state').innerText, plugged: c.className.indexOf('plugged') >= 0,
      cert: c.querySelector('.key-cert').className,
    }));
    assert.deepStrictEqual([card.sn, card.issuer, card.subject, card.date], CERT);
    assert.strictEqual(card.state, '已插入，证书已读取');
    assert.ok(card.plugged);
    assert.ok(!/disabled/.test(card.cert), 'certificate update offered after is_can_Open_update');
    const key = await p.page.evaluate(() => window.Zentrava.keys[0]);
    assert.deepStrictEqual([key.selected, key.plugin, key.type, key.keyid], [true, true, 'FT', '0x096E0713']);
    await p.page.waitForTimeout(250);
    await p.shot('key-attached');

    // detaching: the device-change listener asks again and the key is gone
    await p.page.evaluate(() => window.__native.plugKey(false));
    await p.settle();
    const after = await p.page.$eval('#key_0', (c) => [c.querySelector('.key-state').innerText,
      c.querySelector('.f-sn').innerText, c.querySelector('.key-cert').className]);
    assert.strictEqual(after[0], '未插入');
    assert.strictEqual(after[1], '—');
    assert.match(after[2], /disabled/);
    assert.strictEqual(await p.page.evaluate(() => window.Zentrava.keys[0].selected), false);
  } finally {
    await p.close();
  }
});

test('a later read that finds no certificate withdraws the certificate update', async () => {
  const p = await openPage(laterStart({ key: { plugged: true, cert: CERT } }));
  try {
    await p.page.click('#tab_ukey');
    await p.page.click('#key_0 .key-cert');
    await p.page.waitForSelector('#dlg_cert', { state: 'visible' });
    // the key stays in, but the provider now answers with nothing
    await p.page.evaluate(() => {
      window.__native.scenario.key.cert = ['', '', '', ''];
      window.__native.plugKey(true);
    });
    await p.settle();
    const card = await p.page.$eval('#key_0', (c) => [c.querySelector('.key-state').innerText,
      c.querySelector('.f-sn').innerText, c.querySelector('.key-cert').className]);
    assert.strictEqual(card[0], '已插入');
    assert.strictEqual(card[1], '未读取到证书');
    assert.match(card[2], /disabled/);
    assert.match(await p.page.textContent('#cert_message'), /未能读取网银盾中的证书/);
    assert.match(await p.page.getAttribute('#btn_cert_update', 'class'), /disabled/);
    await p.page.click('#btn_cert_update');
    assert.strictEqual((await p.calls('open_ie')).length, 0);
  } finally {
    await p.close();
  }
});

test('a burst of device changes runs one key query at a time and one more afterwards', async () => {
  const p = await openPage(laterStart({ key: { plugged: true, cert: CERT, delay: 200 } }));
  try {
    const before = (await p.calls('is_key_connect')).length;
    await p.page.evaluate(() => { for (let i = 0; i < 5; i++) window.isAnyKeyConnect(); });
    await p.settle();
    assert.strictEqual((await p.calls('is_key_connect')).length - before, 2);
  } finally {
    await p.close();
  }
});

test('the key driver item lends its own id to the key query', async () => {
  const s = laterStart({ key: { plugged: false } });
  s.items[1].keyid = '0x096E0800';
  const p = await openPage(s);
  try {
    const q = await p.calls('is_key_connect');
    assert.deepStrictEqual(q[0].args.slice(0, 2), ['0x096E0800|0x096E0713', 0]);
  } finally {
    await p.close();
  }
});

test('the certificate dialogue opens the chosen server with the serial number and logs each step', async () => {
  const s = laterStart({ key: { plugged: true, cert: CERT } });
  s.data.per_update_server_url = 'https://cert.example.test/per/update';
  s.data.corp_get_server_url = 'https://cert.example.test/corp/get?x=1';
  s.data.corp_update_server_url = 'javascript:alert(1)';
  const p = await openPage(s);
  try {
    await p.page.click('#tab_ukey');
    await p.page.click('#key_0 .key-cert');
    await p.page.waitForSelector('#dlg_cert', { state: 'visible' });
    await p.page.click('#btn_cert_update');
    await p.page.check('#cert_corp');
    await p.page.click('#btn_cert_get');
    await p.page.click('#btn_cert_update');
    await p.shot('cert-dialog');
    const opened = (await p.calls('open_ie')).map((c) => c.args[0]);
    assert.deepStrictEqual(opened, ['https://cert.example.test/per/update?sn=0a1b2c3d4e5f',
      'https://cert.example.test/corp/get?x=1&sn=0a1b2c3d4e5f']);
    const asked = (await p.calls('get_data')).map((c) => c.args[0]).filter((n) => /server_url/.test(n));
    assert.deepStrictEqual(asked, ['per_update_server_url', 'corp_get_server_url', 'corp_update_server_url']);
    assert.match(await p.page.textContent('#cert_message'), /暂时无法获取证书服务地址/);
    const logs = (await p.calls('set_Log')).map((c) => c.args[0]);
    assert.strictEqual(logs.length, 4);
    assert.ok(logs.every((l) => typeof l === 'string' && /^证书更新：/.test(l)));

    await p.page.click('#dlg_cert .dialog-cancel');
    assert.ok(await p.page.isHidden('#dlg_cert'));
    assert.strictEqual((await p.calls('set_Log')).length, 5);
  } finally {
    await p.close();
  }
});

test('the login buttons open the configured bank addresses and refuse anything else', async () => {
  const s = laterStart();
  s.data.corp_url = 'file:///c:/windows/system32/calc.exe';
  const p = await openPage(s);
  try {
    await p.page.click('#tab_quicklink');
    await p.page.click('#btn_login_person');
    await p.page.click('#btn_login_corp');
    assert.deepStrictEqual((await p.calls('get_data')).map((c) => c.args[0]), ['bank_url', 'corp_url']);
    assert.deepStrictEqual((await p.calls('open_ie')).map((c) => c.args[0]), ['https://ebank.example.test/per/login']);
    const box = await p.calls('messagebox');
    assert.strictEqual(box.length, 1);
    assert.strictEqual(box[0].args[1], 2);
  } finally {
    await p.close();
  }
});

test('an ordinary user is not told to install the key driver', async () => {
  const s = laterStart();
  s.settings.UserType = 0;
  s.items = [s.items[1]];
  const p = await openPage(s);
  try {
    assert.strictEqual(await p.page.textContent('#item_0 .c-state'), '未安装');
    assert.strictEqual(await p.page.textContent('#scan_title'), '您的网银环境正常');
  } finally {
    await p.close();
  }
});
