// The configurator's page: the form, the plot of the winding current and the files. Every
// reading, check, writer and message is the tool's own, compiled to WebAssembly (kr570.js):
// this file only shows what the tool says and hands it what the user does.
'use strict';

// What the form shows after each value, as the README names the units.
const UNITS = {
  resistance: 'Ω', inductance: 'mH', current: 'A', drive_voltage: 'V',
  motorshutofftime: 'ms', powerreductiontime: 'ms',
};

// A configuration started from the factory defaults: an empty configuration text.
const NEW_DOCUMENT = { bytes: new Uint8Array(0), name: 'new.txt', kind: 'text' };

const state = {
  tool: null, // the tool's module
  table: [], // the settings table
  document: null, // what is open: { bytes, name, kind }
  opened: null, // what the tool said of it as opened, before any edit
  edits: new Map(), // keyword -> the text in the form, where it differs from the file's
  current: null, // what the tool says of the document with the edits
  other: null, // B of a comparison: { bytes, name, kind }
  differences: new Map(), // name -> the compare mode's line about it
};

function $(id) {
  return document.getElementById(id);
}

function element(tag, attributes = {}, ...children) {
  const made = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    made.setAttribute(name, value);
  }
  made.append(...children);
  return made;
}

const SVG = 'http://www.w3.org/2000/svg';

function svgElement(tag, attributes = {}) {
  const made = document.createElementNS(SVG, tag);
  for (const [name, value] of Object.entries(attributes)) {
    made.setAttribute(name, value);
  }
  return made;
}

function decoded(bytes) {
  return new TextDecoder().decode(bytes);
}

// The groups of settings as the report writes them: each comment line followed by settings
// starts a group titled by that comment.
function groupsOf(report) {
  const groups = [];
  let title = null;
  for (const line of report.split('\n').map((text) => text.trim())) {
    if (line === '') {
      continue;
    }
    if (line.startsWith(';')) {
      title = line.replace(/^;\s*/, '');
      continue;
    }
    if (title !== null) {
      groups.push({ title, keywords: [] });
      title = null;
    }
    groups[groups.length - 1].keywords.push(line.split(/\s+/)[0]);
  }
  return groups;
}

function rangeOf(setting) {
  const highest = 2 ** setting.bits - 1;
  switch (setting.kind) {
    case 'byte':
      return `whole number, 0 to ${highest}`;
    case 'time':
      return `whole number of milliseconds, 0 to ${highest}`;
    case 'address':
      return `hexadecimal, 0x0 to 0x${highest.toString(16)}`;
    case 'float':
      return 'decimal number';
    default:
      return setting.words.join(' or ');
  }
}

function controlFor(setting) {
  const id = `f-${setting.keyword}`;
  const described = `hint-${setting.keyword} note-${setting.keyword}`;
  if (setting.kind === 'switch') {
    const box = element('input', { type: 'checkbox', role: 'switch', id, 'aria-describedby': described });
    box.addEventListener('change', () => {
      box.indeterminate = false;
      setEdit(setting.keyword, setting.words[box.checked ? 0 : 1]);
    });
    return box;
  }
  if (setting.kind === 'code') {
    const select = element('select', { id, 'aria-describedby': described });
    for (const word of setting.words) {
      select.append(element('option', { value: word }, word));
    }
    select.addEventListener('change', () => setEdit(setting.keyword, select.value));
    return select;
  }
  const input = element('input', {
    type: 'text', id, autocomplete: 'off', spellcheck: 'false', 'aria-describedby': described,
    inputmode: setting.kind === 'float' ? 'decimal' : setting.kind === 'address' ? 'text' : 'numeric',
  });
  input.addEventListener('input', () => setEdit(setting.keyword, input.value));
  return input;
}

function rowFor(setting) {
  const unit = UNITS[setting.keyword] ? ` (${UNITS[setting.keyword]})` : '';
  return element('div', { class: `setting ${setting.kind}`, id: `row-${setting.keyword}` },
    element('label', { for: `f-${setting.keyword}` }, setting.keyword + unit),
    controlFor(setting),
    element('span', { class: 'hint', id: `hint-${setting.keyword}` }, rangeOf(setting)),
    element('ul', { class: 'notes', id: `note-${setting.keyword}`, 'aria-live': 'polite' }));
}

