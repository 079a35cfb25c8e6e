"""web_languages.py: the checks of the pages in the reader's language, for web_check.py: the
language the browser asks for, the switch, a browser set to reduce motion, and an accessibility
audit by axe-core in every language."""
import json

from browsers import fail, wait_for

ESCAPE = '\ue00c'
# What the page shows in a language: its lang and dir, and each marked text as the page's own
# catalogue of languages gives it for that language (English where it has none).
SHOWN = '''const all = JSON.parse(document.getElementById('languages').textContent);
const wrong = [];
for (const e of document.querySelectorAll('[data-l10n]')) {
  const shown = e.dataset.l10n ? e.getAttribute(e.dataset.l10n) : e.textContent;
  if (all[document.documentElement.lang] && !Object.values(all[document.documentElement.lang].texts).includes(shown))
    wrong.push(shown);
}
return [document.documentElement.lang, document.documentElement.dir, getComputedStyle(document.body).direction,
        document.getElementById('language').value, Object.keys(all).length, wrong];'''


def forget(b):
    """The language chosen with the switch is forgotten, as in a new browser."""
    page_script(b, 'try { localStorage.clear(); } catch (e) {}')


def shown(b):
    return b.script(SHOWN)


def choose(b, tag):
    """Picks a language with the page's switch, as a reader would."""
    b.script(f"const s = document.getElementById('language'); s.value = {json.dumps(tag)};"
             " s.dispatchEvent(new Event('change', {bubbles: true}))")


def expect(b, where, lang, direction, word=None):
    got = wait_for(f'the page in {lang} {where}', 10, lambda: shown(b)[0] == lang and shown(b),
                   lambda: f'lang={shown(b)[0]}')
    _, dir_attr, dir_css, switch, count, wrong = got
    if count < 15:
        fail(f'the page holds {count} languages, not the 15 of po/LINGUAS')
    if (dir_attr or 'ltr') != direction or dir_css != direction or switch != lang:
        fail(f'{where}: dir {dir_attr}/{dir_css}, switch {switch}, for {lang}')
    if wrong:
        fail(f'{where}: texts not in {lang}: {wrong[:2]}')
    if word and word not in b.script('return document.body.innerText'):
        fail(f'{where}: no "{word}" on the page')


def check(b, url, site, axe, playing, start_screen):
    """The page at url (and the site's home page, where given) in the reader's language."""
    b.open(url)
    forget(b)
    # The browser's first language the page has; Arabic right to left; one it lacks: English.
    for asked, lang, direction, word in (('de-DE,de,en', 'de', 'ltr', 'Warnhinweis zur Fotosensibilität'),
                                         ('sw,ar,en', 'ar', 'rtl', 'تحذير'),
                                         ('sw,kk', 'en', 'ltr', 'Photosensitivity warning'),
                                         ('zh-TW,en', 'zh-TW', 'ltr', '光敏感')):
        b.languages(asked)
        b.open(url)
        expect(b, f'with the browser asking for {asked}', lang, direction, word)

    # The switch wins over the browser, and is kept across a reload.
    b.languages('de-DE,de')
    b.open(url)
    choose(b, 'fr')
    expect(b, 'once French is chosen', 'fr', 'ltr', 'photosensibilité')
    b.open(url)
    expect(b, 'reloaded after French was chosen', 'fr', 'ltr')

    # A browser set to reduce motion: the page says so, and Start only asks again; Escape takes
    # that back, and only the second choice plays.
    b.reduce_motion(True)
    b.open(url)
    asked = b.script("return getComputedStyle(document.getElementById('reduced-motion')).display !== 'none'")
    if not asked:
        fail('with reduced motion the start screen does not say so')
    b.click('#start-button')
    confirm = wait_for('the second choice', 10, lambda: b.script(
        "return !document.getElementById('confirm').hidden && document.activeElement.id"))
    if confirm != 'confirm-button' or b.script("return !!document.querySelector('canvas')"):
        fail(f'with reduced motion Start did more than ask again (focus on {confirm})')
    b.key(ESCAPE)
    wait_for('Escape to take the second choice back', 10, lambda: b.script(
        "return document.getElementById('confirm').hidden && document.activeElement.id === 'start-button'"))
    b.click('#start-button')
    b.click('#confirm-button')
    playing()
    b.key(ESCAPE)
    wait_for('the start screen after Escape, with reduced motion', 20, start_screen)
    b.reduce_motion(False)

    # No serious or critical finding of axe-core on either page, in any language: axe-core is
    # put into each page once, and audits it in each language in turn.
    with open(axe, encoding='utf-8') as f:
        code = f.read()
    for address in [url] + ([site] if site else []):
        b.open(address)
        page_script(b, code)
        tags = ['en'] + sorted(json.loads(b.script("return document.getElementById('languages').textContent")))
        for tag in tags:
            choose(b, tag)
            findings = audit(b)
            if findings:
                fail(f'axe-core on {address.rsplit("/", 1)[-1]} in {tag}: {findings}')
    forget(b)
    b.languages('en-US,en')


def page_script(b, code):
    """Runs code as the page's own script, where the page's globals are."""
    b.script(f"const s = document.createElement('script'); s.textContent = {json.dumps(code)}; document.head.append(s)")


def audit(b):
    b.script('delete window.axeFindings')
    page_script(b, "axe.run(document).then(r => { window.axeFindings = r.violations"
                ".filter(v => v.impact === 'serious' || v.impact === 'critical')"
                ".map(v => v.id + ': ' + v.nodes.map(n => n.target.join(' ')).join(', ')); });")
    return wait_for('the audit', 60, lambda: b.script('return window.axeFindings && [window.axeFindings]'))[0]
