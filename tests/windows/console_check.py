#!/usr/bin/env python3
"""sipcrypt.exe at a console, as a user meets it. Under Wine, a program
started on a pseudo-terminal gets a console: the password prompt is read
there without echo, twice when encrypting, and Ctrl-C ends the tool with the
console echoing again and no file left beside an output.

Usage: console_check.py SIPCRYPT_EXE CONSOLE_PROBE_EXE   (WINEPREFIX set)
"""

import os
import pty
import re
import select
import sys
import tempfile
import termios
import time

TOOL, PROBE = sys.argv[1], sys.argv[2]
ALICE_TEXT = b"QPJLUKCpC3c="


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run(arguments, steps, environment=None):
    """Runs wine with `arguments` on a new pseudo-terminal; for each (text,
    keys) step waits for `text` on the screen (None: a moment) and types
    `keys`. Returns the screen and the exit status."""
    pid, terminal = pty.fork()
    if pid == 0:
        os.execvpe("wine", ["wine"] + arguments, dict(os.environ, **(environment or {})))
    screen = b""

    def wait_for(text, seconds=30):
        nonlocal screen
        end = time.time() + seconds
        while (text is None or text not in screen) and time.time() < end:
            if select.select([terminal], [], [], 0.1)[0]:
                try:
                    screen += os.read(terminal, 4096)
                except OSError:
                    break
        return text is None or text in screen

    def reading():
        # Wine's console takes the terminal from the line discipline only
        # while a program reads it; keys typed before would be echoed by it.
        end = time.time() + 30
        while termios.tcgetattr(terminal)[3] & termios.ECHO and time.time() < end:
            wait_for(None, 0.05)

    for text, keys in steps:
        if not wait_for(text, 30 if text else 1):
            raise AssertionError(f"never shown: {text!r}\nscreen: {screen!r}")
        reading()
        os.write(terminal, keys)
    wait_for(None, 30)
    status = os.waitpid(pid, 0)[1]
    os.close(terminal)
    return shown(screen), status


def shown(screen):
    """The text of what Wine's console drew: cursor moves forward as spaces,
    other control sequences dropped."""
    screen = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m.group(1) or 1), screen)
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07", b"", screen)


failures = []
checks = 0


def check(name, condition, screen):
    global checks
    checks += 1
    if not condition:
        failures.append(f"{name}\n  screen: {screen!r}")


# The password is asked twice without echo; the two must agree.
screen, _ = run([TOOL, "encrypt", "alice"],
                [(b"Password:", b"secret\r"), (b"Repeat password:", b"secret\r")])
check("a typed password encrypts", ALICE_TEXT in screen and b"secret" not in screen, screen)
screen, _ = run([TOOL, "encrypt", "alice"],
                [(b"Password:", b"secret\r"), (b"Repeat password:", b"secrte\r")])
check("a mismatch is refused", b"the two passwords differ" in screen and
      ALICE_TEXT not in screen and b"secr" not in screen, screen)

# Ctrl-C at the prompt ends the tool; the console echoes again.
screen, _ = run([PROBE, TOOL, "encrypt", "alice"], [(b"Password:", b"sec"), (None, b"\x03")])
check("Ctrl-C gives the console its echo back", b"probe: echo on" in screen and
      b"sec" not in screen.replace(b"sipcrypt", b""), screen)

# Ctrl-C while rows are read leaves the output as it was, and nothing beside.
with tempfile.TemporaryDirectory() as folder:
    target = os.path.join(folder, "out.csv")
    with open(target, "w") as file:
        file.write("old\n")
    screen, _ = run([TOOL, "accounts", "--password-env", "SIP_KEY", "-o", windows_path(target)],
                    [(None, b"login,password,proxy,outbound_proxy\r"), (None, b"a,b,c,d\r"),
                     (None, b"\x03")], {"SIP_KEY": "secret"})
    with open(target) as file:
        check("Ctrl-C leaves the output as it was", file.read() == "old\n", screen)
    check("Ctrl-C leaves nothing beside the output", os.listdir(folder) == ["out.csv"],
          os.listdir(folder))

# -o CON is the console too: cells escaped, characters whole, also those
# that a 64 KiB write cuts in two.
with tempfile.TemporaryDirectory() as folder:
    accounts = os.path.join(folder, "in.csv")
    rows = ["name,login,password,proxy,outbound_proxy", "J\u00f6rg\x1b[31mX,a,,,"]
    rows += ["x" * (i % 3) + "\u00f6" * 20 + ",a,,," for i in range(2000)]
    with open(accounts, "w", encoding="utf-8") as file:
        file.write("\n".join(rows) + "\n")
    screen, _ = run([TOOL, "accounts", "--password-env", "SIP_KEY", "--encoding", "UTF-8",
                     "-i", windows_path(accounts), "-o", "CON"], [], {"SIP_KEY": "secret"})
    check("-o CON escapes cells", "J\u00f6rg\\x1B[31mX".encode() in screen and
          b"shown escaped" in screen, screen[:300])
    check("-o CON shows every character whole",
          screen.count(("\u00f6" * 20).encode()) == 2000 and b"\xef\xbf" not in screen,
          screen[-300:])

for failure in failures:
    print("FAILED:", failure)
print(f"console: {checks - len(failures)} of {checks} checks pass")
sys.exit(1 if failures else 0)
