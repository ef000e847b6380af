// The page runs in the old browser control: its scripts must parse as ES3,
// its style sheets may not use layouts IE 8 cannot do, and the page must ask
// for the best engine the machine has.
'use strict';
const fs = require('fs');
const path = require('path');
const acorn = require('acorn');

const root = path.join(__dirname, '..');
const scripts = ['js/zentrava.js', 'css/main.js'];
const vendored = ['node_modules/jquery/dist/jquery.min.js', 'node_modules/jquery-json/dist/jquery.json.min.js'];
const sheets = fs.readdirSync(path.join(root, 'css')).filter((n) => n.endsWith('.css')).map((n) => 'css/' + n);
let failures = 0;

function fail(file, message) {
  failures++;
  console.error(`${file}: ${message}`);
}

for (const file of scripts.concat(vendored)) {
  const text = fs.readFileSync(path.join(root, file), 'utf8').replace(/^\uFEFF/, '');
  try {
    acorn.parse(text, { ecmaVersion: 3, sourceType: 'script', allowReserved: 'never' });
  } catch (e) {
    fail(file, `not ES3: ${e.message}`);
  }
  if (scripts.includes(file)) {
    trailingCommas(file, text);
  }
  // ES5 library calls and DOM features that IE 8 lacks, even where the syntax is fine
  if (scripts.includes(file)) {
    // (indexOf is left out: strings have it, only arrays lack it)
    const banned = new RegExp([
      /\.(forEach|map|filter|reduce|some|every|trim|toISOString)\s*\(/.source,
      /\bJSON\.|\bconsole\.|\bObject\.(keys|create|defineProperty|getPrototypeOf|freeze)\b/.source,
      /\bArray\.isArray\b|\bDate\.now\b|\baddEventListener\b|\bgetComputedStyle\b/.source,
      /\.(textContent|classList)\b|\bconst\b|\blet\b|=>/.source,
    ].join('|'), 'g');
    let m;
    while ((m = banned.exec(text))) {
      const line = text.slice(0, m.index).split('\n').length;
      fail(file, `line ${line}: "${m[0]}" is not available in the old browser control`);
    }
  }
}

// acorn accepts "[1, 2,]" and "[, 1]" even as ES3, but the old engine
// counts the holes: [1, 2,].length is 3 there.
function trailingCommas(file, text) {
  let prev = null;
  for (const tok of acorn.tokenizer(text, { ecmaVersion: 3 })) {
    const t = tok.type.label;
    if ((prev === ',' && (t === ']' || t === '}')) || ((prev === '[' || prev === ',') && t === ',')) {
      fail(file, `line ${text.slice(0, tok.start).split('\n').length}: trailing comma or hole in a literal`);
    }
    prev = t;
  }
}

for (const file of sheets) {
  const text = fs.readFileSync(path.join(root, file), 'utf8');
  // layouts IE 8 cannot do, and values and selectors it drops (colours,
  // sizes, rules that would then silently not apply)
  const bad = new RegExp([
    /display\s*:\s*(-\w+-)?(inline-)?(flex|grid)\b|\b(flex|grid-template|grid-area)\s*:|\bcalc\(|\bvar\(--/.source,
    /\b(rgba|hsla?)\(|gradient\(|\bbackground-size\s*:|\d(rem|vw|vh)\b/.source,
    /:(nth-|last-child|not\(|checked|first-of-type|last-of-type)|::/.source,
  ].join('|'), 'g');
  let m;
  while ((m = bad.exec(text))) {
    fail(file, `line ${text.slice(0, m.index).split('\n').length}: "${m[0]}" is beyond IE 8`);
  }
}

const html = fs.readFileSync(path.join(root, 'main.html'), 'utf8');
if (!html.startsWith('\uFEFF')) fail('main.html', 'must start with a UTF-8 byte-order mark');
if (!/<head>\s*<meta http-equiv="X-UA-Compatible" content="IE=edge">/.test(html)) {
  fail('main.html', 'the X-UA-Compatible meta must be the first element of head');
}

if (failures) {
  console.error(`es3-check: ${failures} problem(s)`);
  process.exit(1);
}
console.log(`es3-check: ${scripts.length + vendored.length} scripts, ${sheets.length} style sheets, main.html: ok`);
