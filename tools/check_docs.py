#!/usr/bin/env python3
"""Checks that what README.md, docs/*.md and the man pages (docs/*.1) cite
still exists: repository paths (globs and {a,b} allowed), GoogleTest names
(Suite.Name) and Qt test slots (SettingsDialogTest::name) defined in tests/,
and the options of sipcrypt and sipcrypt-gui that the sources define.

    tools/check_docs.py [ROOT]

Reads files only (no build): a second or so. Exits 1 naming each stale
reference as FILE:LINE: what.

Where options are looked for: in Markdown, code spans and code lines that
run sipcrypt or sipcrypt-gui (a span that starts with an option or one of
the tool's commands counts as the tool's); in a man page, every line, less
the options that follow another program's name (iconv --list).
"""
import fnmatch
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

TOOL_NAMES = {"sipcrypt", "sipcrypt.exe"}
GUI_NAMES = {"sipcrypt-gui", "sipcrypt-gui.exe"}
COMMANDS = {"encrypt", "decrypt", "accounts"}
# Programs whose options the documents quote beside the tool's own.
FOREIGN = {
    "cat", "chattr", "cmake", "dd", "env", "getfacl", "getfattr", "groff", "iconv", "lintian",
    "ln", "ls", "man", "miller", "mlr", "msiexec", "osslsigncode", "printf", "psql", "read",
    "setfacl", "setfattr", "setpriv", "sqlite3", "strace", "tee", "ulimit", "umask",
}
# Options the documents cite that are not ours: the compiler's and linker's
# (a lone dash and more than one letter: -ffile-prefix-map), and those cited
# as examples of unknown options.
NOT_OURS = {"--frob", "--no-insert-timestamp"}
# Ends of a command within a line.
SEPARATORS = {"|", "||", "&&", ";", "&", "--"}
# Extensions of the repository's own files, checked where a name is cited
# without its folder (code_page_tables.cpp).
SOURCE_EXTENSIONS = (".cpp", ".h", ".py", ".sh", ".cmake", ".wxs", ".bash", ".md", ".1")

OPTION = re.compile(r"^--?[A-Za-z][\w-]*")
OPTION_LITERAL = re.compile(r'"(-{1,2}[A-Za-z][\w-]*(?:,\s*-{1,2}[A-Za-z][\w-]*)*)"')
STRING_LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def tracked_files(root):
    """Every file under root, as repository paths, less build folders and .git."""
    found = []
    for folder, subfolders, files in os.walk(root):
        relative = os.path.relpath(folder, root)
        top = relative.split(os.sep)[0]
        if top == ".git" or top.startswith("build"):
            subfolders[:] = []
            continue
        for name in files:
            found.append(os.path.normpath(os.path.join(relative, name)).replace(os.sep, "/"))
    return found


class Sources:
    """What the repository defines: its folders, files, tests and options."""

    def __init__(self, root):
        self.root = root
        self.files = tracked_files(root)
        self.basenames = {os.path.basename(f) for f in self.files}
        self.top_folders = {f.split("/")[0] for f in self.files if "/" in f}
        self.tests = set()
        self.suites = set()
        self.slots = set()
        for path in self.files:
            if not path.startswith("tests/") or not path.endswith((".cpp", ".h")):
                continue
            text = read(os.path.join(root, path))
            for suite, name in re.findall(r"\bTEST(?:_F|_P)?\(\s*(\w+)\s*,\s*(\w+)\s*\)", text):
                self.tests.add(f"{suite}.{name}")
                self.suites.add(suite)
            for cls in re.findall(r"\bclass\s+(\w+)\s*:\s*public\s+QObject", text):
                for slot in re.findall(r"^\s*void\s+(\w+)\(\)\s*\{", text, re.M):
                    self.slots.add(f"{cls}::{slot}")
        self.tool_options = self.options_in(
            [p for p in self.files if p.startswith("cli/") and p.endswith(".cpp")])
        # CLI11 adds these to the tool and to each command.
        self.tool_options |= {"-h", "--help"}
        self.gui_options = self.options_in(["gui/launch_options.cpp"])

    def options_in(self, paths):
        options = set()
        for path in paths:
            full = os.path.join(self.root, path)
            if not os.path.exists(full):
                continue
            for literal in OPTION_LITERAL.findall(read(full)):
                options.update(part.strip() for part in literal.split(","))
        return options

    def path_exists(self, cited):
        """Whether a repository path names something: a folder (with its /), a
        file, a glob that matches one; with {a,b}, each of them."""
        for path in expand_braces(cited):
            full = os.path.join(self.root, path)
            if path.endswith("/"):
                found = os.path.isdir(full)
            elif any(c in path for c in "*?["):
                found = bool(glob.glob(full))
            else:
                found = os.path.exists(full)
            if not found:
                return False
        return True

    def name_exists(self, name):
        """Whether a file name cited without its folder (a glob too) is some file's."""
        return all(any(fnmatch.fnmatchcase(base, pattern) for base in self.basenames)
                   for pattern in expand_braces(name))