// The estimates where the report prints them, after the motor settings.
function estimatesPanel() {
  return element('div', { class: 'estimates', id: 'estimates' },
    element('h3', { id: 'estimates-title' }, 'Calculated motor parameters'),
    element('dl', { id: 'estimate-values', 'aria-live': 'polite' }),
    element('figure', { id: 'plot', 'aria-labelledby': 'plot-caption' },
      element('figcaption', { id: 'plot-caption' },
        'Winding current i(t) = V/R · (1 − e^(−R·t/L)), L in henries (the setting is in mH), t in µs')));
}

function buildForm(groups) {
  const form = $('settings');
  const byKeyword = new Map(state.table.map((setting) => [setting.keyword, setting]));
  for (const group of groups) {
    const rows = group.keywords.map((keyword) => rowFor(byKeyword.get(keyword)));
    const fieldset = element('fieldset', {}, element('legend', {}, group.title));
    if (group.keywords.includes('drive_voltage')) {
      fieldset.classList.add('motor');
      fieldset.append(element('div', { class: 'rows' }, ...rows), estimatesPanel());
    } else {
      fieldset.append(...rows);
    }
    form.append(fieldset);
  }
  form.addEventListener('submit', (event) => event.preventDefault());
}

// --- What the tool says ---------------------------------------------------------------------

function withEdits(documentToOpen) {
  const sets = [...state.edits].map(([keyword, text]) => `${keyword}=${text}`);
  return { ...documentToOpen, sets };
}

// A setting's value in the form: the tool's words, with a decimal such as 2e+01 written out
// as 20, the same number, as a technician types it.
function shownValue(text) {
  return /^[-+]?[0-9.]+e[-+]?[0-9]+$/.test(text) ? String(Number(text)) : text;
}

function setEdit(keyword, text) {
  if (text === shownValue(state.opened.settings[keyword])) {
    state.edits.delete(keyword);
  } else {
    state.edits.set(keyword, text);
  }
  refresh();
}

function openDocument(opened) {
  const result = state.tool.open({ ...opened, sets: [] });
  const failure = $('file-failure');
  failure.hidden = result.failure === null;
  failure.textContent = result.failure ?? '';
  for (const id of ['settings', 'save', 'compare']) {
    $(id).hidden = result.failure !== null;
  }
  if (result.failure !== null) {
    // Nothing of another file stays on show beside the failure.
    state.document = null;
    $('file-status').textContent = `${opened.name} could not be opened.`;
    $('header-fields').replaceChildren();
    $('header-caption').textContent = '';
    $('revert').disabled = true;
    showWarnings($('file-warnings'), result.warnings);
    return;
  }
  state.document = opened;
  state.opened = result;
  state.edits.clear();
  fillForm(result.settings);
  const what = opened === NEW_DOCUMENT ? 'a new configuration from the factory defaults'
    : `${opened.name}, read as ${result.kindDescription}`;
  $('file-status').textContent = `Open: ${what}.`;
  refresh();
}

function fillForm(values) {
  for (const setting of state.table) {
    const control = $(`f-${setting.keyword}`);
    const value = shownValue(values[setting.keyword]);
    if (setting.kind === 'switch') {
      control.checked = value === setting.words[0];
      control.indeterminate = !setting.words.includes(value);
    } else if (setting.kind === 'code') {
      control.querySelector('option.as-read')?.remove();
      if (!setting.words.includes(value)) {
        control.append(element('option', { class: 'as-read', value }, `${value} (as read)`));
      }
      control.value = value;
    } else {
      control.value = value;
    }
  }
}

function refresh() {
  state.current = state.tool.open(withEdits(state.document));
  const notes = notesFor(state.current);
  const blocking = showNotes(notes);
  showWarnings($('file-warnings'), state.opened.warnings);
  showHeader(state.current);
  showEstimates(state.current.motor, state.current.settings);
  showSaveStatus(blocking);
  $('revert').disabled = state.edits.size === 0;
  if (state.other !== null) {
    compareWithOther();
  }
}

// Keywords a message names in quotes, as the tool quotes them.
function keywordsNamed(message) {
  return state.table.map((s) => s.keyword).filter((keyword) => message.includes(`'${keyword}'`));
}

