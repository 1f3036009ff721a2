// The page's script: reads the forms, calls the JSON endpoints of this
// server and shows the answers.  Every text from an answer is inserted with
// textContent, never as markup.
'use strict';

const ACCOUNT_CODES = {
  0: 'account number invalid',
  1: 'account number valid',
  2: 'bank code malformed',
  3: 'account number malformed',
  4: 'IBAN malformed',
  6: 'query of the wrong shape',
  7: 'bank code unknown',
  8: 'bank without a check method',
  9: 'account accepted without a check digit',
};

const SEPA_CODES = {
  0: 'IBAN invalid (country, check digits or national check)',
  1: 'IBAN valid',
  2: 'BIC malformed',
  3: 'IBAN malformed',
  4: 'IBAN does not match its country\'s format',
  6: 'query of the wrong shape',
  7: 'bank code unknown in the national directory',
  9: 'IBAN valid, BIC not the bank\'s or not confirmed',
};

const SEARCH_CODES = {
  0: 'no bank matches',
  1: 'all matching banks are listed',
  2: 'postcode prefix: 2 to 5 digits',
  3: 'place: 3 to 35 letters',
  4: 'name: 3 to 60 letters',
  6: 'give at least one criterion',
  7: 'hit limit malformed',
  8: 'bank code prefix (4 to 8 digits) or BIC part (6 to 11 characters) malformed',
  9: 'more banks match than are listed',
};

const REACH = { 1: 'reachable', 0: 'not reachable', 9: 'unknown' };

function $(id) { return document.getElementById(id); }

// The endpoint's answer as an object; null (and a message) when the server
// did not answer with JSON.
async function call(path, fields) {
  const params = new URLSearchParams();
  for (const [key, value] of Object.entries(fields)) {
    if (value !== '') params.append(key, value);
  }
  params.append('allinfo', '1');
  params.append('utf8', '1');
  params.append('json', '1');
  const response = await fetch(path + '?' + params.toString(), {
    headers: { Accept: 'application/json' },
  });
  if (!response.ok) throw new Error('HTTP ' + response.status);
  const type = response.headers.get('Content-Type') || '';
  if (!type.startsWith('application/json')) throw new Error('the server answered without JSON');
  return response.json();
}

function text(value) { return value === undefined || value === null ? '' : String(value); }

function setStatus(id, message, ok) {
  const p = $(id);
  p.textContent = message;
  p.className = 'status ' + (ok ? 'ok' : 'bad');
}

function codeText(table, answer) {
  let s = 'code ' + text(answer.code) + ': ' + (table[answer.code] || 'unknown code');
  if (answer.reason) s += ' (' + text(answer.reason) + ')';
  return s;
}

// A definition list of label/value pairs, values as text.
function showFacts(id, facts) {
  const dl = $(id);
  dl.replaceChildren();
  for (const [label, value] of facts) {
    if (value === undefined || value === null || value === '') continue;
    const dt = document.createElement('dt');
    dt.textContent = label;
    const dd = document.createElement('dd');
    dd.textContent = text(value);
    dd.dataset.field = label;
    dl.append(dt, dd);
  }
  dl.hidden = dl.childElementCount === 0;
}

// The hits of a search answer: the answer's array of hit objects.
function hitsOf(answer) {
  if (Array.isArray(answer.hits)) return answer.hits;
  for (const value of Object.values(answer)) if (Array.isArray(value)) return value;
  return [];
}

async function search(event) {
  event.preventDefault();
  const table = $('search-results');
  const tbody = table.querySelector('tbody');
  tbody.replaceChildren();
  table.hidden = true;
  try {
    const answer = await call('/v1/search', {
      nam: $('search-nam').value.trim(),
      loc: $('search-loc').value.trim(),
      zip: $('search-zip').value.trim(),
      blz: $('search-blz').value.trim(),
      bic: $('search-bic').value.trim(),
    });
    const hits = hitsOf(answer);
    for (const hit of hits) {
      const tr = document.createElement('tr');
      for (const key of ['blz', 'name', 'zip', 'location', 'bic']) {
        const td = document.createElement('td');
        td.textContent = text(hit[key]);
        tr.append(td);
      }
      tbody.append(tr);
    }
    table.hidden = hits.length === 0;
    const ok = answer.code === 1 || answer.code === 9;
    setStatus('search-status', hits.length + ' banks; ' + codeText(SEARCH_CODES, answer), ok);
  } catch (e) {
    setStatus('search-status', 'No answer: ' + e.message, false);
  }
}

async function checkAccount(event) {
  event.preventDefault();
  $('account-result').hidden = true;
  try {
    const answer = await call('/v1/account', {
      knr: $('account-knr').value.trim(),
      blz: $('account-blz').value.trim(),
    });
    setStatus('account-status', codeText(ACCOUNT_CODES, answer), answer.code === 1 || answer.code === 9);
    showFacts('account-result', [
      ['Bank', answer.name],
      ['Postcode', answer.zip],
      ['Place', answer.location],
      ['IBAN', answer.ibn],
      ['BIC', answer.bic],
    ]);
  } catch (e) {
    setStatus('account-status', 'No answer: ' + e.message, false);
  }
}

async function checkIban(event) {
  event.preventDefault();
  $('iban-result').hidden = true;
  try {
    const answer = await call('/v1/sepa', {
      ibn: $('iban-ibn').value.trim(),
      bic: $('iban-bic').value.trim(),
      lenient: '1',
    });
    setStatus('iban-status', codeText(SEPA_CODES, answer), answer.code === 1 || answer.code === 9);
    const reach = (flag) => (flag === undefined ? undefined : REACH[flag] || text(flag));
    showFacts('iban-result', [
      ['Bank', answer.name],
      ['Postcode', answer.zip],
      ['Place', answer.location],
      ['Country', answer.country],
      ['BIC', answer.bic],
      ['SEPA credit transfer', reach(answer.sct)],
      ['SEPA core direct debit', reach(answer.sdd)],
      ['SEPA B2B direct debit', reach(answer.b2b)],
      ['SEPA card clearing', reach(answer.scc)],
    ]);
  } catch (e) {
    setStatus('iban-status', 'No answer: ' + e.message, false);
  }
}

async function showVersion() {
  try {
    const response = await fetch('/v1/version', { headers: { Accept: 'text/plain' } });
    const bytes = await response.arrayBuffer();
    $('version').textContent = new TextDecoder('windows-1252').decode(bytes);
  } catch (e) {
    $('version').textContent = '';
  }
}

document.addEventListener('DOMContentLoaded', () => {
  $('search-form').addEventListener('submit', search);
  $('account-form').addEventListener('submit', checkAccount);
  $('iban-form').addEventListener('submit', checkIban);
  showVersion();
});
