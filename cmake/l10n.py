#!/usr/bin/python3
"""l10n.py: the translations in po/, made into each target's own form, and checked.

  l10n.py template PODIR                 writes PODIR/velmorade.pot from the sources
  l10n.py update PODIR                   the template, then each catalogue merged with it
  l10n.py check PODIR [--complete]       every catalogue passes msgfmt --check and holds the
                                         photosensitivity warning, translated and not fuzzy;
                                         with --complete, every text too
  l10n.py desktop PODIR IN OUT           a desktop entry with its translations (msgfmt --desktop)
  l10n.py xml PODIR IN OUT               AppStream data with its translations (msgfmt --xml)
  l10n.py man PODIR IN OUTDIR            OUTDIR/LANG/velmorade.6.in for each language (po4a)
  l10n.py web PODIR HTML SCRIPT OUT      the page with its texts in each language and the script
                                         that shows them (@LANGUAGES@, @LANGUAGES_JS@)
  l10n.py nsis PODIR NSI OUT             the setup's languages: NSIS's own and the setup's texts
  l10n.py rc PODIR RC OUT                the Windows programs' string table in each language

A target takes only the languages whose catalogue translates every one of its texts; the others
see it in English, never half in one language and half in another. The standard tools do the
work (xgettext, msgfmt, msgmerge, po4a); this script only chooses languages and reads the
compiled catalogues for the pages, the setup's texts and the Windows string table, which have no
tool of their own.
"""
import gettext
import html.parser
import json
import os
import re
import subprocess
import sys
import tempfile

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DESKTOP_KEYS = ['GenericName', 'Comment', 'Keywords']
PAGES = ['src/web/velmorade.html', 'src/web/index.html']
SETUP = 'cmake/windows-setup.nsi'
RESOURCES = 'data/velmorade.rc.in'
# Each language's names in NSIS (its language file, its LANG_ constant) and in Windows (its
# primary and sub-language numbers; 0, any region, where one catalogue serves them all).
WINDOWS_LANGUAGES = {
    'ar': ('Arabic', 0x01, 0), 'de': ('German', 0x07, 0), 'es': ('Spanish', 0x0a, 0),
    'fr': ('French', 0x0c, 0), 'it': ('Italian', 0x10, 0), 'ja': ('Japanese', 0x11, 0),
    'ko': ('Korean', 0x12, 0), 'nl': ('Dutch', 0x13, 0), 'pl': ('Polish', 0x15, 0),
    'pt_BR': ('PortugueseBR', 0x16, 0x01), 'ru': ('Russian', 0x19, 0), 'tr': ('Turkish', 0x1f, 0),
    'uk': ('Ukrainian', 0x22, 0), 'zh_CN': ('SimpChinese', 0x04, 0x02), 'zh_TW': ('TradChinese', 0x04, 0x01),
}
SETUP_TEXT = re.compile(r'^LangString (\w+) \$\{LANG_ENGLISH\} "(.*)"$')
RESOURCE_TEXT = re.compile(r'^\s*(\d+) "(.*)"$')
MAN_PAGE = 'data/velmorade.6.in'
APPSTREAM_ITS = '/usr/share/gettext/its'
# The texts that carry the warning are known by these words, in whichever target they stand.
WARNING = re.compile(r'photosensitive epilepsy|photosensitivity warning', re.IGNORECASE)
# A language's own name, which the pages' language switch shows.
OWN_NAME = ('own name of this language', 'English')
RIGHT_TO_LEFT = {'ar', 'fa', 'he', 'ur'}
# A catalogue's header: its comments and the entry of the empty msgid.
HEADER = re.compile(r'\A(?:#.*\n)*msgid ""\nmsgstr ""\n(?:".*"\n)*\n')


def fail(message):
    print(f'l10n: {message}', file=sys.stderr)
    sys.exit(1)


