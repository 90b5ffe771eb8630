#!/usr/bin/env python3
"""Names typed at a console, for the Windows build under Wine.

Usage: console_dialogue.py WINE EXECUTABLE SOURCE_DIR

Started on a pseudo-terminal, Wine gives the executable a console whose input comes from that
terminal: the names are typed there, in UTF-8, and reach the program as the console's UTF-16,
whatever its code page. Each row types an input and an output name at the dialogue's prompts
and checks the file written under that name and the name in the report's header. A pipe
carries bytes instead; the end-to-end tests of the suite type names that way.
"""
import os
import pty
import re
import select
import sys
import tempfile
import time
import tty

# The input's name as typed, its contents (a file of the source tree), the output's name and the file
# that output must equal (with CR LF line ends, and the report's header naming the input).
ROWS = [
    ("Ось-X.txt", "examples/default.txt", "Ось-X.hex", "tests/golden/default.hex"),
    ("軸.hex", "tests/golden/default.hex", "軸-report.txt", "tests/golden/default_report.txt"),
    ("Größe.txt", "examples/default.txt", "Größe.hex", "tests/golden/default.hex"),
    # A file dragged into the console window: its name pasted between double quotes.
    ('"x axis.txt"', "examples/default.txt", '"x axis.hex"', "tests/golden/default.hex"),
]

# Wine draws its console on the terminal with control sequences, and blanks as cursor moves.
CONTROL = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]|\s")


def dialogue(wine, executable, folder, names):
    """Runs the dialogue in `folder`, typing each name once its prompt shows; returns the exit
    status and what the terminal showed."""
    pid, terminal = pty.fork()
    if pid == 0:
        # Keys reach the console as typed: Enter as a carriage return, no echo by the terminal.
        tty.setraw(0)
        os.chdir(folder)
        os.execv(wine, [wine, executable])
    shown = b""
    typed = 0
    # A run that hangs fails its row rather than the suite's time limit.
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        if typed < len(names) and CONTROL.sub(b"", shown).count(b"name:") > typed:
            os.write(terminal, names[typed].encode() + b"\r")
            typed += 1
        if select.select([terminal], [], [], 1)[0]:
            try:
                chunk = os.read(terminal, 4096)
            except OSError:  # the terminal's last program has ended
                break
            if not chunk:
                break
            shown += chunk
    else:
        os.kill(pid, 9)
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), shown


def main():
    wine, executable, source = sys.argv[1:4]
    os.environ.update(SOURCE_DATE_EPOCH="1268903103", LANG="C.UTF-8", KR570_OWNS_CONSOLE="0")
    failures = 0
    for typed_input, contents, typed_output, expected in ROWS:
        input_name, output_name = typed_input.strip('"'), typed_output.strip('"')
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(source, contents), "rb") as given, open(
                os.path.join(folder, input_name), "wb"
            ) as copy:
                copy.write(given.read())
            status, shown = dialogue(wine, executable, folder, [typed_input, typed_output])
            with open(os.path.join(source, expected), "rb") as golden:
                want = golden.read().replace(b"config.hex", input_name.encode())
            want = want.replace(b"\n", b"\r\n")
            output = os.path.join(folder, output_name)
            got = open(output, "rb").read() if os.path.exists(output) else None
            if status != 0 or got != want:
                failures += 1
                print(f"FAILED {input_name} -> {output_name}: status {status}, output "
                      f"{'missing' if got is None else 'differs'}; the console showed:")
                print(CONTROL.sub(b" ", shown).decode("utf-8", "replace"))
            else:
                print(f"ok {input_name} -> {output_name}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
