// Start-up: what the page asks native code for on a first and a later start,
// the extra start-up tabs, the versions and the update interval rule.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { openPage, closeBrowser, CHECK_TYPES, daysAgo, laterStart } = require('./harness');

test.after(closeBrowser);

test('first start saves the form defaults, then loads the configuration and checks everything', async () => {
  const s = laterStart({ settings: {} });
  const p = await openPage(s);
  try {
    const log = await p.calls((c) => c.name !== 'debug_print');
    const names = log.map((c) => c.mode + ' ' + c.name);
    const firstAsync = names.indexOf('asyncallc do_check');
    // synchronous start-up, in order, before anything asynchronous
    assert.deepStrictEqual(names.slice(0, firstAsync), [
      'callc load_settings', 'callc save_settings', 'callc save_settings', 'callc save_settings',
      'callc save_settings', 'callc start_with_boot', 'callc save_settings', 'callc save_settings',
      'callc do_extra_startup', 'callc get_version', 'callc get_version']);
    assert.deepStrictEqual(log[0].args.slice(0, 2), ['IsFirstStart', true]);
    assert.deepStrictEqual(log.filter((c) => c.name === 'get_version').map((c) => c.args[0]), ['ieversion', 'sysversion']);
    assert.deepStrictEqual(log.find((c) => c.name === 'start_with_boot').args[0], true);

    const store = await p.store();
    assert.strictEqual(store.IsFirstStart, 0);
    assert.strictEqual(store.boot_start, 1);
    assert.strictEqual(store.CloseType, 1);
    assert.strictEqual(store.UserType, 1);
    assert.strictEqual(store.update_time, 1);
    assert.match(store.LastTimeUpdate, /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);

    // connection first, then the configuration, then every type and item
    const jobs = log.filter((c) => c.mode === 'asyncallc');
    assert.deepStrictEqual(jobs.slice(0, 2).map((c) => [c.name, c.args[0]]), [['do_check', 'connection'], ['get_config', undefined]]);
    const rest = jobs.slice(2).filter((c) => c.name !== 'is_key_connect');
    assert.deepStrictEqual(rest.map((c) => c.args[0]), CHECK_TYPES.concat([0, 1, 2]));
    assert.ok(rest.every((c) => c.name === 'do_check'));
    assert.strictEqual(log.filter((c) => c.name === 'check_update').length, 0, 'just saved: no update check');
    assert.deepStrictEqual(p.pageErrors, []);
    await p.shot('scan-first-start');
  } finally {
    await p.close();
  }
});

test('a later start loads the settings with their defaults and applies start at logon', async () => {
  const s = laterStart();
  s.settings.boot_start = 0;
  const p = await openPage(s);
  try {
    const loads = (await p.calls('load_settings')).map((c) => c.args.slice(0, 2));
    assert.deepStrictEqual(loads.slice(0, 5), [['IsFirstStart', true], ['boot_start', 1], ['CloseType', 1], ['UserType', 0], ['update_time', 1]]);
    assert.strictEqual(loads[5][0], 'LastTimeUpdate');
    assert.strictEqual(typeof loads[5][1], 'string');
    assert.deepStrictEqual((await p.calls('save_settings')).length, 0);
    assert.deepStrictEqual((await p.calls('start_with_boot')).map((c) => c.args[0]), [false]);
    assert.strictEqual(await p.page.textContent('#ie_version'), 'Internet Explorer 11.0.9600.18376');
    assert.strictEqual(await p.page.textContent('#sys_version'), 'Windows 7');
  } finally {
    await p.close();
  }
});

test('versions the native side cannot tell fall back to the page default', async () => {
  const p = await openPage(laterStart({ versions: {} }));
  try {
    const v = await p.calls('get_version');
    assert.deepStrictEqual(v.map((c) => c.args.slice(0, 2)), [['ieversion', '未知'], ['sysversion', '未知']]);
    assert.strictEqual(await p.page.textContent('#ie_version'), '未知');
    assert.strictEqual(await p.page.textContent('#sys_version'), '未知');
  } finally {
    await p.close();
  }
});

test('do_extra_startup opens its tab; anything else starts on the check', async () => {
  const cases = [['quicklink', 'quicklink'], ['ukey', 'ukey'], ['scan', 'scan'], ['help', 'help'],
    ['Normal', 'scan'], ['UKEY', 'scan'], [undefined, 'scan'], ['constructor', 'scan']];
  for (const [extra, tab] of cases) {
    const s = laterStart({ extra });
    if (extra === undefined) s.extra = null;
    const p = await openPage(s);
    try {
      assert.strictEqual(await p.page.getAttribute('.panel.current', 'id'), 'panel_' + tab, String(extra));
      if (extra === 'quicklink' || extra === 'ukey' || extra === 'help') await p.shot('tab-' + extra);
      assert.deepStrictEqual(p.pageErrors, []);
    } finally {
      await p.close();
    }
  }
});

