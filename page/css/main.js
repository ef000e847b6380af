/*
 * The assistant's user interface: start-up sequence, the environment check
 * with its repairs and installs, the login shortcuts, the key panel with the
 * certificate-update dialogue, and the settings. Talks to native code only
 * through Zentrava (js/zentrava.js). ES3 only, for the old browser control.
 */
(function ($, Z) {
    // The check types in the order the page runs them.
    var CHECKS = [
        { type: 'registry', name: '注册表', desc: '网上银行所需的注册表项和策略', good: '正常', bad: '异常', fix: '修复' },
        { type: 'host', name: 'HOST文件', desc: '网银网址没有被 HOST 文件改向', good: '正常', bad: '异常', fix: '修复' },
        { type: 'cfca', name: 'CFCA根证书', desc: '验证网银证书所需的根证书', good: '正常', bad: '异常', fix: '修复' },
        { type: 'level', name: 'IE安全级别', desc: '浏览器各区域的安全级别', good: '正常', bad: '异常', fix: '修复' },
        { type: 'iehomepage', name: '首页锁定', desc: '浏览器首页没有被锁定或篡改', good: '正常', bad: '异常', fix: '修复' },
        { type: 'compatibility', name: '兼容性站点加入', desc: '网银网站以兼容性视图打开', good: '已加入', bad: '未加入', fix: '加入' },
        { type: 'trust', name: '网银可信站点', desc: '网银网站位于受信任的站点', good: '已加入', bad: '未加入', fix: '加入' },
        { type: 'cache', name: '缓存', desc: '浏览器缓存和 SSL 状态，登录异常时可清除', good: '正常', bad: '正常', fix: '清除', alwaysGood: true },
        { type: 'connection', name: '网络连接', desc: '本机能否连接互联网', good: '正常', bad: '异常', fix: null },
        { type: 'url', name: '网银服务', desc: '网上银行网站能否访问', good: '正常', bad: '异常', fix: null },
        { type: 'dns', name: 'DNS解析', desc: '网银网址能否正确解析', good: '正常', bad: '异常', fix: null }
    ];
    var TABS = { scan: 1, quicklink: 1, ukey: 1, help: 1 };
    var UPDATE_TIMES = { 0: 1, 1: 1, 7: 1, 30: 1 };
    // how long a finished update run may take to restart the program
    var TIMING = { updateRestartGraceMs: 3000 };

    var state = {
        configLoaded: false,
        checks: {},        // type -> { state: wait|busy|good|bad|error, busyText }
        itemRows: [],      // index -> { state, busyText, progress, failed }
        running: 0,        // check, repair and install jobs not yet answered
        scanTotal: 0,
        scanDone: 0,
        updating: false,
        settings: { boot_start: 1, CloseType: 1, UserType: 1, update_time: 1, LastTimeUpdate: '' },
        certKey: -1
    };

    // ------------------------------------------------------------------ utils

    function status(text) {
        $('#status_text').text(text);
    }

    function setButton($b, enabled, text) {
        $b.toggleClass('disabled', !enabled);
        if (text !== undefined) {
            $b.text(text);
        }
    }

    function enabled($b) {
        return !$b.hasClass('disabled');
    }

    function isWebUrl(url) {
        return typeof url === 'string' && /^https?:\/\/[^\s"<>]+$/i.test(url);
    }

    function checkByType(type) {
        var i;
        for (i = 0; i < CHECKS.length; i++) {
            if (CHECKS[i].type === type) {
                return CHECKS[i];
            }
        }
        return null;
    }

    function progressTo($p, percent, kind) {
        $p.removeClass('done failed');
        if (kind) {
            $p.addClass(kind);
        }
        $p.find('.bar').css('width', Math.max(0, Math.min(100, percent)) + '%');
    }

    // ------------------------------------------------------------------ tabs

    function showTab(name) {
        var $tab = $('#tab_' + name);
        if (!TABS.hasOwnProperty(name) || !$tab.length) {
            return;
        }
        $('.tab').removeClass('current');
        $tab.addClass('current');
        $('.panel').removeClass('current');
        $('#panel_' + name).addClass('current');
        $('#tab_marker').stop(true).animate({ left: $tab.position().left }, 180);
    }

    // ------------------------------------------------------------ dialogues

    function openDialog(id) {
        var $d = $('#' + id), top;
        $('.dialog').hide();
        $('#mask').show();
        top = $d.hasClass('small') ? 190 : 110;
        $d.css({ top: (top - 24) + 'px' }).show().animate({ top: top }, 160);
    }

    function closeDialog(id) {
        $('#' + id).hide();
        if (!$('.dialog:visible').length) {
            $('#mask').hide();
        }
    }

    // ------------------------------------------------------------ check rows

    function renderChecks() {
        var html = [], i, c;
        for (i = 0; i < CHECKS.length; i++) {
            c = CHECKS[i];
            state.checks[c.type] = { state: 'wait', busyText: '' };
            html.push('<tr id="check_' + c.type + '" data-type="' + c.type + '">' +
                '<td class="c-icon"><span class="icon unknown"></span></td>' +
                '<td class="c-name">' + c.name + '</td>' +
                '<td class="c-desc">' + c.desc + '</td>' +
                '<td class="c-state"><span class="state-wait">未检测</span></td>' +
                '<td class="c-action"></td></tr>');
        }
        $('#check_table tbody').html(html.join(''));
    }

    function paintCheck(type) {
        var c = checkByType(type), s = state.checks[type], $row = $('#check_' + type);
        var icon = 'unknown', word = '未检测', cls = 'state-wait', action = '';
        if (!c || !s) {
            return;
        }
        if (s.state === 'busy') {
            icon = 'busy';
            word = s.busyText;
        } else if (s.state === 'good') {
            icon = 'ok';
            word = c.good;
            cls = 'state-good';
        } else if (s.state === 'bad') {
            icon = 'bad';
            word = c.bad;
            cls = 'state-bad';
        } else if (s.state === 'error') {
            icon = 'warn';
            word = '检测失败';
            cls = 'state-warn';
        }
        if (c.fix && state.configLoaded && (s.state === 'bad' || (c.alwaysGood && s.state === 'good'))) {
            action = '<a class="button small fix" href="javascript:;">' + c.fix + '</a>';
        } else if (s.state === 'error' && state.configLoaded) {
            action = '<a class="button small gray retry" href="javascript:;">重试</a>';
        }
        $row.find('.c-icon').html('<span class="icon ' + icon + '"></span>');
        $row.find('.c-state').html('<span class="' + cls + '">' + Z.escapeHtml(word) + '</span>');
        $row.find('.c-action').html(action);
    }

    function setCheck(type, st, busyText) {
        if (!state.checks[type]) {
            return;
        }
        state.checks[type].state = st;
        state.checks[type].busyText = busyText || '';
        paintCheck(type);
        if (type === 'connection' && st !== 'busy') {
            $('#net_state').text(st === 'good' ? '正常' : (st === 'bad' ? '异常，请检查网络设置' : '未知'));
        }
    }

    // The answer names its type; an answer that cannot be read counts for
    // the type that was asked.
    function applyTypeAnswer(asked, text) {
        var a = Z.parseAnswer(text), c;
        if (!a || typeof a.type !== 'string' || !checkByType(a.type)) {
            setCheck(asked, 'error');
            return asked;
        }
        c = checkByType(a.type);
        setCheck(a.type, (a.result === true || c.alwaysGood) ? 'good' : 'bad');
        return a.type;
    }

    function runCheck(type, done) {
        setCheck(type, 'busy', '正在检测…');
        track(1);
        var sent = Z.asyncallc(function (text) {
            applyTypeAnswer(type, text);
            track(-1);
            if (done) {
                done();
            }
        }, 'do_check', type);
        if (!sent) {
            setCheck(type, 'error');
            track(-1);
        }
    }

    function repairCheck(type) {
        var c = checkByType(type);
        if (!c || !c.fix || !state.configLoaded || state.checks[type].state === 'busy') {
            return;
        }
        Z.trace('do_fix ' + type);
        setCheck(type, 'busy', c.type === 'cache' ? '正在清除…' : '正在修复…');
        track(1);
        var sent = Z.asyncallc(function (text) {
            var a = Z.parseAnswer(text);
            status(c.name + (a && a.result === true ? '修复完成' : '修复未成功') + '，正在重新检测…');
            track(-1);
            // the repair's own answer is not the final word: look again
            runCheck(type, function () {
                status(c.name + '：' + (state.checks[type].state === 'good' ? c.good : c.bad));
            });
        }, 'do_fix', type);
        if (!sent) {
            setCheck(type, 'error');
            track(-1);
        }
    }

    // ------------------------------------------------------------- item rows

    function itemState(i) {
        if (!state.itemRows[i]) {
            state.itemRows[i] = { state: 'wait', busyText: '', progress: -1, failed: false };
        }
        return state.itemRows[i];
    }

    function itemCounts(item) {
        // an ordinary user banks without a key and needs no key driver
        return !(item.type === 'key' && state.settings.UserType === 0);
    }

    function renderItems() {
        var html = [], i, item, kind;
        for (i = 0; i < Z.items.length; i++) {
            item = Z.items[i];
            kind = item.type === 'key' ? '网银盾驱动' : '安全控件';
            itemState(i);
            html.push('<tr id="item_' + i + '" data-index="' + i + '">' +
                '<td class="c-icon"></td>' +
                '<td class="c-name">' + Z.escapeHtml(item.name || '未命名控件') + '</td>' +
                '<td class="c-desc">' + kind + '</td>' +
                '<td class="c-state"></td><td class="c-action"></td></tr>');
        }
        $('#item_table tbody').html(html.join(''));
        $('#item_empty').toggle(Z.items.length === 0).text(state.configLoaded ? '配置中没有需要安装的控件。' : '正在获取安全控件列表……');
        for (i = 0; i < Z.items.length; i++) {
            paintItem(i);
        }
    }

    function paintItem(i) {
        var item = Z.items[i], s = itemState(i), $row = $('#item_' + i);
        var icon = 'unknown', word = '未检测', cls = 'state-wait', action = '', label;
        if (!item || !$row.length) {
            return;
        }
        if (s.state === 'busy') {
            icon = 'busy';
            word = s.busyText;
            if (s.progress >= 0) {
                word += ' ' + s.progress + '%<span class="progress row-progress"><span class="bar" style="display:block;width:' +
                    s.progress + '%"></span></span>';
            }
            $row.find('.c-state').html('<span class="state-wait">' + word + '</span>');
        } else {
            if (s.state === 'done') {
                word = Z.STATUS_TEXT[item.status] || '未安装';
                if (item.status === Z.STATUS_INSTALLED) {
                    icon = 'ok';
                    cls = 'state-good';
                } else if (!itemCounts(item)) {
                    icon = 'unknown';
                    cls = 'state-wait';
                } else {
                    icon = item.status === Z.STATUS_UPGRADE ? 'warn' : 'bad';
                    cls = item.status === Z.STATUS_UPGRADE ? 'state-warn' : 'state-bad';
                }
                if (s.failed) {
                    word += '（安装失败）';
                }
                label = { 1: '启用', 2: '升级', 3: '安装' }[item.status];
                if (label && state.configLoaded) {
                    action = '<a class="button small install" href="javascript:;">' + label + '</a>';
                }
            } else if (s.state === 'error') {
                icon = 'warn';
                word = '检测失败';
                cls = 'state-warn';
                action = '<a class="button small gray retry" href="javascript:;">重试</a>';
            }
            $row.find('.c-state').html('<span class="' + cls + '">' + Z.escapeHtml(word) + '</span>');
        }
        $row.find('.c-icon').html('<span class="icon ' + icon + '"></span>');
        $row.find('.c-action').html(action);
        if (Z.keyOfItem(item) >= 0) {
            paintKey(Z.keyOfItem(item));
        }
    }

    function applyItemAnswer(asked, text) {
        var a = Z.parseAnswer(text), i, st;
        i = a ? Z.toIndex(a.index, Z.items.length) : -1;
        st = a ? a.result : undefined;
        if (i < 0 || typeof st !== 'number' || st < 0 || st > 3 || Math.floor(st) !== st) {
            itemState(asked).state = 'error';
            paintItem(asked);
            return asked;
        }
        Z.items[i].status = st;
        itemState(i).state = 'done';
        paintItem(i);
        return i;
    }

    function checkItem(i, done) {
        var s = itemState(i);
        s.state = 'busy';
        s.busyText = '正在检测…';
        s.progress = -1;
        paintItem(i);
        track(1);
        var sent = Z.asyncallc(function (text) {
            applyItemAnswer(i, text);
            track(-1);
            if (done) {
                done();
            }
        }, 'do_check', i);
        if (!sent) {
            s.state = 'error';
            paintItem(i);
            track(-1);
        }
    }

    function installItem(i) {
        var s = itemState(i), item = Z.items[i];
        if (!item || !state.configLoaded || s.state === 'busy') {
            return;
        }
        Z.trace('do_install ' + i);
        s.state = 'busy';
        s.busyText = '正在下载';
        s.progress = 0;
        s.failed = false;
        paintItem(i);
        status('正在安装 ' + (item.name || '控件') + '…');
        track(1);
        var sent = Z.asyncallc(function (text) {
            var a = Z.parseAnswer(text);
            var ok = a && a.result === Z.STATUS_INSTALLED;
            track(-1);
            s.failed = s.failed || !ok;
            checkItem(i, function () {
                var now = Z.items[i];
                if (now.status === Z.STATUS_INSTALLED) {
                    s.failed = false;
                }
                paintItem(i);
                status((item.name || '控件') + (now.status === Z.STATUS_INSTALLED ? ' 安装完成' : ' 未能安装，请稍后重试'));
            });
        }, 'do_install', i);
        if (!sent) {
            s.state = 'error';
            paintItem(i);
            track(-1);
        }
    }

    // Download progress of one item's install (index >= 0).
    function itemProgress(i, percent, ok) {
        var s = itemState(i);
        if (s.state !== 'busy') {
            return;
        }
        if (!ok) {
            s.failed = true;
            s.busyText = '下载失败';
        } else {
            s.busyText = percent >= 100 ? '正在安装' : '正在下载';
        }
        s.progress = percent;
        paintItem(i);
    }

    // ------------------------------------------------------------ summary

    function track(delta) {
        state.running += delta;
        var idle = state.running <= 0 && state.configLoaded;
        setButton($('#btn_check'), idle);
        setButton($('#btn_fix_all'), idle && problems().fixable > 0);
        if (delta < 0 && state.scanTotal > 0) {
            state.scanDone++;
            progressTo($('#scan_progress'), Math.round(100 * state.scanDone / state.scanTotal));
        }
        if (state.running <= 0) {
            state.running = 0;
            summarize();
        }
    }

    function problems() {
        var n = 0, fixable = 0, offline = 0, i, c, s, item;
        for (i = 0; i < CHECKS.length; i++) {
            c = CHECKS[i];
            s = state.checks[c.type];
            if (s && (s.state === 'bad' || s.state === 'error')) {
                n++;
                if (c.fix && s.state === 'bad') {
                    fixable++;
                } else if (!c.fix) {
                    offline++;
                }
            }
        }
        for (i = 0; i < Z.items.length; i++) {
            item = Z.items[i];
            s = itemState(i);
            if (s.state === 'done' && item.status !== Z.STATUS_INSTALLED && itemCounts(item)) {
                n++;
                fixable++;
            } else if (s.state === 'error') {
                n++;
            }
        }
        return { count: n, fixable: fixable, offline: offline };
    }

    function summarize() {
        var p, anyChecked = false, t;
        for (t in state.checks) {
            if (state.checks.hasOwnProperty(t) && state.checks[t].state !== 'wait') {
                anyChecked = true;
            }
        }
        if (!state.configLoaded || !anyChecked) {
            return;
        }
        p = problems();
        state.scanTotal = 0;
        state.scanDone = 0;
        $('#scan_shield').attr('class', 'shield ' + (p.count ? 'bad' : 'ok'));
        if (p.count === 0) {
            $('#scan_title').text('您的网银环境正常');
            $('#scan_detail').text('所有检测项目均已通过，可以放心使用网上银行。');
            progressTo($('#scan_progress'), 100, 'done');
            status('检测完成，未发现问题');
        } else {
            $('#scan_title').text('发现 ' + p.count + ' 个问题');
            $('#scan_detail').text(p.fixable ? '点击“一键修复”修复全部问题，或在列表中逐项修复。' :
                '请检查网络连接或代理设置后重新检测。');
            progressTo($('#scan_progress'), 100, 'failed');
            status('检测完成，发现 ' + p.count + ' 个问题');
        }
        setButton($('#btn_fix_all'), p.fixable > 0);
        setButton($('#btn_check'), true);
    }

    function fullCheck() {
        var i;
        if (!state.configLoaded || state.running > 0) {
            return;
        }
        Z.trace('full check');
        state.scanTotal = CHECKS.length + Z.items.length;
        state.scanDone = 0;
        $('#scan_shield').attr('class', 'shield busy');
        $('#scan_title').text('正在检测您的网银环境……');
        $('#scan_detail').text('检测期间请不要关闭助手。');
        progressTo($('#scan_progress'), 0);
        status('正在检测……');
        setButton($('#btn_fix_all'), false);
        setButton($('#btn_check'), false);
        for (i = 0; i < CHECKS.length; i++) {
            runCheck(CHECKS[i].type);
        }
        for (i = 0; i < Z.items.length; i++) {
            checkItem(i);
        }
    }

    function fixAll() {
        var i, c, s;
        if (!state.configLoaded || state.running > 0) {
            return;
        }
        state.scanTotal = 0;
        $('#scan_shield').attr('class', 'shield busy');
        $('#scan_title').text('正在修复……');
        $('#scan_detail').text('修复期间可能会弹出安装程序，请按提示操作。');
        progressTo($('#scan_progress'), 0);
        for (i = 0; i < CHECKS.length; i++) {
            c = CHECKS[i];
            s = state.checks[c.type];
            if (c.fix && s.state === 'bad') {
                repairCheck(c.type);
            }
        }
        for (i = 0; i < Z.items.length; i++) {
            s = itemState(i);
            if (s.state === 'done' && Z.items[i].status !== Z.STATUS_INSTALLED && itemCounts(Z.items[i])) {
                installItem(i);
            }
        }
    }

    // ------------------------------------------------------------- keys

    function renderKeys() {
        var html = [], k, key;
        for (k = 0; k < Z.keys.length; k++) {
            key = Z.keys[k];
            html.push('<div class="key-card" id="key_' + k + '" data-index="' + k + '">' +
                '<span class="key-picture"></span>' +
                '<div class="key-name">' + Z.escapeHtml(key.name) + '</div>' +
                '<div class="key-state"></div>' +
                '<table class="key-fields selectable" cellspacing="0" cellpadding="0">' +
                '<tr><th>证书序列号</th><td class="f-sn"></td></tr>' +
                '<tr><th>颁发者</th><td class="f-issuer"></td></tr>' +
                '<tr><th>使用者</th><td class="f-subject"></td></tr>' +
                '<tr><th>有效期</th><td class="f-date"></td></tr>' +
                '</table>' +
                '<div class="key-driver"></div>' +
                '<div class="key-actions">' +
                '<a class="button gray small key-detect disabled" href="javascript:;">重新识别</a>' +
                '<a class="button small key-cert disabled" href="javascript:;">证书更新</a></div>' +
                '</div>');
        }
        $('#key_list').html(html.join('') +
            '<div class="key-hint">请将网银盾插入电脑的 USB 接口，助手会自动识别并读取证书信息。</div>');
        for (k = 0; k < Z.keys.length; k++) {
            paintKey(k);
        }
    }

    function keyDriverText(k) {
        var i, item;
        for (i = 0; i < Z.items.length; i++) {
            item = Z.items[i];
            if (Z.keyOfItem(item) === k) {
                return '驱动程序：' + (item.name || '网银盾驱动') + '，' +
                    (itemState(i).state === 'done' ? (Z.STATUS_TEXT[item.status] || '未安装') : '未检测');
            }
        }
        return '';
    }

    function paintKey(k) {
        var key = Z.keys[k], $card = $('#key_' + k), text;
        var none = key.plugin ? (key.busy ? '正在读取…' : '未读取到证书') : '—';
        if (!$card.length) {
            return;
        }
        $card.toggleClass('plugged', key.plugin);
        if (!key.plugin) {
            text = '<span class="state-wait">未插入</span>';
        } else if (key.status === Z.KEY_CERT) {
            text = '<span class="state-good">已插入，证书已读取</span>';
        } else {
            text = '<span class="state-good">已插入</span>';
        }
        $card.find('.key-state').html(text);
        $card.find('.f-sn').text(key.sn || none);
        $card.find('.f-issuer').text(key.issuer || none);
        $card.find('.f-subject').text(key.subject || none);
        $card.find('.f-date').text(key.date || none);
        $card.find('.key-driver').text(keyDriverText(k));
        setButton($card.find('.key-detect'), state.configLoaded && !key.busy);
        setButton($card.find('.key-cert'), state.configLoaded && key.plugin && key.status === Z.KEY_CERT);
        if (state.certKey === k && (!key.plugin || key.status !== Z.KEY_CERT)) {
            $('#cert_message').text(certGoneText(key));
            setButton($('#btn_cert_update'), false);
            setButton($('#btn_cert_get'), false);
        }
    }

    function certGoneText(key) {
        return key && key.plugin ? '未能读取网银盾中的证书，请重新插入网银盾。' : '网银盾已拔出，请插入后再操作。';
    }

    function anyKeyPlugged() {
        var k;
        for (k = 0; k < Z.keys.length; k++) {
            if (Z.keys[k].plugin) {
                return true;
            }
        }
        return false;
    }

    // ------------------------------------------------ certificate update

    function openCertDialog(k) {
        var key = Z.keys[k];
        if (!key || !key.plugin || key.status !== Z.KEY_CERT) {
            return;
        }
        state.certKey = k;
        $('#cert_sn').text(key.sn);
        $('#cert_date').text(key.date);
        $('#cert_message').text('');
        setButton($('#btn_cert_update'), true);
        setButton($('#btn_cert_get'), true);
        Z.log('证书更新：打开对话框，序列号 ' + key.sn);
        openDialog('dlg_cert');
    }

    // "update" renews the certificate on the key, "get" fetches one issued
    // for it; each customer kind has its own server. The bank's page does the
    // work in the browser, told which certificate by its serial number.
    function certAction(action) {
        var key = Z.keys[state.certKey], kind = $('#cert_corp').is(':checked') ? 'corp' : 'per';
        var name = kind + '_' + action + '_server_url', url, target;
        if (!key || !key.plugin || key.status !== Z.KEY_CERT) {
            $('#cert_message').text(certGoneText(key));
            return;
        }
        url = Z.getData(name);
        if (!isWebUrl(url)) {
            Z.log('证书更新：' + name + ' 未配置或无效');
            $('#cert_message').text('暂时无法获取证书服务地址，请稍后再试。');
            return;
        }
        target = url + (url.indexOf('?') >= 0 ? '&' : '?') + 'sn=' + encodeURIComponent(key.sn);
        Z.log('证书更新：' + (action === 'update' ? '更新证书' : '下载证书') + ' ' + target);
        Z.callc('open_ie', target);
        $('#cert_message').text('已在浏览器中打开证书服务页面，请按页面提示操作，完成前请勿拔出网银盾。');
    }

    // ------------------------------------------------------------- update

    function checkUpdate(announce) {
        if (!state.configLoaded) {
            status('正在获取配置，请稍后再检测更新');
            return;
        }
        if (state.updating) {
            return;
        }
        state.updating = true;
        $('#update_state').text('正在检测更新…');
        var sent = Z.asyncallc(function () {
            state.updating = false;
            state.settings.LastTimeUpdate = Z.formatTime(Z.now());
            Z.saveSetting('LastTimeUpdate', state.settings.LastTimeUpdate);
            $('#update_state').text('上次检测更新：' + state.settings.LastTimeUpdate);
            updateEnded();
        }, 'check_update', announce ? true : undefined);
        if (!sent) {
            state.updating = false;
            $('#update_state').text('');
        }
    }

    // Progress reports thin out and a failed repair after the download
    // reports nothing, so the run can end with the dialogue still saying
    // "downloading" (and no way to close it) or "done" while nothing will
    // restart. A successful run restarts the program within moments; give
    // it that time before saying the update did not go through.
    function updateEnded() {
        window.setTimeout(function () {
            if ($('#dlg_update').is(':visible') && !$('#update_progress').hasClass('failed')) {
                $('#update_text').text('更新未能完成，请稍后重试。');
                progressTo($('#update_progress'), 100, 'failed');
                $('#btn_update_close').show();
            }
        }, TIMING.updateRestartGraceMs);
    }

    // Download progress of the assistant's own update (index -1).
    function updateProgress(percent, ok) {
        var $p = $('#update_progress');
        if (!$('#dlg_update').is(':visible')) {
            openDialog('dlg_update');
        }
        if (!ok) {
            $('#update_text').text('更新失败，请稍后重试。');
            progressTo($p, percent || 100, 'failed');
            $('#btn_update_close').show();
        } else if (percent >= 100) {
            $('#update_text').text('更新完成，助手即将重新启动。');
            progressTo($p, 100, 'done');
            $('#btn_update_close').show();
        } else {
            $('#update_text').text('正在下载更新… ' + percent + '%');
            progressTo($p, percent);
            $('#btn_update_close').hide();
        }
    }

    // ------------------------------------------------------------ settings

    function normalizeSettings(s) {
        s.boot_start = s.boot_start ? 1 : 0;
        s.CloseType = s.CloseType ? 1 : 0;
        s.UserType = s.UserType ? 1 : 0;
        if (!UPDATE_TIMES.hasOwnProperty(s.update_time)) {
            s.update_time = 1;
        }
        return s;
    }

    function showSettings() {
        var s = state.settings;
        $('#set_boot_start').prop('checked', s.boot_start === 1);
        $(s.CloseType === 1 ? '#set_close_tray' : '#set_close_exit').prop('checked', true);
        $(s.UserType === 1 ? '#set_user_key' : '#set_user_plain').prop('checked', true);
        $('#set_update_' + (s.update_time || 1)).prop('checked', true);
        $('#set_last_update').text(s.LastTimeUpdate || '从未');
    }

    function readSettingsForm() {
        var s = state.settings;
        s.boot_start = $('#set_boot_start').is(':checked') ? 1 : 0;
        s.CloseType = $('#set_close_tray').is(':checked') ? 1 : 0;
        s.UserType = $('#set_user_key').is(':checked') ? 1 : 0;
        s.update_time = parseInt($('input[name=update_time]:checked').val(), 10) || 1;
        return s;
    }

    function saveSettings(s) {
        Z.saveSetting('boot_start', s.boot_start);
        Z.saveSetting('CloseType', s.CloseType);
        Z.saveSetting('UserType', s.UserType);
        Z.saveSetting('update_time', s.update_time);
        Z.callc('start_with_boot', s.boot_start === 1);
    }

    function loadSettings() {
        var s = state.settings;
        s.boot_start = Z.loadSetting('boot_start', 1);
        s.CloseType = Z.loadSetting('CloseType', 1);
        s.UserType = Z.loadSetting('UserType', 0);
        s.update_time = Z.loadSetting('update_time', 1);
        s.LastTimeUpdate = Z.loadSetting('LastTimeUpdate', Z.formatTime(Z.now()));
        normalizeSettings(s);
        Z.callc('start_with_boot', s.boot_start === 1);
    }

    function startSettings() {
        if (Z.loadSetting('IsFirstStart', true)) {
            // the first start keeps what the settings form offers
            state.settings = normalizeSettings(readSettingsForm());
            state.settings.LastTimeUpdate = Z.formatTime(Z.now());
            saveSettings(state.settings);
            Z.saveSetting('LastTimeUpdate', state.settings.LastTimeUpdate);
            Z.saveSetting('IsFirstStart', false);
        } else {
            loadSettings();
        }
        showSettings();
    }

    // --------------------------------------------------------- start-up

    function onConfig() {
        var s = state.settings;
        state.configLoaded = true;
        renderItems();
        renderKeys();
        setButton($('#btn_login_person'), true);
        setButton($('#btn_login_corp'), true);
        paintAllChecks();
        status('配置已获取');
        if (Z.updateDue(s.LastTimeUpdate, s.update_time, Z.now().getTime())) {
            checkUpdate(false);
        }
        fullCheck();
    }

    function paintAllChecks() {
        var i;
        for (i = 0; i < CHECKS.length; i++) {
            paintCheck(CHECKS[i].type);
        }
    }

    function start() {
        var extra, ie, sys;
        startSettings();

        extra = Z.callc('do_extra_startup');
        Z.trace('extra startup: ' + extra);
        showTab(typeof extra === 'string' && TABS.hasOwnProperty(extra) ? extra : 'scan');

        ie = Z.getVersion('ieversion', '未知');
        sys = Z.getVersion('sysversion', '未知');
        $('#ie_version').text(ie === '未知' ? ie : 'Internet Explorer ' + ie);
        $('#sys_version').text(sys);
        $('#update_state').text(state.settings.LastTimeUpdate ? '上次检测更新：' + state.settings.LastTimeUpdate : '');

        runCheck('connection');
        Z.resetItems();
        status('正在获取配置……');
        if (!Z.asyncallc(onConfig, 'get_config')) {
            status('无法连接助手主程序');
        }
    }

    // ------------------------------------------------------------- wiring

    function bindHooks() {
        Z.ui.itemChanged = function () {
            // rows are drawn once the whole list is in (get_config's completion)
        };
        Z.ui.progress = function (index, percent, ok) {
            if (index === -1) {
                updateProgress(percent, ok);
            } else {
                itemProgress(index, percent, ok);
            }
        };
        Z.ui.keyChanged = function (k) {
            paintKey(k);
            status(anyKeyPlugged() ? '已识别网银盾' : '未检测到网银盾');
        };
        Z.ui.keyDetected = function (k) {
            paintKey(k);
        };
        Z.ui.certificateReady = function () {
            status('已读取网银盾证书');
        };
    }

    function wheelScroll(e) {
        var oe = e.originalEvent || {}, delta = oe.wheelDelta || (oe.detail ? -oe.detail * 40 : 0);
        if (oe.deltaY) {
            delta = -oe.deltaY;
        }
        this.scrollTop -= delta > 0 ? 40 : (delta < 0 ? -40 : 0);
        return false;
    }

    function bindEvents() {
        // a desktop window: no page scrolling by wheel, no page context menu,
        // no text selection outside the certificate fields
        // (bound below the document: engines may treat document-level wheel
        // listeners as passive and ignore their answer)
        $('#app').bind('mousewheel DOMMouseScroll wheel', function () { return false; });
        $(document).bind('contextmenu', function () { return false; });
        $(document).bind('selectstart', function (e) {
            return $(e.target).closest('.selectable, input').length > 0;
        });
        $('#app').delegate('.scroll', 'mousewheel DOMMouseScroll wheel', wheelScroll);
        $(document).delegate('a', 'dragstart', function () { return false; });

        $('#ui_quit').click(function () { Z.callc('quit'); return false; });
        $('#ui_mini').click(function () { Z.callc('mini_size'); return false; });
        $('#ui_setting').click(function () { showSettings(); openDialog('dlg_settings'); return false; });
        $('#ui_update').click(function () { checkUpdate(true); return false; });

        $('.tab').click(function () { showTab($(this).attr('data-panel')); });

        $('#btn_check').click(function () { if (enabled($(this))) { fullCheck(); } return false; });
        $('#btn_fix_all').click(function () { if (enabled($(this))) { fixAll(); } return false; });
        $('#check_table').delegate('.fix', 'click', function () {
            repairCheck($(this).closest('tr').attr('data-type'));
            return false;
        });
        $('#check_table').delegate('.retry', 'click', function () {
            runCheck($(this).closest('tr').attr('data-type'));
            return false;
        });
        $('#item_table').delegate('.install', 'click', function () {
            installItem(parseInt($(this).closest('tr').attr('data-index'), 10));
            return false;
        });
        $('#item_table').delegate('.retry', 'click', function () {
            checkItem(parseInt($(this).closest('tr').attr('data-index'), 10));
            return false;
        });

        $('#btn_login_person, #btn_login_corp').click(function () {
            var url;
            if (!enabled($(this))) {
                return false;
            }
            url = Z.getData(this.id === 'btn_login_person' ? 'bank_url' : 'corp_url');
            if (isWebUrl(url)) {
                Z.callc('open_ie', url);
                status('已在浏览器中打开网上银行');
            } else {
                Z.messagebox('暂时无法获取网上银行的地址，请稍后再试。', 2);
            }
            return false;
        });

        $('#key_list').delegate('.key-detect', 'click', function () {
            if (enabled($(this))) {
                Z.detectKeys();
            }
            return false;
        });
        $('#key_list').delegate('.key-cert', 'click', function () {
            if (enabled($(this))) {
                openCertDialog(parseInt($(this).closest('.key-card').attr('data-index'), 10));
            }
            return false;
        });
        $('#btn_cert_update').click(function () { if (enabled($(this))) { certAction('update'); } return false; });
        $('#btn_cert_get').click(function () { if (enabled($(this))) { certAction('get'); } return false; });

        $('#btn_settings_ok').click(function () {
            var before = state.settings.UserType;
            saveSettings(normalizeSettings(readSettingsForm()));
            closeDialog('dlg_settings');
            status('设置已保存');
            if (before !== state.settings.UserType) {
                renderItems();
                summarize();
            }
            return false;
        });
        $('.dialog-close, .dialog-cancel').click(function () {
            var id = $(this).closest('.dialog').attr('id');
            if (id === 'dlg_cert') {
                Z.log('证书更新：关闭对话框');
                state.certKey = -1;
            }
            closeDialog(id);
            return false;
        });
    }

    $(function () {
        bindHooks();
        bindEvents();
        renderChecks();
        renderKeys();
        start();
    });

    // for the page's own diagnostics
    Z.page = { checks: CHECKS, state: state, fullCheck: fullCheck, showTab: showTab, timing: TIMING };
}(jQuery, Zentrava));
