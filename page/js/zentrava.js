/*
 * The page's side of the bridge to the assistant: wrappers around
 * window.external, the item and key lists that native code fills, and the
 * page functions native code calls by name. Written for the old browser
 * control: ES3 only, no JSON object, no Array extras.
 *
 * Native code calls the global functions at the end of this file from any of
 * its threads (the dialog marshals them onto the page's thread), sometimes
 * with values of types the page does not expect, so every entry point checks
 * its arguments and never lets a fault escape back into native code.
 */
var Zentrava = (function () {
    var self = {};

    // Largest item index accepted from native code; guards against a stray
    // index growing the list without bound.
    var MAX_ITEMS = 512;
    var ITEM_FIELDS = { name: 1, type: 1, keyid: 1, flag: 1 };
    var KEY_TEXT_FIELDS = { sn: 1, issuer: 1, subject: 1, date: 1 };
    var KEY_FLAG_FIELDS = { selected: 1, plugin: 1 };
    var KEY_READ_FIELDS = { type: 1, name: 1, sn: 1, issuer: 1, subject: 1, keyid: 1, date: 1, cspname: 1 };

    self.STATUS_TEXT = ['已安装', '已禁用', '有升级', '未安装'];
    self.STATUS_INSTALLED = 0;
    self.STATUS_DISABLED = 1;
    self.STATUS_UPGRADE = 2;
    self.STATUS_MISSING = 3;

    // Key states kept in the record's "status": nothing seen, key present,
    // certificate read from the key.
    self.KEY_ABSENT = 0;
    self.KEY_PRESENT = 1;
    self.KEY_CERT = 2;

    self.items = [];
    self.keys = [
        { type: 'FT', name: '飞天USBKey', sn: '', issuer: '', subject: '', plugin: false, selected: false,
          keyid: '0x096E0713', date: '', cspname: 'FEITIAN InterPass3000 CSP For HarbeckBank V1.0',
          status: 0, busy: false, again: false }
    ];

    // Hooks the user interface installs; each is optional.
    self.ui = {};

    function notify(hook) {
        var fn = self.ui[hook];
        if (typeof fn !== 'function') {
            return;
        }
        try {
            fn.apply(self.ui, Array.prototype.slice.call(arguments, 1));
        } catch (e) {
            self.trace('ui.' + hook + ' failed: ' + (e && e.message ? e.message : e));
        }
    }
    self.notify = notify;

    function host() {
        try {
            return window.external || null;
        } catch (e) {
            return null;
        }
    }

    // --- calls into native code -------------------------------------------

    // Native commands take a whole number only as a 32-bit integer variant,
    // while the script engine may hold one as a double (after parseInt or
    // arithmetic); a bitwise operation always yields the integer form.
    function wire(v) {
        return (typeof v === 'number' && v === (v | 0)) ? (v | 0) : v;
    }

    // The external object's methods report typeof "unknown" in the browser
    // control, so they are simply tried.
    self.callc = function (name, a1, a2, a3, a4) {
        var x = host();
        if (!x) {
            return undefined;
        }
        try {
            return x.callc(name, wire(a1), wire(a2), wire(a3), wire(a4));
        } catch (e) {
            return undefined;
        }
    };

    function wrapCompletion(done, label) {
        return function (result) {
            if (typeof done !== 'function') {
                return;
            }
            try {
                done(result);
            } catch (e) {
                self.trace(label + ' completion failed: ' + (e && e.message ? e.message : e));
            }
        };
    }

    function submit(method, done, name, a1, a2, a3, a4) {
        var x = host();
        var completion = wrapCompletion(done, name);
        if (!x) {
            return false;
        }
        try {
            x[method](completion, name, wire(a1), wire(a2), wire(a3), wire(a4));
            return true;
        } catch (e) {
            return false;
        }
    }

    // Runs on the one shared worker, in submission order.
    self.asyncallc = function (done, name, a1, a2, a3, a4) {
        return submit('asyncallc', done, name, a1, a2, a3, a4);
    };

    // Runs on a thread of its own, in no particular order.
    self.asyncalld = function (done, name, a1, a2, a3, a4) {
        return submit('asyncalld', done, name, a1, a2, a3, a4);
    };

    self.trace = function (text, flag) {
        try {
            self.callc('debug_print', String(text), flag === undefined ? 0 : flag);
        } catch (e) {
            // tracing must never disturb the page
        }
    };

    self.log = function (text) {
        self.callc('set_Log', String(text));
    };

    self.messagebox = function (text, kind) {
        self.callc('messagebox', String(text), typeof kind === 'number' ? kind : 0);
    };

    self.delayMs = function (ms) {
        self.callc('delay_ms', ms | 0);
    };

    self.restartApp = function () {
        self.callc('restart_app');
    };

    // A text from native code, or the fallback when the answer is not a
    // usable string (no host, unknown name, another type).
    self.text = function (value, fallback) {
        return (typeof value === 'string' && value !== '') ? value : fallback;
    };

    self.getData = function (name) {
        return self.text(self.callc('get_data', name), '');
    };

    self.getVersion = function (which, fallback) {
        return self.text(self.callc('get_version', which, fallback), fallback);
    };

    // Settings come back in the type of their default; anything else (no
    // host, a value stored by someone else) falls back to the default.
    self.loadSetting = function (key, def) {
        var v = self.callc('load_settings', key, def);
        if (typeof def === 'number') {
            return (typeof v === 'number' && !isNaN(v)) ? v : def;
        }
        if (typeof def === 'boolean') {
            if (typeof v === 'boolean') {
                return v;
            }
            return typeof v === 'number' ? v !== 0 : def;
        }
        return typeof v === 'string' ? v : def;
    };

    self.saveSetting = function (key, value) {
        self.callc('save_settings', key, value);
    };

    // The answers of do_check, do_fix and do_install. Without a native JSON
    // parser $.evalJSON falls back to eval, so only text shaped like JSON
    // data is handed to it.
    self.parseAnswer = function (text) {
        var v;
        if (typeof text !== 'string' || text === '') {
            return null;
        }
        var shape = text.replace(/\\(?:["\\\/bfnrt]|u[0-9a-fA-F]{4})/g, '@')
            .replace(/"[^"\\\n\r]*"|true|false|null|-?\d+(?:\.\d*)?(?:[eE][+\-]?\d+)?/g, ']')
            .replace(/(?:^|:|,)(?:\s*\[)+/g, '');
        if (!/^[\],:{}\s]*$/.test(shape)) {
            return null;
        }
        try {
            v = jQuery.evalJSON(text);
        } catch (e) {
            return null;
        }
        return (v && typeof v === 'object') ? v : null;
    };

    // --- lists filled by native code ----------------------------------------

    function toIndex(value, limit) {
        var n = typeof value === 'string' && /^\d+$/.test(value) ? parseInt(value, 10) : value;
        if (typeof n !== 'number' || isNaN(n) || n < 0 || n >= limit || Math.floor(n) !== n) {
            return -1;
        }
        return n;
    }
    self.toIndex = toIndex;

    function asText(value) {
        return (value === null || value === undefined) ? '' : String(value);
    }

    function asFlag(value) {
        if (typeof value === 'string') {
            return value === 'true' || value === '1' || value === '-1';
        }
        return !!value;
    }

    function newItem() {
        return { name: '', type: '', keyid: '', flag: '', status: -1 };
    }

    self.resetItems = function () {
        self.items = [];
    };

    self.setItemInfo = function (index, name, value) {
        var i = toIndex(index, MAX_ITEMS);
        if (i < 0 || typeof name !== 'string' || !ITEM_FIELDS.hasOwnProperty(name)) {
            return;
        }
        while (self.items.length <= i) {
            self.items.push(newItem());
        }
        self.items[i][name] = asText(value);
        notify('itemChanged', i);
    };

    // The key model an item of type "key" belongs to, or -1.
    self.keyOfItem = function (item) {
        var k;
        if (!item || item.type !== 'key') {
            return -1;
        }
        for (k = 0; k < self.keys.length; k++) {
            if (self.keys[k].type === item.flag) {
                return k;
            }
        }
        return -1;
    };

    // The ids is_key_connect looks for: the model's own, and the one the
    // configuration gives for that model's driver when it names another.
    self.keyIds = function (k) {
        var key = self.keys[k], i, item;
        for (i = 0; i < self.items.length; i++) {
            item = self.items[i];
            if (self.keyOfItem(item) === k && /^(0x)?[0-9a-f]{1,8}$/i.test(item.keyid) &&
                    item.keyid.toLowerCase() !== key.keyid.toLowerCase()) {
                return item.keyid + '|' + key.keyid;
            }
        }
        return key.keyid;
    };

    function clearCertificate(key) {
        key.sn = '';
        key.issuer = '';
        key.subject = '';
        key.date = '';
    }

    self.setKeyInfo = function (index, name, value) {
        var k = toIndex(index, self.keys.length), key;
        if (k < 0 || typeof name !== 'string') {
            return;
        }
        key = self.keys[k];
        if (KEY_TEXT_FIELDS.hasOwnProperty(name)) {
            key[name] = asText(value);
            // a later read that found no certificate (the four fields come
            // back empty) takes back what an earlier read offered
            if (name === 'sn' && key.sn === '' && key.status === self.KEY_CERT) {
                key.status = key.plugin ? self.KEY_PRESENT : self.KEY_ABSENT;
            }
        } else if (KEY_FLAG_FIELDS.hasOwnProperty(name)) {
            key[name] = asFlag(value);
            if (name === 'plugin') {
                if (key.plugin) {
                    if (key.status === self.KEY_ABSENT) {
                        key.status = self.KEY_PRESENT;
                    }
                } else {
                    // a detached key takes its certificate with it
                    key.selected = false;
                    key.status = self.KEY_ABSENT;
                    clearCertificate(key);
                }
            }
        } else {
            return;
        }
        notify('keyChanged', k);
    };

    self.getKeyInfo = function (index, name) {
        var k = toIndex(index, self.keys.length);
        if (k < 0 || typeof name !== 'string' || !KEY_READ_FIELDS.hasOwnProperty(name)) {
            return '';
        }
        return asText(self.keys[k][name]);
    };

    // Device changes arrive in bursts; one query per key runs at a time and
    // a change seen meanwhile asks for one more round afterwards.
    self.detectKeys = function () {
        var k;
        for (k = 0; k < self.keys.length; k++) {
            queryKey(k);
        }
    };

    function queryKey(k) {
        var key = self.keys[k];
        if (key.busy) {
            key.again = true;
            return;
        }
        key.busy = true;
        key.again = false;
        var sent = self.asyncallc(function (connected) {
            key.busy = false;
            if (connected === false && key.plugin) {
                self.setKeyInfo(k, 'plugin', false);
            }
            notify('keyDetected', k, connected === true);
            if (key.again) {
                queryKey(k);
            }
        }, 'is_key_connect', self.keyIds(k), k);
        if (!sent) {
            key.busy = false;
        }
    }

    // Called once the four certificate fields of an attached key are in.
    self.certificateReady = function () {
        var k, key;
        for (k = 0; k < self.keys.length; k++) {
            key = self.keys[k];
            if (key.plugin && key.sn !== '') {
                key.status = self.KEY_CERT;
                notify('keyChanged', k);
            }
        }
        notify('certificateReady');
    };

    self.setProgress = function (progress, index, status) {
        var p = typeof progress === 'string' && /^-?\d+$/.test(progress) ? parseInt(progress, 10) : progress;
        var i;
        if (typeof p !== 'number' || isNaN(p)) {
            return;
        }
        p = Math.max(0, Math.min(100, Math.round(p)));
        if (index === -1 || index === '-1') {
            i = -1;
        } else {
            i = toIndex(index, self.items.length);
            if (i < 0) {
                return;
            }
        }
        notify('progress', i, p, !(status === false || status === 0));
    };

    // --- dates in the settings ("LastTimeUpdate") -------------------------

    function pad(n) {
        return n < 10 ? '0' + n : String(n);
    }

    self.now = function () {
        return new Date();
    };

    self.formatTime = function (d) {
        return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + ' ' +
            pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
    };

    // Milliseconds of a stored "YYYY-MM-DD HH:MM:SS" (or with "/"), or NaN.
    self.parseTime = function (text) {
        var m = typeof text === 'string' &&
            /^\s*(\d{4})[\-\/](\d{1,2})[\-\/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$/.exec(text);
        var d;
        if (!m) {
            return NaN;
        }
        d = new Date(+m[1], +m[2] - 1, +m[3], +(m[4] || 0), +(m[5] || 0), +(m[6] || 0));
        if (d.getMonth() !== +m[2] - 1 || d.getDate() !== +m[3]) {
            return NaN;
        }
        return d.getTime();
    };

    // The update interval in steps of 30, 7, 1 or 0 days since the last
    // check. A date that cannot be read, or one in the future (the clock was
    // set back), counts as long ago, so that updates are not held off for
    // good by one bad value.
    self.updateStep = function (lastText, nowMs) {
        var last = self.parseTime(lastText);
        var days = (nowMs - last) / 86400000;
        if (isNaN(days) || days < 0) {
            return 30;
        }
        if (days > 30) {
            return 30;
        }
        if (days > 7) {
            return 7;
        }
        if (days > 1) {
            return 1;
        }
        return 0;
    };

    self.updateDue = function (lastText, updateTime, nowMs) {
        return updateTime !== 0 && self.updateStep(lastText, nowMs) >= updateTime;
    };

    self.escapeHtml = function (text) {
        return asText(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
            .replace(/"/g, '&quot;').replace(/'/g, '&#39;');
    };

    return self;
}());

// --- page functions called by native code -----------------------------------

function setItemInfo(index, name, value) {
    try {
        Zentrava.setItemInfo(index, name, value);
    } catch (e) {
        Zentrava.trace('setItemInfo: ' + e.message);
    }
}

function setProgress(progress, index, status) {
    try {
        Zentrava.setProgress(progress, index, status);
    } catch (e) {
        Zentrava.trace('setProgress: ' + e.message);
    }
}

function setKeyInfo(index, name, value) {
    try {
        Zentrava.setKeyInfo(index, name, value);
    } catch (e) {
        Zentrava.trace('setKeyInfo: ' + e.message);
    }
}

function getKeyInfo(index, name) {
    try {
        return Zentrava.getKeyInfo(index, name);
    } catch (e) {
        return '';
    }
}

function isAnyKeyConnect() {
    try {
        Zentrava.detectKeys();
    } catch (e) {
        Zentrava.trace('isAnyKeyConnect: ' + e.message);
    }
}

function is_can_Open_update() {
    try {
        Zentrava.certificateReady();
    } catch (e) {
        Zentrava.trace('is_can_Open_update: ' + e.message);
    }
}