test('the update check runs after get_config only when its interval has passed', async () => {
  const cases = [
    // days since the last check, update_time, expected
    [0.5, 1, false], [1.5, 1, true], [3, 7, false], [8, 7, true], [20, 30, false], [31, 30, true],
    [40, 0, false], ['garbage', 1, true], [-3, 30, true],
  ];
  for (const [days, every, due] of cases) {
    const s = laterStart();
    s.settings.update_time = every;
    s.settings.LastTimeUpdate = days === 'garbage' ? 'yesterday' : daysAgo(days);
    const p = await openPage(s);
    try {
      const jobs = (await p.calls((c) => c.mode === 'asyncallc')).map((c) => c.name);
      const at = jobs.indexOf('check_update');
      assert.strictEqual(at >= 0, due, `${days} days, every ${every}`);
      if (due) {
        assert.ok(at > jobs.indexOf('get_config'), 'after get_config');
        assert.ok(at < jobs.indexOf('do_check', 2), 'before the full check');
        const call = (await p.calls('check_update'))[0];
        assert.strictEqual(call.args[0], undefined, 'no announcement for the automatic check');
        const stored = (await p.store()).LastTimeUpdate;
        assert.notStrictEqual(stored, s.settings.LastTimeUpdate, 'completion stores the time');
        assert.match(stored, /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
      }
    } finally {
      await p.close();
    }
  }
});

test('the update link asks check_update to announce, and shows the program update progress', async () => {
  const s = laterStart({ updateProgress: [[0, true], [40, true], [100, true]] });
  const p = await openPage(s);
  try {
    // this scripted native side never restarts the program
    await p.page.evaluate(() => { window.Zentrava.page.timing.updateRestartGraceMs = 60000; });
    await p.page.click('#ui_update');
    await p.page.waitForFunction(() => /更新完成/.test(document.getElementById('update_text').innerText));
    await p.settle();
    const calls = await p.calls('check_update');
    assert.strictEqual(calls.length, 1);
    assert.strictEqual(calls[0].args[0], true);
    assert.ok(await p.page.isVisible('#dlg_update'));
    await p.shot('update-done');

    await p.page.evaluate(() => { window.setProgress(30, -1, true); });
    assert.match(await p.page.textContent('#update_text'), /正在下载更新… 30%/);
    await p.page.evaluate(() => { window.setProgress(30, -1, false); });
    assert.match(await p.page.textContent('#update_text'), /更新失败/);
  } finally {
    await p.close();
  }
});

test('an update run that ends without restarting leaves a dialogue the user can close', async () => {
  // the last report was 40 %: a later failure (a repair after the download) reports nothing
  const s = laterStart({ updateProgress: [[0, true], [40, true]] });
  const p = await openPage(s);
  try {
    await p.page.evaluate(() => { window.Zentrava.page.timing.updateRestartGraceMs = 100; });
    await p.page.click('#ui_update');
    await p.page.waitForFunction(() => /40%/.test(document.getElementById('update_text').innerText));
    assert.ok(await p.page.isHidden('#btn_update_close'), 'no closing while the download runs');
    await p.page.waitForFunction(() => /更新未能完成/.test(document.getElementById('update_text').innerText));
    await p.page.click('#btn_update_close');
    assert.ok(await p.page.isHidden('#dlg_update'));
    assert.ok(await p.page.isHidden('#mask'));
  } finally {
    await p.close();
  }
});

test('title bar buttons call mini_size and quit; the settings dialogue saves the four choices', async () => {
  const p = await openPage(laterStart());
  try {
    await p.page.click('#ui_mini');
    await p.page.click('#ui_quit');
    const names = (await p.calls((c) => c.mode === 'callc')).map((c) => c.name);
    assert.ok(names.includes('mini_size') && names.includes('quit'));

    await p.page.click('#ui_setting');
    await p.page.waitForSelector('#dlg_settings', { state: 'visible' });
    await p.shot('settings');
    await p.page.uncheck('#set_boot_start');
    await p.page.check('#set_close_exit');
    await p.page.check('#set_user_plain');
    await p.page.check('#set_update_30');
    await p.page.click('#btn_settings_ok');
    const store = await p.store();
    assert.deepStrictEqual([store.boot_start, store.CloseType, store.UserType, store.update_time], [0, 0, 0, 30]);
    const boots = (await p.calls('start_with_boot')).map((c) => c.args[0]);
    assert.deepStrictEqual(boots, [true, false]);
    assert.ok(await p.page.isHidden('#dlg_settings'));
  } finally {
    await p.close();
  }
});
