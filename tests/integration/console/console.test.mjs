// The operator console in a real browser: Debian's chromium, headless, driven by
// playwright-core, against the real ravik-dataserver on ephemeral loopback ports.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFile } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';

const require = createRequire(path.join(process.env.CONSOLE_NODE_MODULES, 'x.js'));
const { chromium } = require('playwright-core');
const run = promisify(execFile);

const TOKEN = 'operator-token-42';
const FIELD = '\x11';

// The launcher's frames are in code page 936; node can decode it but not encode it, so the
// encoder is the decoder's table turned round.
let gbk = null;
function encodeGbk(text) {
  if (!gbk) {
    gbk = new Map();
    const decoder = new TextDecoder('gbk');
    for (let lead = 0x81; lead <= 0xfe; ++lead) {
      for (let trail = 0x40; trail <= 0xfe; ++trail) {
        const ch = decoder.decode(Uint8Array.of(lead, trail));
        if (ch.length === 1 && ch !== '\ufffd' && !gbk.has(ch)) gbk.set(ch, [lead, trail]);
      }
    }
  }
  const bytes = [];
  for (const ch of text) {
    if (ch.charCodeAt(0) < 0x80) bytes.push(ch.charCodeAt(0));
    else bytes.push(...gbk.get(ch));
  }
  return Buffer.from(bytes);
}

// A request frame as the launcher builds it: "^", the code, the length in ten digits, a
// separator before each field, an optional trailing one, "~". The length counts UTF-16
// units, plus `extra` (a feedback counts its reason twice).
function frame(code, fields, trailing, extra = 0) {
  const body = fields.map((f) => FIELD + f).join('') + (trailing ? FIELD : '') + '~';
  const length = 3 + 10 + body.length + extra;
  return '^' + code + FIELD + String(length).padStart(10, '0') + body;
}

function send(port, text) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, '127.0.0.1');
    const chunks = [];
    socket.on('connect', () => socket.write(Buffer.concat([encodeGbk(text), Buffer.from([0, 0])])));
    socket.on('data', (d) => chunks.push(d));
    socket.on('end', () => resolve(Buffer.concat(chunks)));
    socket.on('error', reject);
  });
}

const now = () => new Date().toISOString().slice(0, 19).replace('T', ' ');
const startFrame = (mac) => frame('2', [mac, '10.0.0.2', now(), '0'], true);
const runFrame = (mac, tool, game, type) => frame('8', [mac, '10.0.0.2', String(tool), String(game), String(type), now()], false);
const feedbackFrame = (mac, item, reason) => frame('4', [mac, '10.0.0.2', now(), '0', String(item), reason], true, reason.length);
const checkFrame = (mac, sertime) => frame('1', [mac, '10.0.0.2', sertime, '2.0'], false);

class DataServer {
  async start(work) {
    this.work = work;
    const ports = path.join(work, 'ports');
    fs.writeFileSync(path.join(work, 'token'), `  ${TOKEN}  \nsecond line is not part of it\n`);
    this.log = fs.openSync(path.join(work, 'server.log'), 'w');
    this.process = spawn(process.env.DATASERVER, [
      '--listen', '127.0.0.1:0', '--http', '127.0.0.1:0', '--www', path.join(process.env.FIXTURE_DIR, 'www'),
      '--db', path.join(work, 'data.db'), '--seed', path.join(process.env.FIXTURE_DIR, 'seed.json'),
      '--port-file', ports, '--admin-token-file', path.join(work, 'token'),
    ], { stdio: ['ignore', this.log, this.log] });
    const exited = new Promise((resolve) => this.process.once('exit', resolve));
    while (!fs.existsSync(ports)) {
      const code = await Promise.race([exited, new Promise((r) => setTimeout(() => r(undefined), 20))]);
      if (code !== undefined) throw new Error('ravik-dataserver ended: ' + fs.readFileSync(path.join(work, 'server.log'), 'utf8'));
    }
    const text = fs.readFileSync(ports, 'utf8');
    this.tcp = Number(/tcp (\d+)/.exec(text)[1]);
    this.http = Number(/http (\d+)/.exec(text)[1]);
    this.base = `http://127.0.0.1:${this.http}`;
  }
  stop() {
    if (this.process && this.process.exitCode === null) this.process.kill('SIGTERM');
  }
  api(route, init = {}) {
    return fetch(this.base + '/admin/api/' + route, init);
  }
  bearer(route, init = {}) {
    return this.api(route, { ...init, headers: { ...(init.headers || {}), Authorization: 'Bearer ' + TOKEN } });
  }
}

// Waits for `selector`; when the page shows an error instead, fails with the page's message.
async function expectOnPage(page, selector) {
  const error = page.locator('#message.error:not([hidden])');
  await page.locator(selector).or(error).first().waitFor();
  if (await error.isVisible()) assert.fail(`the page shows "${await error.textContent()}" instead of ${selector}`);
}