// What to show beside each field: why an edit could not be read, what an edit was warned
// about, and any other warning the edits brought that names the setting. A warning the file
// gave as it was opened is shown beside the file, and beside the settings it names.
function notesFor(result) {
  const notes = new Map(state.table.map((setting) => [setting.keyword, []]));
  const keywords = [...state.edits.keys()];
  result.edits.forEach((failure, i) => {
    if (failure !== null) {
      notes.get(keywords[i]).push({ text: failure, blocking: true });
    }
  });
  const known = new Set(state.opened.warnings.map((warning) => warning.text));
  for (const warning of result.warnings) {
    if (warning.source.startsWith('--set ')) {
      const keyword = warning.source.slice(6).split('=')[0];
      notes.get(keyword).push({ text: warning.message, blocking: true });
      continue;
    }
    const blocking = !known.has(warning.text);
    for (const keyword of keywordsNamed(warning.message)) {
      notes.get(keyword).push({ text: warning.text, blocking });
    }
  }
  return notes;
}

function showNotes(notes) {
  let blocking = 0;
  for (const [keyword, list] of notes) {
    const items = list.map((note) => element('li', { class: note.blocking ? 'blocking' : 'warning' }, note.text));
    const difference = state.differences.get(keyword);
    if (difference !== undefined) {
      items.push(element('li', { class: 'difference' }, difference));
    }
    $(`note-${keyword}`).replaceChildren(...items);
    const blocked = list.some((note) => note.blocking);
    blocking += blocked ? 1 : 0;
    $(`f-${keyword}`).setAttribute('aria-invalid', blocked ? 'true' : 'false');
    $(`row-${keyword}`).classList.toggle('blocked', blocked);
    $(`row-${keyword}`).classList.toggle('differs', difference !== undefined);
    $(`row-${keyword}`).classList.toggle('edited', state.edits.has(keyword));
  }
  // A warning the edits brought that names no setting still stops a save.
  const named = new Set([...notes.values()].flat().map((note) => note.text));
  const known = new Set(state.opened.warnings.map((warning) => warning.text));
  for (const warning of state.current.warnings) {
    if (!known.has(warning.text) && !warning.source.startsWith('--set ') && !named.has(warning.text)) {
      blocking += 1;
    }
  }
  return blocking;
}

function showWarnings(list, warnings) {
  list.replaceChildren(...warnings
    .filter((warning) => !warning.source.startsWith('--set '))
    .map((warning) => element('li', {}, warning.text)));
}

// The notice as text: printable ASCII as it stands, any other byte as \xNN, up to its end.
function noticeText(bytes) {
  let text = '';
  for (const byte of bytes) {
    if (byte === 0) {
      break;
    }
    const printable = byte >= 0x20 && byte < 0x7f && byte !== 0x5c;
    text += printable ? String.fromCharCode(byte) : byte === 0x5c ? '\\\\' : `\\x${byte.toString(16).padStart(2, '0')}`;
  }
  return text;
}

function showHeader(result) {
  const header = result.header;
  const rows = [
    ['product id', String(header.productId)],
    ['software revision', header.revision],
    ['notice', noticeText(header.notice)],
    ['reserved byte 57', `0x${header.reserved.toString(16).padStart(2, '0')}`],
  ];
  $('header-caption').textContent = result.image ? 'Header of the block, read-only, as the image holds it'
    : 'Header of the block, read-only, as the tool builds it for a text';
  $('header-fields').replaceChildren(
    ...rows.map(([name, value]) => {
      const difference = state.differences.get(name);
      return element('div', { class: difference === undefined ? 'header-field' : 'header-field differs', 'data-name': name },
        element('dt', {}, name), element('dd', {}, value),
        ...(difference === undefined ? [] : [element('dd', { class: 'difference' }, difference)]));
    }));
}

// --- The estimates and the plot -------------------------------------------------------------

function showEstimates(motor, settings) {
  // The report's lines: "; Calculated motor parameters:", ";   On time= 192.552247 usecond", ...
  const values = motor.lines.slice(1).filter((line) => line.includes('=')).map((line) => {
    const [name, value] = line.replace(/^;\s*/, '').split('= ');
    return [element('dt', {}, name), element('dd', {}, value.trim())];
  });
  $('estimate-values').replaceChildren(...values.flat());
  drawPlot(motor, settings);
}