def expand_braces(text):
    match = re.search(r"\{([^{}]*,[^{}]*)\}", text)
    if not match:
        return [text]
    expanded = []
    for part in match.group(1).split(","):
        expanded.extend(expand_braces(text[:match.start()] + part + text[match.end():]))
    return expanded


class Report:
    def __init__(self):
        self.problems = []

    def stale(self, document, line, what):
        self.problems.append(f"{document}:{line}: {what}")


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


# Paths: a token that starts with one of the repository's top folders.
def check_paths(sources, document, text, report, line_base=0):
    tops = "|".join(sorted(re.escape(t) for t in sources.top_folders))
    pattern = re.compile(r"(?<![\w./~$%@:\\-])((?:" + tops + r")/[\w./*?{},\[\]-]*)")
    for match in pattern.finditer(text):
        cited = match.group(1)
        # The end of a Markdown link's text: "[docs/format.md](...)".
        if cited.count("]") > cited.count("["):
            cited = cited[:cited.index("]")]
        cited = cited.rstrip(".,;:)")
        # A brace group that is prose, not a glob: "{a,b}" needs both ends.
        if cited.count("{") != cited.count("}"):
            cited = cited.split("{")[0]
        if not sources.path_exists(cited):
            report.stale(document, line_base + line_of(text, match.start()),
                         f"no such path: {cited}")


def check_names(sources, document, text, report, line_base=0):
    pattern = re.compile(r"(?<![\w./-])([\w*?-]+(?:\.\{[\w,]+\}|\.[\w*]+)*)")
    for match in pattern.finditer(text):
        name = match.group(1)
        if not name.endswith(SOURCE_EXTENSIONS) and not re.search(r"\.\{[\w,]+\}$", name):
            continue
        if "/" in name or not re.search(r"[A-Za-z]", name.split(".")[0]):
            continue
        if not sources.name_exists(name):
            report.stale(document, line_base + line_of(text, match.start()),
                         f"no file of that name: {name}")


def check_test_name(sources, document, line, span, report):
    span = span.strip()
    test = re.fullmatch(r"([A-Z]\w*)\.(\*|[A-Z]\w*)", span)
    if test:
        suite, name = test.groups()
        known = suite in sources.suites if name == "*" else span in sources.tests
        if not known:
            report.stale(document, line, f"no such test: {span}")
    slot = re.fullmatch(r"(\w+Test)::(\w+)", span)
    if slot and span not in sources.slots:
        report.stale(document, line, f"no such test slot: {span}")


def words(command):
    return command.replace("\n", " ").split()


def check_option(sources, document, line, option, program, report):
    option = OPTION.match(option).group(0)
    if option in NOT_OURS or re.fullmatch(r"-[A-Za-z][\w-]+", option):
        return
    if program == "tool":
        known = sources.tool_options
    elif program == "gui":
        known = sources.gui_options
    else:
        known = sources.tool_options | sources.gui_options
    if option not in known:
        name = {"tool": "sipcrypt", "gui": "sipcrypt-gui"}.get(program, "sipcrypt or sipcrypt-gui")
        report.stale(document, line, f"{name} has no option {option}")