def run(*command, **options):
    result = subprocess.run(command, capture_output=True, text=True, **options)
    if result.returncode != 0:
        fail(f'{command[0]} failed: {result.stderr.strip()}')
    return result.stdout


def languages(podir):
    with open(os.path.join(podir, 'LINGUAS'), encoding='utf-8') as f:
        return [word for line in f for word in line.split('#')[0].split()]


def catalogue(podir, lang, work):
    """The language's translated, non-fuzzy texts, as msgfmt compiles them (msgid -> msgstr,
    "context\\x04msgid" for a text with a context)."""
    po = os.path.join(podir, f'{lang}.po')
    mo = os.path.join(work, f'{lang}.mo')
    result = subprocess.run(['msgfmt', '--check', '-o', mo, po], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f'{lang}: {po} is refused by msgfmt --check:\n{result.stderr.strip()}')
    # The catalogue itself, not gettext(): a text may rightly be the same in both languages.
    with open(mo, 'rb') as f:
        return {k: v for k, v in gettext.GNUTranslations(f)._catalog.items() if k and v}


def texts_of(pot, work):
    """The msgids of a template, read back as msgfmt compiles it with each text as its own
    translation."""
    mo = os.path.join(work, 'texts.mo')
    english = run('msgen', pot)
    run('msgfmt', '-o', mo, '-', input=english)
    with open(mo, 'rb') as f:
        return [k for k in gettext.GNUTranslations(f)._catalog if k]


