"""The help pages explain every message the programs show, and their links
to a place in a page find it.

Messages: finds the statements of the sources that show a message or raise an error
(showMessage, showError, throw Error, the batch runner's error stream...),
takes the fixed text of each (every run of string literals it holds), and
checks that the help pages hold each such text, quoted as the program shows
it: with the parts that vary (a path, a table name) written in between.

Links: every link with a fragment (page.html#place, #place) names a page
that has <a name="place"> (that the pages themselves exist is checked by the
main window's tests, which open them).

    check_help_pages.py SOURCE_DIR
"""

import html
import pathlib
import re
import sys

# Tools of the build and of development, not installed; and the help window,
# whose one message says that the help pages are missing.
NOT_SHOWN_TO_USERS = {"tools/make_materias_main.cpp", "gui-qt/HelpWindow.cpp"}

# The reason a run ends when the main window has closed under a dialog: with
# the window gone, nobody sees it.
NEVER_SEEN = {"La ventana de Pasavel se ha cerrado antes de elegir los marcos horarios."}

# Where a statement that shows a message begins.
MESSAGE_STATEMENT = re.compile(
    r"\b(?:throw\s+Error|fail|damaged|showMessage|showError|reportFailure|abandon)\s*\("
    r"|\b(?:m_noChoiceReason|m_startupError|handleError|reason)\s*\+?="
    r"|\b(?:err|m_err)\s*<<"
    r"|\btext\s*\+=\s*QStringLiteral"
    r"|\bconstexpr\s+std::u16string_view\s+\w+\s*="
)
LITERAL = re.compile(r'(?:u8|u|L)?"((?:[^"\\\n]|\\.)*)"')
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\", "'": "'"}


def statement_at(text, start):
    """The source from start to the end of its statement (the first ; outside a literal)."""
    index = start
    in_literal = False
    while index < len(text):
        character = text[index]
        if in_literal:
            if character == "\\":
                index += 1
            elif character == '"':
                in_literal = False
        elif character == '"':
            in_literal = True
        elif character == ";":
            break
        index += 1
    return text[start:index]


def fixed_texts(statement):
    """The runs of adjacent string literals of a statement, joined and unescaped."""
    runs, current, last_end = [], None, None
    for match in LITERAL.finditer(statement):
        adjacent = current is not None and statement[last_end:match.start()].strip() in ("", ")", "QStringLiteral(")
        value = re.sub(r"\\(.)", lambda escape: ESCAPES.get(escape.group(1), escape.group(1)), match.group(1))
        if adjacent:
            current += value
        else:
            if current is not None:
                runs.append(current)
            current = value
        last_end = match.end()
    if current is not None:
        runs.append(current)
    # Qt's %1, %2... are filled in when the message is shown.
    return [piece for run in runs for piece in re.split(r"%\d", run)]


def normalised(text):
    return " ".join(text.split())


def help_text(folder):
    pages = []
    for page in sorted(folder.glob("*.html")):
        markup = page.read_text(encoding="utf-8")
        markup = re.sub(r"<br\s*/?>", " ", markup)
        pages.append(html.unescape(re.sub(r"<[^>]+>", "", markup)))
    return normalised(" ".join(pages))


def unexplained_messages(source, documented):
    missing = []
    for path in sorted((source / "src").rglob("*")):
        relative = path.relative_to(source / "src").as_posix()
        if path.suffix not in (".cpp", ".h") or relative in NOT_SHOWN_TO_USERS:
            continue
        code = path.read_text(encoding="utf-8")
        for start in MESSAGE_STATEMENT.finditer(code):
            for fragment in fixed_texts(statement_at(code, start.start())):
                fragment = normalised(fragment)
                # Separators between the varying parts say nothing alone.
                if sum(character.isalpha() for character in fragment) < 3 or fragment in NEVER_SEEN:
                    continue
                if fragment not in documented:
                    line = code.count("\n", 0, start.start()) + 1
                    missing.append(f"src/{relative}:{line}: «{fragment}»")
    return missing


def broken_fragments(folder):
    pages = {page.name: page.read_text(encoding="utf-8") for page in folder.glob("*.html")}
    anchors = {name: set(re.findall(r'<a name="([^"]+)"', markup)) for name, markup in pages.items()}
    broken = []
    for name, markup in sorted(pages.items()):
        for target, place in re.findall(r'href="([^"#]*)#([^"]+)"', markup):
            page = target or name
            if place not in anchors.get(page, set()):
                broken.append(f"{name}: {target}#{place}")
    return broken


def main():
    source = pathlib.Path(sys.argv[1])
    folder = source / "help" / "RAICES"
    missing = unexplained_messages(source, help_text(folder))
    broken = broken_fragments(folder)
    if missing:
        print("Mensajes que las páginas de ayuda (help/RAICES) no explican:")
        print("\n".join(missing))
    if broken:
        print("Enlaces a un lugar que su página no tiene:")
        print("\n".join(broken))
    return 1 if missing or broken else 0


if __name__ == "__main__":
    sys.exit(main())