def program_of(token):
    base = token.replace("\\", "/").rsplit("/", 1)[-1]
    if base in TOOL_NAMES:
        return "tool"
    if base in GUI_NAMES:
        return "gui"
    return None


def check_command_options(sources, document, line, command, report, bare_counts):
    """The options in one code span or code line that runs a program of ours."""
    tokens = words(command)
    if not tokens:
        return
    program = None
    checking = False
    if bare_counts and (OPTION.match(tokens[0]) or tokens[0] in COMMANDS):
        program, checking = "either", True
    for i, token in enumerate(tokens):
        found = program_of(token)
        if found:
            program, checking = found, True
            continue
        if token in SEPARATORS or token.endswith(";"):
            checking = False
            continue
        if checking and OPTION.match(token):
            check_option(sources, document, line, token, program, report)


def markdown_parts(text):
    """Code lines (indented or fenced), and the rest with code lines blanked."""
    code, rest = [], []
    fenced = False
    for number, raw in enumerate(text.split("\n"), 1):
        if raw.lstrip().startswith("```"):
            fenced = not fenced
            rest.append("")
            continue
        if fenced or raw.startswith("    ") or raw.startswith("\t"):
            code.append((number, raw.strip()))
            rest.append("")
        else:
            rest.append(raw)
    return code, "\n".join(rest)


def check_markdown(sources, document, text, report):
    code, prose = markdown_parts(text)
    for number, line in code:
        command = line[2:] if line.startswith("$ ") else line
        check_command_options(sources, document, number, command, report, bare_counts=False)
        check_paths(sources, document, line, report, number - 1)
    spans = re.compile(r"`([^`\n]+(?:\n[^`\n]+)?)`")
    for match in spans.finditer(prose):
        span = match.group(1)
        number = line_of(prose, match.start())
        check_test_name(sources, document, number, span, report)
        check_command_options(sources, document, number, span, report, bare_counts=True)
        check_names(sources, document, span, report, number - 1)
    # Paths anywhere but in web addresses; links' targets among them.
    check_paths(sources, document, re.sub(r"https?://\S+", "", prose), report)


def plain_roff(line):
    line = re.sub(r"^\.\\\".*", "", line)
    line = re.sub(r"^\.[A-Za-z]+\s?", "", line)
    line = re.sub(r"\\f[BIRPC]|\\f\(..|\\&|\\:", "", line)
    line = line.replace("\\-", "-").replace("\\e", "\\").replace("\\(em", " - ")
    return line.replace('"', " ")


def check_man_page(sources, document, text, report):
    program = "gui" if os.path.basename(document).startswith("sipcrypt-gui") else "tool"
    for number, raw in enumerate(text.split("\n"), 1):
        line = plain_roff(raw)
        tokens = words(line)
        for i, token in enumerate(tokens):
            if token in SEPARATORS:
                break
            token = token.strip("(),;:[]|")
            if not OPTION.match(token) or token.startswith("-" * 3):
                continue
            before = tokens[i - 1].strip("(") if i > 0 else ""
            if before in FOREIGN:
                continue
            # "sipcrypt --list-encodings" on the dialog's page is the tool's.
            owner = program_of(before) or program
            check_option(sources, document, number, token, owner, report)
        check_paths(sources, document, line, report, number - 1)
        check_names(sources, document, line, report, number - 1)


def main():
    root = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else ROOT
    sources = Sources(root)
    report = Report()
    documents = ["README.md"] + sorted(
        os.path.relpath(p, root) for p in glob.glob(os.path.join(root, "docs", "*.md")))
    pages = sorted(os.path.relpath(p, root) for p in glob.glob(os.path.join(root, "docs", "*.1")))
    for document in documents:
        check_markdown(sources, document, read(os.path.join(root, document)), report)
    for page in pages:
        check_man_page(sources, page, read(os.path.join(root, page)), report)
    for problem in report.problems:
        print(problem)
    checked = len(documents) + len(pages)
    if report.problems:
        print(f"{len(report.problems)} stale references in {checked} documents", file=sys.stderr)
        return 1
    print(f"every path, test and option cited in {checked} documents exists")
    return 0


if __name__ == "__main__":
    sys.exit(main())
