// The eleven check types: the words each answer shows, which rows offer a
// repair, and the repair flow (do_fix, then do_check again).
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { openPage, closeBrowser, CHECK_TYPES, laterStart } = require('./harness');

test.after(closeBrowser);

const TABLE = {
  registry: ['注册表', '正常', '异常', '修复'],
  host: ['HOST文件', '正常', '异常', '修复'],
  cfca: ['CFCA根证书', '正常', '异常', '修复'],
  level: ['IE安全级别', '正常', '异常', '修复'],
  iehomepage: ['首页锁定', '正常', '异常', '修复'],
  compatibility: ['兼容性站点加入', '已加入', '未加入', '加入'],
  trust: ['网银可信站点', '已加入', '未加入', '加入'],
  cache: ['缓存', '正常', '正常', '清除'],
  connection: ['网络连接', '正常', '异常', null],
  url: ['网银服务', '正常', '异常', null],
  dns: ['DNS解析', '正常', '异常', null],
};

async function rows(page) {
  return page.$$eval('#check_table tr', (trs) => trs.map((tr) => ({
    type: tr.getAttribute('data-type'),
    name: tr.querySelector('.c-name').innerText,
    state: tr.querySelector('.c-state').innerText,
    action: tr.querySelector('.c-action').innerText,
  })));
}

for (const good of [true, false]) {
  test(`every check type shows its ${good ? 'good' : 'bad'} words and the right repair button`, async () => {
    const checks = {};
    CHECK_TYPES.forEach((t) => { checks[t] = good; });
    const p = await openPage(laterStart({ checks, items: [] }));
    try {
      const shown = await rows(p.page);
      assert.deepStrictEqual(shown.map((r) => r.type), CHECK_TYPES, 'rows in the page order');
      for (const r of shown) {
        const [name, goodWord, badWord, fix] = TABLE[r.type];
        assert.strictEqual(r.name, name);
        assert.strictEqual(r.state, good ? goodWord : badWord, r.type);
        // cache is always good and always offers clearing; others only repair what failed
        const expected = r.type === 'cache' ? fix : (good ? '' : (fix || ''));
        assert.strictEqual(r.action, expected, r.type);
      }
      const title = await p.page.textContent('#scan_title');
      assert.strictEqual(title, good ? '您的网银环境正常' : '发现 10 个问题');
      assert.ok(await p.page.isVisible(good ? '.shield.ok' : '.shield.bad'));
      await p.shot(good ? 'checks-all-good' : 'checks-all-bad');
    } finally {
      await p.close();
    }
  });
}

test('a repair runs do_fix and then do_check for its type and shows the new state', async () => {
  const p = await openPage(laterStart({ checks: { registry: false, trust: false }, items: [] }));
  try {
    await p.page.click('#check_registry .fix');
    await p.settle();
    const after = (await p.calls((c) => c.mode === 'asyncallc')).slice(-2).map((c) => [c.name, c.args[0]]);
    assert.deepStrictEqual(after, [['do_fix', 'registry'], ['do_check', 'registry']]);
    assert.strictEqual(await p.page.textContent('#check_registry .c-state'), '正常');
    assert.strictEqual(await p.page.textContent('#check_trust .c-state'), '未加入');
    assert.strictEqual(await p.page.textContent('#scan_title'), '发现 1 个问题');

    await p.page.click('#check_trust .fix');
    await p.settle();
    assert.strictEqual(await p.page.textContent('#check_trust .c-state'), '已加入');
    assert.strictEqual(await p.page.textContent('#scan_title'), '您的网银环境正常');
  } finally {
    await p.close();
  }
});

test('a repair that does not work leaves the row bad; cache clearing always answers good', async () => {
  const p = await openPage(laterStart({ checks: { host: false }, fixes: { host: false }, fixTurnsGood: false, items: [] }));
  try {
    await p.page.click('#check_host .fix');
    await p.settle();
    assert.strictEqual(await p.page.textContent('#check_host .c-state'), '异常');
    assert.match(await p.page.textContent('#status_text'), /HOST文件/);

    await p.page.click('#check_cache .fix');
    await p.settle();
    const last = (await p.calls((c) => c.mode === 'asyncallc')).slice(-2).map((c) => [c.name, c.args[0]]);
    assert.deepStrictEqual(last, [['do_fix', 'cache'], ['do_check', 'cache']]);
    assert.strictEqual(await p.page.textContent('#check_cache .c-state'), '正常');
  } finally {
    await p.close();
  }
});

test('one-click repair fixes every failed type that has a repair and installs what is missing', async () => {
  const s = laterStart({ checks: { registry: false, compatibility: false, dns: false } });
  const p = await openPage(s);
  try {
    assert.strictEqual(await p.page.textContent('#scan_title'), '发现 5 个问题');
    await p.page.click('#btn_fix_all');
    await p.settle();
    const jobs = (await p.calls((c) => c.mode === 'asyncallc' && (c.name === 'do_fix' || c.name === 'do_install')))
      .map((c) => [c.name, c.args[0]]);
    assert.deepStrictEqual(jobs, [['do_fix', 'registry'], ['do_fix', 'compatibility'], ['do_install', 1], ['do_install', 2]]);
    // DNS has no repair: it stays a problem until the network is sorted out
    assert.strictEqual(await p.page.textContent('#scan_title'), '发现 1 个问题');
    assert.strictEqual(await p.page.textContent('#check_dns .c-state'), '异常');
    await p.shot('after-fix-all');
  } finally {
    await p.close();
  }
});

test('answers that cannot be read, or name another type, do not break the list', async () => {
  const p = await openPage(laterStart({ checks: { registry: 'garbage', host: 'none' }, items: [] }));
  try {
    assert.strictEqual(await p.page.textContent('#check_registry .c-state'), '检测失败');
    assert.strictEqual(await p.page.textContent('#check_host .c-state'), '检测失败');
    assert.strictEqual(await p.page.textContent('#check_registry .c-action'), '重试');
    // the retry asks again, and a good answer clears the failure
    await p.page.evaluate(() => { window.__native.scenario.checks.registry = true; });
    await p.page.click('#check_registry .retry');
    await p.settle();
    assert.strictEqual(await p.page.textContent('#check_registry .c-state'), '正常');
    // an answer matched by its own type: a stray answer for an unknown type changes nothing
    await p.page.evaluate(() => {
      window.Zentrava.asyncallc(function () {}, 'noop');
    });
    assert.deepStrictEqual(p.pageErrors, []);
    assert.deepStrictEqual(await p.errors(), []);
  } finally {
    await p.close();
  }
});
