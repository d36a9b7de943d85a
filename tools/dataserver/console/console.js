'use strict';
// The operator console's page: talks to /admin/api/ with the session cookie the login sets.
// Every text from the server goes into the page through textContent, never as HTML.

const TOOL_TYPES = {
  187: '程序（压缩包）', 188: '小网页窗口', 189: '浏览器打开', 190: '大网页窗口',
  191: '带图标程序', 192: '带图标程序 2',
};
const GAME_FIELDS = [
  ['id', '编号', 'number'], ['TITLE', '名称'], ['EXENAME', '程序文件名'], ['INFO', '说明', 'text', true],
  ['DOWNURL', '下载地址', 'text', true], ['PNG', '图标地址', 'text', true],
  ['SITE', '官网地址'], ['SHOWWEB', '介绍页地址'],
];
const TOOL_FIELDS = [
  ['id', '编号', 'number'], ['GAMEID', '所属游戏编号（0 为通用工具）', 'number'], ['TYPE', '类型', 'type'],
  ['TITLE', '名称'], ['VERSION', '版本'], ['SCALE', '比例', 'number'], ['INFO', '说明', 'text', true],
  ['URL', '地址', 'text', true], ['EXENAME', '程序文件名'], ['PNGURL', '图标地址'], ['NOTE', '备注'],
];

const $ = (id) => document.getElementById(id);
let catalog = null;
let currentView = 'catalog';
let searchTimer = null;
const charts = {};

class ApiError extends Error {
  constructor(status, message) { super(message); this.status = status; }
}

async function api(method, path, body) {
  const init = { method, credentials: 'same-origin', headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const response = await fetch('api/' + path, init);
  let data = {};
  try { data = await response.json(); } catch (e) { /* an empty or non-JSON body */ }
  if (!response.ok) {
    throw new ApiError(response.status, data.error || ('请求失败（' + response.status + '）'));
  }
  return data;
}

function showMessage(text, kind) {
  const box = $('message');
  box.textContent = text;
  box.className = kind;
  box.hidden = !text;
}

// A failed call: back to the login box when the session is gone, else the server's message.
function failed(error) {
  if (error instanceof ApiError && error.status === 401) {
    showLogin();
    return;
  }
  showMessage(error.message, 'error');
}

function showLogin() {
  $('nav').hidden = true;
  for (const view of document.querySelectorAll('.view')) view.hidden = true;
  $('login').hidden = false;
  $('token').focus();
}

function showView(name) {
  currentView = name;
  $('login').hidden = true;
  $('nav').hidden = false;
  for (const view of document.querySelectorAll('.view')) view.hidden = view.id !== name;
  for (const tab of document.querySelectorAll('.tab')) tab.classList.toggle('active', tab.dataset.view === name);
  showMessage('', '');
  return name === 'catalog' ? loadCatalog() : loadUsage();
}

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text === undefined || text === null ? '' : String(text);
  if (className) td.className = className;
  return td;
}

function button(parent, text, className, onClick) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.className = className;
  b.addEventListener('click', onClick);
  parent.appendChild(b);
  return b;
}

// The title cell, with a mark when clients no longer have the record.
function titleCell(row, record) {
  const td = cell(row, record.TITLE);
  if (record.removed) {
    row.classList.add('removed');
    const badge = document.createElement('span');
    badge.className = 'badge';
    badge.textContent = '已删除';
    td.appendChild(badge);
  }
}

function toolRow(body, tool) {
  const row = body.insertRow();
  row.className = 'tool';
  row.dataset.tool = tool.id;
  cell(row, tool.id);
  titleCell(row, tool);
  cell(row, TOOL_TYPES[tool.TYPE] || tool.TYPE);
  cell(row, tool.INFO, 'info');
  cell(row, tool.URL || tool.EXENAME, 'target');
  cell(row, tool.TIME);
  const actions = cell(row, '', 'ops');
  button(actions, '编辑', 'small', () => openEditor('tool', tool));
  if (!tool.removed) button(actions, '删除', 'small danger', () => remove('tool', tool));
}

function emptyRow(body, text) {
  const td = body.insertRow().insertCell();
  td.colSpan = 7;
  td.className = 'empty';
  td.textContent = text;
}