// Why the curve cannot be drawn, in words; null when it can.
function undrawable(motor) {
  const settings = [motor.inductance, motor.resistance, motor.voltage, motor.current];
  if (motor.check.length > 0) {
    return `Not drawn: ${motor.check.join('; ')}.`;
  }
  if (!settings.every(Number.isFinite) || !Number.isFinite(motor.onTime)) {
    return 'Not drawn: the on time is not a finite number.';
  }
  if (settings.some((value) => value <= 0)) {
    return 'Not drawn: the curve needs an inductance, a resistance, a current and a drive voltage above 0.';
  }
  return null;
}

function drawPlot(motor, settings) {
  const figure = $('plot');
  figure.querySelector('svg')?.remove();
  figure.querySelector('p.not-drawn')?.remove();
  const why = undrawable(motor);
  if (why !== null) {
    figure.append(element('p', { class: 'not-drawn', role: 'note' }, why));
    return;
  }
  figure.append(plotOf(motor, settings));
}

// The time the plot spans, in microseconds: the rise to the set current and as much again,
// or the whole rise when the set current lies close to V/R.
function spanOf(onTime, tau) {
  return onTime > 0 ? Math.max(Math.min(3 * onTime, 5 * tau), 1.25 * onTime) : 5 * tau;
}

function plotOf(motor, settings) {
  const { inductance: l, resistance: r, voltage: v, current: i, onTime } = motor;
  const limit = v / r; // amperes, where the current tends
  const tau = (l / 1000 / r) * 1e6; // microseconds
  const current = (t) => limit * (1 - Math.exp((-r * (t * 1e-6)) / (l / 1000)));
  const tMax = spanOf(onTime, tau);
  const top = 1.15 * Math.max(current(tMax), i);
  const width = 480;
  const height = 240;
  const box = { left: 40, right: width - 16, top: 12, bottom: height - 40 };
  const x = (t) => box.left + ((box.right - box.left) * t) / tMax;
  const y = (amperes) => box.bottom - ((box.bottom - box.top) * amperes) / top;
  const points = [];
  for (let n = 0; n <= 240; n += 1) {
    const t = (tMax * n) / 240;
    points.push(`${x(t).toFixed(2)},${y(current(t)).toFixed(2)}`);
  }
  const svg = svgElement('svg', {
    viewBox: `0 0 ${width} ${height}`, role: 'img', 'aria-labelledby': 'plot-title plot-desc',
  });
  const title = svgElement('title', { id: 'plot-title' });
  title.textContent = 'Winding current against time';
  const desc = svgElement('desc', { id: 'plot-desc' });
  desc.textContent = `The current rises towards V/R = ${limit.toPrecision(4)} A and reaches the set `
    + `current, ${shownValue(settings.current)} A, after the on time, ${onTime.toPrecision(6)} µs.`;
  svg.append(title, desc,
    svgElement('path', { class: 'axis', d: `M${box.left},${box.top} V${box.bottom} H${box.right}` }),
    svgElement('line', { class: 'set-current', id: 'plot-set-current', x1: box.left, x2: box.right, y1: y(i), y2: y(i) }),
    svgElement('line', { class: 'on-time', id: 'plot-on-time', x1: x(onTime), x2: x(onTime), y1: box.top, y2: box.bottom }),
    svgElement('polyline', { class: 'curve', id: 'plot-curve', points: points.join(' ') }));
  const label = (text, attributes) => {
    const made = svgElement('text', attributes);
    made.textContent = text;
    svg.append(made);
  };
  if (limit <= top) {
    svg.append(svgElement('line', { class: 'limit', x1: box.left, x2: box.right, y1: y(limit), y2: y(limit) }));
    label(`V/R = ${limit.toPrecision(4)} A`, { x: box.right, y: y(limit) - 4, 'text-anchor': 'end' });
  } else {
    label(`rising towards V/R = ${limit.toPrecision(4)} A`, { x: box.right, y: box.top + 10, 'text-anchor': 'end' });
  }
  label(`I = ${shownValue(settings.current)} A`, { x: box.left + 4, y: y(i) - 4 });
  label(`on time ${onTime.toPrecision(4)} µs`, { x: x(onTime) + 4, y: box.bottom - 6 });
  label('0', { x: box.left, y: box.bottom + 14, 'text-anchor': 'middle' });
  label(`${tMax.toPrecision(3)}`, { x: box.right, y: box.bottom + 14, 'text-anchor': 'end' });
  label('t (µs)', { x: (box.left + box.right) / 2, y: box.bottom + 30, 'text-anchor': 'middle' });
  label('i (A)', { x: 4, y: box.top + 10 });
  return svg;
}