def linguas_dir(podir, langs, work):
    """A folder like PODIR whose LINGUAS names only these languages, for msgfmt's -d."""
    folder = tempfile.mkdtemp(dir=work)
    for lang in langs:
        os.symlink(os.path.abspath(os.path.join(podir, f'{lang}.po')), os.path.join(folder, f'{lang}.po'))
    with open(os.path.join(folder, 'LINGUAS'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(langs) + '\n')
    return folder


# The templates of each kind of source


def desktop_pot(sources, out):
    run('xgettext', '--language=Desktop', '-k', *[f'--keyword={k}' for k in DESKTOP_KEYS],
        '--omit-header', '-o', out, *sources, cwd=SOURCE)


def appstream_rules():
    """The environment that has xgettext and msgfmt read AppStream data by AppStream's own rules,
    which keep untranslated what the data marks translate="no"; gettext's older copies of them,
    which gettext would take in their absence, differ from one release of gettext to another."""
    if not os.path.exists(os.path.join(APPSTREAM_ITS, 'metainfo.its')):
        fail(f'AppStream\'s translation rules are not in {APPSTREAM_ITS} (Debian\'s appstream package)')
    return dict(os.environ, GETTEXTDATADIRS=os.path.dirname(APPSTREAM_ITS))


def xml_pot(sources, out):
    run('xgettext', '--its', os.path.join(APPSTREAM_ITS, 'metainfo.its'), '--omit-header', '-o', out, *sources,
        cwd=SOURCE, env=appstream_rules())


def man_pot(source, out):
    run('po4a-updatepo', '--format', 'man', '--master', source, '--master-charset', 'UTF-8',
        '--po', out, cwd=SOURCE)


class PageTexts(html.parser.HTMLParser):
    """The texts of a page's elements marked data-l10n, plain text with its spaces made single,
    and of the attributes that data-l10n names."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.texts = []  # (line, text)
        self.open = []  # one entry per element: its text so far, or None when unmarked

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        # data-l10n="NAME" marks the attribute NAME rather than the text.
        if attrs.get('data-l10n'):
            self.texts.append((self.getpos()[0], ' '.join(attrs[attrs['data-l10n']].split())))
        if tag in ('meta', 'link', 'img', 'br', 'input'):
            return
        self.open.append([] if 'data-l10n' in attrs and not attrs['data-l10n'] else None)
        if self.open[-1] is not None:
            self.open[-1].append(self.getpos()[0])

    def handle_endtag(self, tag):
        if not self.open:
            return
        marked = self.open.pop()
        if marked is not None:
            self.texts.append((marked[0], ' '.join(''.join(marked[1:]).split())))

    def handle_data(self, data):
        if self.open and self.open[-1] is not None:
            self.open[-1].append(data)


def page_texts(path):
    parser = PageTexts()
    with open(path, encoding='utf-8') as f:
        parser.feed(f.read())
    return parser.texts


def po_string(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"').replace('\n', '\\n') + '"'


def lines_matching(path, pattern):
    """(line, match) for each line of the file that the pattern matches."""
    with open(path, encoding='utf-8') as f:
        return [(n, m) for n, line in enumerate(f, 1) for m in [pattern.match(line.rstrip('\n'))] if m]


def setup_texts(path):
    """The setup's own texts, NAME -> English, as its English LangStrings give them."""
    return {m.group(1): m.group(2) for _, m in lines_matching(path, SETUP_TEXT)}


def own_pot(out):
    """The texts of the pages, the setup and the Windows string table, which xgettext cannot read."""
    entries = {}
    for page in PAGES:
        for line, text in page_texts(os.path.join(SOURCE, page)):
            entries.setdefault(text, []).append(f'{page}:{line}')
    for path, pattern in ((SETUP, SETUP_TEXT), (RESOURCES, RESOURCE_TEXT)):
        for line, m in lines_matching(os.path.join(SOURCE, path), pattern):
            entries.setdefault(m.group(2), []).append(f'{path}:{line}')
    with open(out, 'w', encoding='utf-8') as f:
        f.write(f'#. The language switch shows each language by this name, in that language.\n'
                f'msgctxt {po_string(OWN_NAME[0])}\nmsgid {po_string(OWN_NAME[1])}\nmsgstr ""\n\n')
        for text, places in entries.items():
            f.write(f'#: {" ".join(places)}\nmsgid {po_string(text)}\nmsgstr ""\n\n')


def template(podir):
    with tempfile.TemporaryDirectory() as work:
        parts = [os.path.join(work, f'{n}.pot') for n in ('desktop', 'xml', 'own', 'man')]
        desktop_pot(['data/io.github.velmorade.Velmorade.desktop.in', 'data/saver/velmorade.desktop.in'], parts[0])
        xml_pot(['data/io.github.velmorade.Velmorade.metainfo.xml.in'], parts[1])
        own_pot(parts[2])
        man_pot(MAN_PAGE, parts[3])
        # po4a writes a header of its own; the template's is written below, without a date, so that
        # the template changes only when a text does.
        with open(parts[3], encoding='utf-8') as f:
            man_texts = HEADER.sub('', f.read())
        with open(parts[3], 'w', encoding='utf-8') as f:
            f.write(man_texts)
        pot = os.path.join(podir, 'velmorade.pot')
        run('msgcat', '--use-first', '-o', pot, *parts)
        with open(pot, encoding='utf-8') as f:
            body = HEADER.sub('', f.read())
        header = ('# The texts Velmorade shows outside its own window. Made by cmake/l10n.py template.\n'
                  'msgid ""\nmsgstr ""\n"Project-Id-Version: velmorade\\n"\n'
                  '"Report-Msgid-Bugs-To: https://github.com/velmorade/velmorade/issues\\n"\n'
                  '"Language: \\n"\n"MIME-Version: 1.0\\n"\n"Content-Type: text/plain; charset=UTF-8\\n"\n'
                  '"Content-Transfer-Encoding: 8bit\\n"\n\n')
        with open(pot, 'w', encoding='utf-8') as f:
            f.write(header + body)


def update(podir):
    template(podir)
    for lang in languages(podir):
        run('msgmerge', '--quiet', '--update', '--backup=none', '--previous',
            os.path.join(podir, f'{lang}.po'), os.path.join(podir, 'velmorade.pot'))


def check(podir, want_complete):
    pot = os.path.join(podir, 'velmorade.pot')
    problems = []
    with tempfile.TemporaryDirectory() as work:
        texts = texts_of(pot, work)
        warnings = [t for t in texts if WARNING.search(t)]
        if not warnings:
            fail(f'{pot} holds no photosensitivity warning')
        for lang in languages(podir):
            po = os.path.join(podir, f'{lang}.po')
            if not os.path.exists(po):
                problems.append(f'{lang}: {po} is missing')
                continue
            have = catalogue(podir, lang, work)
            missing = [t for t in warnings if t not in have]
            if missing:
                problems.append(f'{lang}: {po} lacks the photosensitivity warning, or holds it fuzzy: '
                                + '; '.join(m[:60] + '...' for m in missing))
            untranslated = [t for t in texts if t not in have]
            if want_complete and untranslated:
                problems.append(f'{lang}: {po} leaves {len(untranslated)} texts untranslated or fuzzy, the first: '
                                + untranslated[0][:60])
    if problems:
        fail('\n'.join(problems))


def merge(kind, podir, source, out):
    with tempfile.TemporaryDirectory() as work:
        pot = os.path.join(work, 'target.pot')
        (desktop_pot if kind == 'desktop' else xml_pot)([os.path.abspath(source)], pot)
        langs = list(translations(podir, texts_of(pot, work), work)) if os.path.getsize(pot) else []
        folder = linguas_dir(podir, langs, work)
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        run('msgfmt', f'--{kind}', '--template', source, '-d', folder, '-o', out,
            env=appstream_rules() if kind == 'xml' else None)


# Chinese and Japanese run without spaces, where groff would break no line: each character but
# those that must not begin a line is given a break point after it (\:), and lines are set
# ragged, as there are no spaces to stretch.
CJK = re.compile('([\u3040-\u30ff\u3400-\u9fff\uf900-\ufaff\uff01-\uff5e])'
                 '(?=[^)\u3001\u3002\u30fc\uff09\uff0c\uff0e\uff1a\uff1b\uff01\uff1f\u300d\u300f\n])')


def break_cjk(page):
    with open(page, encoding='utf-8') as f:
        lines = f.read().split('\n')
    out = []
    for line in lines:
        out.append(line if line.startswith(('.', "'")) else CJK.sub(r'\1\\:', line))
        if line.startswith('.TH '):
            out += ['.ad l', '.ds AD l']  # groff 1.23's man macros adjust each paragraph by AD
    with open(page, 'w', encoding='utf-8') as f:
        f.write('\n'.join(out))


def man(podir, source, outdir):
    for lang in languages(podir):
        os.makedirs(os.path.join(outdir, lang), exist_ok=True)
        out = os.path.join(outdir, lang, os.path.basename(source))
        if os.path.exists(out):
            os.remove(out)
        # -k 100: a page not wholly translated is not written, and that language reads the English.
        run('po4a-translate', '--format', 'man', '--master', source, '--master-charset', 'UTF-8',
            '--po', os.path.join(podir, f'{lang}.po'), '--localized', out, '--localized-charset', 'UTF-8',
            '--keep', '100')
        if not os.path.exists(out):
            os.rmdir(os.path.join(outdir, lang))
        elif lang.split('_')[0] in ('ja', 'zh'):
            break_cjk(out)


def windows_languages(podir):
    """The languages of LINGUAS that Windows has a name for here."""
    return [lang for lang in languages(podir) if lang in WINDOWS_LANGUAGES]


def translations(podir, texts, work, langs=None):
    """lang -> {text: translation} for each language (of langs, else of LINGUAS) that translates
    all the texts: the languages a target takes."""
    found = {}
    for lang in langs if langs is not None else languages(podir):
        have = catalogue(podir, lang, work)
        if all(t in have for t in texts):
            found[lang] = {t: have[t] for t in texts}
    return found


def web(podir, page, script, out):
    own = '\x04'.join(OWN_NAME)
    texts = [text for _, text in page_texts(page)]
    shown = {}
    with tempfile.TemporaryDirectory() as work:
        for lang, have in translations(podir, texts + [own], work).items():
            shown[lang.replace('_', '-')] = {
                'name': have[own], 'dir': 'rtl' if lang.split('_')[0] in RIGHT_TO_LEFT else 'ltr',
                'texts': {t: have[t] for t in texts}}
    with open(page, encoding='utf-8') as f:
        html = f.read()
    with open(script, encoding='utf-8') as f:
        code = f.read()
    # Inside a script element, "</" could end it early.
    data = json.dumps(shown, ensure_ascii=False, sort_keys=True, separators=(',', ':')).replace('</', '<\\/')
    with open(out, 'w', encoding='utf-8') as f:
        f.write(html.replace('@LANGUAGES@', data).replace('@LANGUAGES_JS@', code))


def nsis_string(text):
    return '"' + text.replace('$', '$$').replace('"', '$\\"').replace('\n', '$\\r$\\n') + '"'


def nsis(podir, setup, out):
    english = setup_texts(setup)
    lines = ['; The setup\'s languages besides English, written by cmake/l10n.py from po/.']
    with tempfile.TemporaryDirectory() as work:
        for lang, have in translations(podir, list(english.values()), work, windows_languages(podir)).items():
            name = WINDOWS_LANGUAGES[lang][0]
            lines.append(f'!insertmacro MUI_LANGUAGE "{name}"')
            lines += [f'LangString {key} ${{LANG_{name.upper()}}} {nsis_string(have[text])}'
                      for key, text in english.items()]
    # NSIS reads a file as UTF-8 where it starts with the byte order mark.
    with open(out, 'w', encoding='utf-8-sig') as f:
        f.write('\n'.join(lines) + '\n')


def rc_string(text):
    """A wide string for windres, every character but plain ASCII as its code."""
    return 'L"' + ''.join(c if ' ' <= c <= '~' and c not in '"\\' else f'\\x{ord(c):04x}' for c in text) + '"'


def rc(podir, resources, out):
    english = [(m.group(1), m.group(2)) for _, m in lines_matching(resources, RESOURCE_TEXT)]
    lines = ['// The Windows programs\' texts besides English, written by cmake/l10n.py from po/.']
    with tempfile.TemporaryDirectory() as work:
        for lang, have in translations(podir, [text for _, text in english], work, windows_languages(podir)).items():
            _, primary, sub = WINDOWS_LANGUAGES[lang]
            lines += [f'LANGUAGE 0x{primary:02x}, 0x{sub:02x}', 'STRINGTABLE', 'BEGIN']
            lines += [f'  {number} {rc_string(have[text])}' for number, text in english]
            lines.append('END')
    with open(out, 'w', encoding='ascii') as f:
        f.write('\n'.join(lines) + '\n')


def main(argv):
    if len(argv) < 3:
        fail(__doc__)
    command, podir = argv[1], argv[2]
    if command == 'template' and len(argv) == 3:
        template(podir)
    elif command == 'update' and len(argv) == 3:
        update(podir)
    elif command == 'check' and len(argv) in (3, 4):
        check(podir, argv[3:] == ['--complete'])
    elif command in ('desktop', 'xml') and len(argv) == 5:
        merge(command, podir, argv[3], argv[4])
    elif command == 'man' and len(argv) == 5:
        man(podir, argv[3], argv[4])
    elif command == 'web' and len(argv) == 6:
        web(podir, argv[3], argv[4], argv[5])
    elif command == 'nsis' and len(argv) == 5:
        nsis(podir, argv[3], argv[4])
    elif command == 'rc' and len(argv) == 5:
        rc(podir, argv[3], argv[4])
    else:
        fail(__doc__)


if __name__ == '__main__':
    main(sys.argv)