function renderCatalog() {
  const games = $('games');
  games.replaceChildren();
  for (const game of catalog.games) {
    const row = games.insertRow();
    row.className = 'game';
    row.dataset.game = game.id;
    cell(row, game.id);
    titleCell(row, game);
    cell(row, '游戏');
    cell(row, game.INFO, 'info');
    cell(row, game.EXENAME, 'target');
    cell(row, game.TIME);
    const actions = cell(row, '', 'ops');
    button(actions, '编辑', 'small', () => openEditor('game', game));
    button(actions, '新增工具', 'small', () => openEditor('tool', { GAMEID: game.id, TYPE: 187 }, true));
    if (!game.removed) button(actions, '删除', 'small danger', () => remove('game', game));
    for (const tool of game.tools) toolRow(games, tool);
  }
  if (!catalog.games.length) emptyRow(games, '没有符合条件的游戏');
  const tools = $('tools');
  tools.replaceChildren();
  for (const tool of catalog.tools) toolRow(tools, tool);
  if (!catalog.tools.length) emptyRow(tools, '没有符合条件的通用工具');

  const toolCount = catalog.games.reduce((n, g) => n + g.tools.length, catalog.tools.length);
  $('catalog-summary').textContent =
    `游戏 ${catalog.games.length} 个，工具 ${toolCount} 个，最新时间戳 ${catalog.newestStamp}`;

  const version = $('version-form');
  for (const key of ['version', 'sertime', 'clientadd']) version.elements[key].value = catalog.version[key];
  const ranked = [...catalog.ranking.games].sort((a, b) => a.position - b.position);
  $('ranking-form').elements.order.value = ranked.map((e) => e.id).join(', ');
  $('ranking-stamp').textContent = catalog.ranking.stamp ? `当前排序时间戳：${catalog.ranking.stamp}` : '尚未发布排序';

  const removals = $('removals');
  removals.replaceChildren();
  for (const r of catalog.removals) {
    const li = document.createElement('li');
    const parts = [];
    if (r.games.length) parts.push('游戏 ' + r.games.join('、'));
    if (r.tools.length) parts.push('工具 ' + r.tools.join('、'));
    li.textContent = `时间戳 ${r.TIME}：${parts.join('；')}`;
    removals.appendChild(li);
  }
  if (!catalog.removals.length) {
    const li = document.createElement('li');
    li.textContent = '无';
    removals.appendChild(li);
  }
}

async function loadCatalog() {
  try {
    const q = $('search').value.trim();
    catalog = await api('GET', 'catalog' + (q ? '?q=' + encodeURIComponent(q) : ''));
    renderCatalog();
  } catch (error) {
    failed(error);
  }
}

let editing = null;  // { kind, isNew }

function openEditor(kind, record, isNew = false) {
  editing = { kind, isNew: isNew || record.id === undefined };
  $('editor-title').textContent =
    (editing.isNew ? '新增' : '编辑') + (kind === 'game' ? '游戏' : '工具') + (editing.isNew ? '' : ' ' + record.id);
  const fields = $('editor-fields');
  fields.replaceChildren();
  for (const [key, title, type, full] of kind === 'game' ? GAME_FIELDS : TOOL_FIELDS) {
    const label = document.createElement('label');
    label.textContent = title;
    if (full) label.className = 'full';
    let input;
    if (type === 'type') {
      input = document.createElement('select');
      for (const [value, name] of Object.entries(TOOL_TYPES)) {
        input.add(new Option(`${value} ${name}`, value));
      }
    } else {
      input = document.createElement('input');
      input.type = type === 'number' ? 'number' : 'text';
    }
    input.name = key;
    const value = record[key];
    input.value = value === undefined || value === null ? '' : value;
    if (key === 'id' && !editing.isNew) input.readOnly = true;
    label.appendChild(input);
    fields.appendChild(label);
  }
  $('editor-error').hidden = true;
  $('editor').showModal();
}

async function submitEditor(event) {
  event.preventDefault();
  const record = {};
  for (const element of $('editor-form').elements) {
    if (!element.name) continue;
    const numeric = element.type === 'number' || element.tagName === 'SELECT';
    record[element.name] = numeric ? (element.value === '' ? 0 : Number(element.value)) : element.value;
  }
  try {
    const result = await api('POST', editing.kind === 'game' ? 'games' : 'tools', record);
    $('editor').close();
    showMessage(`已发布，时间戳 ${result.stamp}`, 'ok');
    await loadCatalog();
  } catch (error) {
    if (error instanceof ApiError && error.status === 401) {
      $('editor').close();
      failed(error);
      return;
    }
    $('editor-error').textContent = error.message;
    $('editor-error').hidden = false;
  }
}

function confirmRemoval(text) {
  return new Promise((resolve) => {
    const dialog = $('confirm');
    $('confirm-text').textContent = text;
    dialog.returnValue = '';
    dialog.addEventListener('close', () => resolve(dialog.returnValue === 'yes'), { once: true });
    dialog.showModal();
  });
}

async function remove(kind, record) {
  const what = kind === 'game' ? '游戏' : '工具';
  const text = `确定删除${what}“${record.TITLE}”（编号 ${record.id}）吗？已安装的客户端会在下次同步时删除它。`;
  if (!(await confirmRemoval(text))) return;
  try {
    const result = await api('POST', 'removals', kind === 'game' ? { games: [record.id] } : { tools: [record.id] });
    showMessage(`已删除${what} ${record.id}，时间戳 ${result.stamp}`, 'ok');
    await loadCatalog();
  } catch (error) {
    failed(error);
  }
}