describe('operator console', () => {
  const server = new DataServer();
  let work;
  let browser;
  let page;

  // Three clients: version checks, four starts, four tool runs, two feedbacks. A version
  // check is answered before it is stored, the others only once stored, and reports are
  // stored in the order they arrive: so the checks go first, and the last answer means
  // every report is in the database.
  const reports = [
    checkFrame('AA-00-00-00-00-01', '200'), checkFrame('AA-00-00-00-00-02', '150'),
    startFrame('AA-00-00-00-00-01'), startFrame('AA-00-00-00-00-01'), startFrame('AA-00-00-00-00-02'),
    startFrame('AA-00-00-00-00-02'),
    runFrame('AA-00-00-00-00-01', 20301, 0, 191), runFrame('AA-00-00-00-00-02', 20301, 0, 191),
    runFrame('AA-00-00-00-00-03', 20301, 0, 191), runFrame('AA-00-00-00-00-01', 30301, 101, 192),
    feedbackFrame('AA-00-00-00-00-01', 20301, '无法运行'), feedbackFrame('AA-00-00-00-00-02', 20301, '杀软报毒'),
  ];

  before(async () => {
    work = fs.mkdtempSync(path.join(os.tmpdir(), 'ravik-console-'));
    await server.start(work);
    for (const report of reports) {
      const reply = await send(server.tcp, report);
      assert.ok(reply.length > 0, 'the server answered a report');
    }
    browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
    page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
    page.setDefaultTimeout(10000);
  });

  after(async () => {
    if (browser) await browser.close();
    server.stop();
    fs.rmSync(work, { recursive: true, force: true });
  });

  test('the API refuses a missing or wrong token with a JSON error', async () => {
    const cases = [
      ['no token', () => server.api('catalog'), 401],
      ['wrong bearer', () => server.api('catalog', { headers: { Authorization: 'Bearer ' + TOKEN + 'x' } }), 401],
      ['token prefix', () => server.api('catalog', { headers: { Authorization: 'Bearer ' + TOKEN.slice(0, -1) } }), 401],
      ['wrong cookie', () => server.api('usage', { headers: { Cookie: 'ravik_console=00' } }), 401],
      ['wrong login', () => server.api('session', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ token: 'nope' }) }), 401],
      ['login as a form post', () => server.api('session', { method: 'POST', headers: { 'Content-Type': 'application/x-www-form-urlencoded' }, body: 'token=' + TOKEN }), 415],
      ['publish from another site', () => server.bearer('games', { method: 'POST', headers: { 'Content-Type': 'application/json', Origin: 'http://evil.example' }, body: '{}' }), 403],
    ];
    for (const [name, call, status] of cases) {
      const response = await call();
      assert.equal(response.status, status, name);
      assert.equal(typeof (await response.json()).error, 'string', name);
    }
  });

  test('a wrong token in the login box shows an error and no data', async () => {
    await page.goto(server.base + '/admin/');
    await page.fill('#token', 'wrong');
    await page.click('#login-form button[type=submit]');
    await page.waitForSelector('#login-error:not([hidden])');
    assert.match(await page.textContent('#login-error'), /令牌/);
    assert.equal(await page.isVisible('#catalog'), false);
  });

  test('after logging in the catalog lists the seeded games with their tools', async () => {
    await page.goto(server.base + '/admin/');
    await page.fill('#token', TOKEN);
    await page.click('#login-form button[type=submit]');
    await expectOnPage(page, '#games tr.game[data-game="101"]');
    const rows = await page.$$eval('#games tr', (trs) => trs.map((tr) => tr.dataset.game ? 'g' + tr.dataset.game : 't' + tr.dataset.tool));
    assert.deepEqual(rows, ['g101', 't30301', 'g102', 't30302', 'g103', 'g104']);
    assert.deepEqual(await page.$$eval('#tools tr', (trs) => trs.map((tr) => tr.dataset.tool)), ['20301', '20302']);

    await page.fill('#search', '星际');
    await page.waitForFunction(() => document.querySelectorAll('#games tr.game').length === 1);
    assert.equal(await page.getAttribute('#games tr.game', 'data-game'), '102');
    await page.fill('#search', '');
    await page.waitForFunction(() => document.querySelectorAll('#games tr.game').length === 4);
  });

  test('the charts draw the reports the server stored', async () => {
    await page.click('.tab[data-view=usage]');
    await page.waitForFunction(() => {
      const chart = echarts.getInstanceByDom(document.getElementById('chart-tools'));
      return chart && chart.getOption().series[0].data.length > 0;
    });
    const drawn = await page.evaluate(() => {
      const data = (id) => echarts.getInstanceByDom(document.getElementById(id)).getOption();
      return {
        starts: data('chart-starts').series[0].data,
        clients: data('chart-clients').series[0].data,
        tools: data('chart-tools').yAxis[0].data.map((label, i) => [label, data('chart-tools').series[0].data[i]]),
        feedback: data('chart-feedback').series[0].data.map((d) => [d.name, d.value]),
        versions: data('chart-versions').series[0].data.map((d) => [d.name, d.value]),
      };
    });
    // Today holds every report sent.
    assert.equal(drawn.starts.at(-1), 4);
    assert.equal(drawn.starts.reduce((a, b) => a + b, 0), 4);
    assert.equal(drawn.clients.at(-1), 3);
    assert.equal(drawn.tools.length, 2);
    assert.match(drawn.tools[0][0], /20301/);
    assert.equal(drawn.tools[0][1], 3);
    assert.equal(drawn.tools[1][1], 1);
    assert.deepEqual(drawn.feedback.sort(), [['无法运行', 1], ['杀软报毒', 1]].sort());
    assert.deepEqual(drawn.versions.sort(), [['150', 1], ['200', 1]]);

    // CONSOLE_SCREENSHOT_DIR keeps a picture of the charts (for the README).
    if (process.env.CONSOLE_SCREENSHOT_DIR) {
      await page.waitForTimeout(1500); // the charts' opening animation
      await page.screenshot({ path: path.join(process.env.CONSOLE_SCREENSHOT_DIR, 'console-usage.png'), fullPage: true });
    }

    // The page shows what the API says.
    const usage = await (await server.bearer('usage?days=30')).json();
    assert.deepEqual(drawn.starts, usage.days.map((d) => d.starts));
    const canvasDrawn = await page.$eval('#chart-starts canvas', (c) => c.width > 0 && c.height > 0);
    assert.ok(canvasDrawn);
  });

  test('a tool added in the page reaches a launcher on its next sync', async () => {
    const launcher = path.join(work, 'launcher');
    fs.mkdirSync(launcher);
    const sync = async () => {
      const { stdout } = await run(process.env.RAVIKCTL, ['--data-dir', launcher, '--server', `127.0.0.1:${server.tcp}`, 'sync']);
      return JSON.parse(stdout);
    };
    await sync();

    await page.click('.tab[data-view=catalog]');
    await page.click('#add-tool');
    await page.fill('#editor input[name=id]', '20399');
    await page.selectOption('#editor select[name=TYPE]', '189');
    await page.fill('#editor input[name=TITLE]', '官方论坛');
    await page.fill('#editor input[name=URL]', 'http://bbs.example/new');
    await page.click('#editor button[type=submit]');
    await expectOnPage(page, '#tools tr[data-tool="20399"]');
    assert.match(await page.textContent('#message'), /已发布/);

    assert.deepEqual(await sync(), { applied: 1, ranked: 0 });
    // What the launcher reads back from its catalog files.
    const { stdout } = await run(process.env.RAVIKCTL, ['--data-dir', launcher, 'catalog']);
    const tool = JSON.parse(stdout).tools.find((t) => t.id === 20399);
    assert.ok(tool, 'the new tool is in the launcher\'s catalog');
    assert.deepEqual([tool.TITLE, tool.TYPE, tool.URL, tool.GAMEID], ['官方论坛', 189, 'http://bbs.example/new', 0]);
  });

  test('an invalid edit is refused with the reason shown in the editor', async () => {
    await page.click('#add-tool');
    await page.fill('#editor input[name=id]', '20400');
    await page.fill('#editor input[name=TITLE]', '无主工具');
    await page.fill('#editor input[name=GAMEID]', '999');
    await page.click('#editor button[type=submit]');
    await page.waitForSelector('#editor-error:not([hidden])');
    assert.notEqual((await page.textContent('#editor-error')).trim(), '');
    await page.click('#editor-cancel');
    const catalog = await (await server.bearer('catalog?q=20400')).json();
    assert.deepEqual(catalog.tools, []);
  });

  test('deleting a game asks first and then publishes a removal', async () => {
    const before = await (await server.bearer('catalog')).json();
    page.once('dialog', () => assert.fail('the page must use its own confirmation'));
    await page.click('#games tr.game[data-game="104"] button.danger');
    await page.click('#confirm button[value=no]');
    assert.deepEqual((await (await server.bearer('catalog')).json()).removals, before.removals);

    await page.click('#games tr.game[data-game="104"] button.danger');
    assert.match(await page.textContent('#confirm-text'), /104/);
    await page.click('#confirm button[value=yes]');
    await page.waitForFunction(() => /已删除/.test(document.getElementById('message').textContent));
    const removals = (await (await server.bearer('catalog')).json()).removals;
    assert.deepEqual(removals.at(-1).games, [104]);
    await page.waitForSelector('#games tr.game.removed[data-game="104"]');
    assert.equal(await page.$('#games tr.game[data-game="104"] button.danger'), null);
  });
});