// --- Saving ---------------------------------------------------------------------------------

function buildSaveButtons() {
  for (const kind of state.tool.kinds().filter((k) => k.written)) {
    const button = element('button', { type: 'button', id: `save-${kind.word}`, 'data-kind': kind.word },
      `Save as ${kind.description}`);
    button.addEventListener('click', () => save(kind.word));
    $('save-buttons').append(button);
  }
}

function showSaveStatus(blocking) {
  for (const button of $('save-buttons').querySelectorAll('button')) {
    button.disabled = blocking > 0;
  }
  $('save-status').textContent = blocking > 0
    ? `Nothing can be saved until the marked values are mended (${blocking}).`
    : '';
}

function save(kind) {
  const bytes = state.tool.save(withEdits(state.document), kind);
  const name = state.tool.outputName(state.document.name, kind);
  const link = element('a', { href: URL.createObjectURL(new Blob([bytes])), download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  $('save-status').textContent = `Saved ${name}.`;
}

// --- Comparing ------------------------------------------------------------------------------

function compareWithOther() {
  const result = state.tool.compare(withEdits(state.document), state.other);
  state.differences = new Map();
  const lines = result.lines ?? [];
  for (const line of lines) {
    state.differences.set(line.name, line.text);
  }
  $('compare-verdict').textContent = result.failure ?? result.verdict;
  $('compare-lines').replaceChildren(...lines.map((line) => element('li', {}, line.text)));
  showWarnings($('compare-warnings'), result.warnings);
  // The marks beside the fields and the header follow the differences.
  showNotes(notesFor(state.current));
  showHeader(state.current);
}

function setOther(other) {
  state.other = other;
  state.differences = new Map();
  $('compare-clear').disabled = other === null;
  if (other === null) {
    $('compare-verdict').textContent = '';
    $('compare-lines').replaceChildren();
    $('compare-warnings').replaceChildren();
  }
  if (state.document !== null) {
    refresh();
  }
}

// --- Files ----------------------------------------------------------------------------------

async function documentOf(file) {
  return { bytes: new Uint8Array(await file.arrayBuffer()), name: file.name, kind: '', sets: [] };
}

function wireFiles() {
  $('open').addEventListener('click', () => $('open-file').click());
  $('open-file').addEventListener('change', async (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file) {
      setOther(null);
      openDocument(await documentOf(file));
    }
  });
  $('new').addEventListener('click', () => {
    setOther(null);
    openDocument(NEW_DOCUMENT);
  });
  $('revert').addEventListener('click', () => openDocument(state.document));
  $('compare-open').addEventListener('click', () => $('compare-file').click());
  $('compare-file').addEventListener('change', async (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file) {
      setOther(await documentOf(file));
    }
  });
  $('compare-clear').addEventListener('click', () => setOther(null));
  // A file dropped on the comparison is B; anywhere else it is opened.
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dropping');
  });
  document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    document.body.classList.remove('dropping');
    const [file] = event.dataTransfer.files;
    if (!file) {
      return;
    }
    if (event.target.closest?.('#compare') && !$('compare').hidden) {
      setOther(await documentOf(file));
    } else {
      setOther(null);
      openDocument(await documentOf(file));
    }
  });
}

createKR570().then((tool) => {
  state.tool = tool;
  state.table = tool.settings();
  const report = decoded(tool.save({ ...NEW_DOCUMENT, sets: [] }, 'text'));
  buildForm(groupsOf(report));
  buildSaveButtons();
  wireFiles();
  openDocument(NEW_DOCUMENT);
  performance.mark('kr570-interactive');
  document.documentElement.dataset.ready = 'true';
});