async function saveVersion(event) {
  event.preventDefault();
  const form = event.target;
  const body = {};
  for (const key of ['version', 'sertime', 'clientadd']) body[key] = form.elements[key].value.trim();
  try {
    await api('POST', 'version', body);
    showMessage('版本信息已发布', 'ok');
    await loadCatalog();
  } catch (error) {
    failed(error);
  }
}

async function saveRanking(event) {
  event.preventDefault();
  const ids = event.target.elements.order.value.split(/[\s,，、]+/).filter(Boolean);
  if (ids.some((id) => !/^\d+$/.test(id))) {
    showMessage('排序只能填写游戏编号', 'error');
    return;
  }
  const games = ids.map((id, i) => ({ id: Number(id), position: i + 1 }));
  try {
    const result = await api('POST', 'ranking', { games });
    showMessage(`排序已发布，时间戳 ${result.stamp}`, 'ok');
    await loadCatalog();
  } catch (error) {
    failed(error);
  }
}

function chart(id, option) {
  const element = $(id);
  const instance = charts[id] || (charts[id] = echarts.init(element));
  instance.setOption(option, true);
  instance.resize();
}

function barOption(labels, values, name, horizontal) {
  const category = { type: 'category', data: labels, axisLabel: { interval: 0, width: 180, overflow: 'truncate' } };
  const value = { type: 'value', minInterval: 1 };
  return {
    tooltip: { trigger: 'axis' },
    grid: { left: horizontal ? 190 : 50, right: 24, top: 16, bottom: 40 },
    xAxis: horizontal ? value : category,
    yAxis: horizontal ? { ...category, inverse: true } : value,
    series: [{ name, type: 'bar', data: values, barMaxWidth: 28, itemStyle: { color: '#1f6feb' } }],
  };
}

function pieOption(counts, name) {
  return {
    tooltip: { trigger: 'item', formatter: '{b}：{c}（{d}%）' },
    legend: { type: 'scroll', bottom: 0 },
    series: [{
      name, type: 'pie', radius: ['35%', '65%'], top: -20,
      data: counts.map((c) => ({ name: c.label || '（空）', value: c.count })),
    }],
  };
}

function lineOption(days, key, name, color) {
  return {
    tooltip: { trigger: 'axis' },
    grid: { left: 50, right: 24, top: 16, bottom: 40 },
    xAxis: { type: 'category', data: days.map((d) => d.day.slice(5)) },
    yAxis: { type: 'value', minInterval: 1 },
    series: [{ name, type: 'line', areaStyle: { opacity: 0.15 }, data: days.map((d) => d[key]), itemStyle: { color } }],
  };
}

async function loadUsage() {
  try {
    const usage = await api('GET', 'usage?days=' + $('days').value);
    chart('chart-starts', lineOption(usage.days, 'starts', '启动次数', '#1f6feb'));
    chart('chart-clients', lineOption(usage.days, 'clients', '客户端数', '#2e7d32'));
    const runs = usage.toolRuns;
    chart('chart-tools', barOption(runs.map((c) => c.label), runs.map((c) => c.count), '运行次数', true));
    chart('chart-feedback', pieOption(usage.feedbackReasons, '反馈原因'));
    chart('chart-versions', pieOption(usage.versions, '客户端数'));
  } catch (error) {
    failed(error);
  }
}

async function login(event) {
  event.preventDefault();
  $('login-error').hidden = true;
  try {
    await api('POST', 'session', { token: $('token').value });
    $('token').value = '';
    await showView('catalog');
  } catch (error) {
    $('login-error').textContent = error.message;
    $('login-error').hidden = false;
  }
}

async function logout() {
  try { await api('DELETE', 'session', {}); } catch (error) { /* the session is gone either way */ }
  showLogin();
}

function start() {
  $('login-form').addEventListener('submit', login);
  $('logout').addEventListener('click', logout);
  for (const tab of document.querySelectorAll('.tab')) tab.addEventListener('click', () => showView(tab.dataset.view));
  $('search').addEventListener('input', () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(loadCatalog, 250);
  });
  $('add-game').addEventListener('click', () => openEditor('game', {}));
  $('add-tool').addEventListener('click', () => openEditor('tool', { GAMEID: 0, TYPE: 187 }, true));
  $('editor-form').addEventListener('submit', submitEditor);
  $('editor-cancel').addEventListener('click', () => $('editor').close());
  $('version-form').addEventListener('submit', saveVersion);
  $('ranking-form').addEventListener('submit', saveRanking);
  $('days').addEventListener('change', loadUsage);
  window.addEventListener('resize', () => Object.values(charts).forEach((c) => c.resize()));
  // Already logged in when the session cookie is still good.
  api('GET', 'catalog').then((data) => { catalog = data; showView('catalog'); }, (error) => {
    if (error instanceof ApiError && error.status === 401) showLogin(); else failed(error);
  });
}

document.addEventListener('DOMContentLoaded', start);
