// Page functions called by native code with values the page does not expect
// must neither throw nor corrupt the page's lists, and the page must keep
// working afterwards.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { openPage, closeBrowser, laterStart } = require('./harness');

test.after(closeBrowser);

test('unexpected arguments to the page functions are ignored', async () => {
  const p = await openPage(laterStart());
  try {
    const result = await p.page.evaluate(() => {
      const threw = [];
      const calls = [
        () => window.setItemInfo(),
        () => window.setItemInfo('x', 'name', 'v'),
        () => window.setItemInfo(-1, 'name', 'v'),
        () => window.setItemInfo(1.5, 'name', 'v'),
        () => window.setItemInfo(1e9, 'name', 'v'),
        () => window.setItemInfo(0, '__proto__', 'v'),
        () => window.setItemInfo(0, 'status', 'v'),
        () => window.setItemInfo(0, 5, {}),
        () => window.setItemInfo(0, 'name', null),
        () => window.setProgress(),
        () => window.setProgress('abc', 0, true),
        () => window.setProgress(50, 99, true),
        () => window.setProgress(50, {}, true),
        () => window.setProgress(Infinity, 0, true),
        () => window.setKeyInfo(),
        () => window.setKeyInfo(7, 'sn', 'x'),
        () => window.setKeyInfo(0, 'cspname', 'evil'),
        () => window.setKeyInfo(0, 'keyid', '0'),
        () => window.setKeyInfo(0, {}, 'x'),
        () => window.getKeyInfo(),
        () => window.getKeyInfo(3, 'cspname'),
        () => window.getKeyInfo(0, 'busy'),
        () => window.getKeyInfo(0, 'toString'),
        () => window.isAnyKeyConnect(1, 2, 3),
        () => window.is_can_Open_update('x'),
      ];
      const answers = [];
      calls.forEach((c) => {
        try { answers.push(c()); } catch (e) { threw.push(String(e)); }
      });
      return { threw, answers, items: window.Zentrava.items, key: window.Zentrava.keys[0] };
    });
    assert.deepStrictEqual(result.threw, []);
    assert.strictEqual(result.items.length, 3, 'no item made up from a stray index');
    assert.strictEqual(result.items[0].name, '', 'a null value is an empty text');
    assert.strictEqual(result.key.cspname, 'FEITIAN InterPass3000 CSP For HarbeckBank V1.0');
    assert.strictEqual(result.key.keyid, '0x096E0713');
    // getKeyInfo always answers with a string
    assert.deepStrictEqual(result.answers.slice(19, 23), ['', '', '', '']);
    await p.settle();

    // and the page still works
    await p.page.click('#btn_check');
    await p.settle();
    assert.strictEqual(await p.page.textContent('#scan_title'), '发现 2 个问题');
    assert.deepStrictEqual(p.pageErrors, []);
    assert.deepStrictEqual(await p.errors(), []);
  } finally {
    await p.close();
  }
});

test('string indexes and string progress values from a script caller are understood', async () => {
  const p = await openPage(laterStart());
  try {
    const r = await p.page.evaluate(() => {
      window.setKeyInfo('0', 'sn', 'abc');
      window.setKeyInfo(0, 'plugin', 'true');
      return [window.getKeyInfo('0', 'sn'), window.Zentrava.keys[0].plugin];
    });
    assert.deepStrictEqual(r, ['abc', true]);
  } finally {
    await p.close();
  }
});

test('a page without a native side still shows itself', async () => {
  const p = await openPage({}, { settle: false, native: false });
  try {
    await p.page.waitForTimeout(300);
    assert.strictEqual(await p.page.textContent('#status_text'), '无法连接助手主程序');
    assert.deepStrictEqual(p.pageErrors, []);
    assert.ok(await p.page.isVisible('#ui_title'));
  } finally {
    await p.close();
  }
});

test('the body swallows the context menu and the mouse wheel', async () => {
  const p = await openPage(laterStart());
  try {
    const prevented = await p.page.evaluate(() => {
      const menu = new MouseEvent('contextmenu', { bubbles: true, cancelable: true });
      document.body.dispatchEvent(menu);
      const wheel = new WheelEvent('mousewheel', { bubbles: true, cancelable: true, deltaY: 100 });
      document.getElementById('panel_help').dispatchEvent(wheel);
      // lists still scroll, by the page's own hand
      const list = document.getElementById('scan_list');
      list.scrollTop = 0;
      list.dispatchEvent(new WheelEvent('wheel', { bubbles: true, cancelable: true, deltaY: 100 }));
      return [menu.defaultPrevented, wheel.defaultPrevented, list.scrollTop > 0];
    });
    assert.deepStrictEqual(prevented, [true, true, true]);
  } finally {
    await p.close();
  }
});
