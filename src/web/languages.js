// languages.js: the page in the reader's language. The build puts every language whose catalogue
// translates all of the page's texts into the script element #languages; the page's own texts,
// in English, are the elements marked data-l10n. The language is the one chosen last with the
// switch (#language), kept in this browser, else the first of the browser's languages the page
// has, else English.
'use strict';

const LANGUAGES = JSON.parse(document.getElementById('languages').textContent);
const LANGUAGE_KEY = 'velmorade-language';
const languageSwitch = document.getElementById('language');
const english = new Map(); // element -> its English text

// The page's tag for a browser's language tag, or null: the language and region where both are
// given, else the language; Chinese by its script, traditional for Taiwan, Hong Kong and Macau.
function pageTag(wanted) {
  const tag = wanted.toLowerCase();
  if (tag === 'en' || tag.startsWith('en-')) return 'en';
  const tags = Object.keys(LANGUAGES);
  const exact = tags.find(t => t.toLowerCase() === tag);
  if (exact) return exact;
  const base = tag.split('-')[0];
  if (base === 'zh') {
    const chinese = /^zh-(hant|tw|hk|mo)\b/.test(tag) ? 'zh-TW' : 'zh-CN';
    return tags.includes(chinese) ? chinese : null;
  }
  return tags.find(t => t.toLowerCase().split('-')[0] === base) || null;
}

function chosenLanguage() {
  let kept = null;
  try {
    kept = localStorage.getItem(LANGUAGE_KEY);
  } catch (error) { /* storage refused: the browser's languages decide */ }
  if (kept === 'en' || (kept && LANGUAGES[kept])) return kept;
  for (const wanted of navigator.languages || [navigator.language || 'en']) {
    const tag = pageTag(wanted);
    if (tag) return tag;
  }
  return 'en';
}

// Shows the page in a language: its texts, and lang and dir on the page, so that screen readers
// speak it and right-to-left scripts run so.
function showLanguage(tag) {
  const language = LANGUAGES[tag];
  for (const [element, text] of english) {
    const shown = language ? language.texts[text] : text;
    if (element.dataset.l10n) element.setAttribute(element.dataset.l10n, shown);
    else element.textContent = shown;
  }
  document.documentElement.lang = language ? tag : 'en';
  document.documentElement.dir = language ? language.dir : 'ltr';
  languageSwitch.value = language ? tag : 'en';
}

// data-l10n="NAME" marks the attribute NAME rather than the text.
for (const element of document.querySelectorAll('[data-l10n]')) {
  const text = element.dataset.l10n ? element.getAttribute(element.dataset.l10n) : element.textContent;
  english.set(element, text.split(/\s+/).filter(Boolean).join(' '));
}
for (const tag of Object.keys(LANGUAGES).sort()) {
  const option = new Option(LANGUAGES[tag].name, tag);
  option.lang = tag;
  languageSwitch.add(option);
}
languageSwitch.addEventListener('change', () => {
  try {
    localStorage.setItem(LANGUAGE_KEY, languageSwitch.value);
  } catch (error) { /* not kept, but shown */ }
  showLanguage(languageSwitch.value);
});
showLanguage(chosenLanguage());
