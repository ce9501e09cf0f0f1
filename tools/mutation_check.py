#!/usr/bin/env python3
"""Injects plausible mistakes into the code, one at a time, and runs the tests
that should catch each; reports every mistake the tests let through.

    tools/mutation_check.py [NAME-PART...]
    tools/mutation_check.py --verify

Builds in build-mutation/ (a normal Release build with the tests), restores
each file after its run, and exits 1 if any mutant survives. Run by hand: a
full run takes some minutes.

--verify builds nothing: it checks that each mistake's text occurs exactly
once in its file, that its test binary is one tests/CMakeLists.txt makes,
and that its filter names tests that exist, so that the list keeps up with
the code (CTest runs it as mutants_are_current).
"""
import fnmatch
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-mutation")

# name, file, text as it is, text with the mistake, test binary, and the
# tests that should catch it: a GoogleTest filter, or for dialog_tests the
# Qt test slot ("" for all).
MUTANTS = [
    # Secrets in memory.
    ("allocator frees without wiping", "cipher/secret_memory.h",
     "{ release_secret(p, n * sizeof(T), alignof(T)); }",
     "{ ::operator delete(p, std::align_val_t{alignof(T)}); }", "core_tests", "SecretMemory.*"),
    ("secret release skips the wipe", "cipher/secret_memory.cpp",
     "    secure_wipe(block, size);\n    if (const auto", "    if (const auto",
     "core_tests", "SecretMemory.*:BlowfishCipher.*"),
    ("wipe_string wipes only the size", "cipher/secret_memory.h",
     "    text.resize(text.capacity());", "", "core_tests", "SecretMemory.*"),
    ("no stack sweep after decrypting", "cipher/blowfish_cipher.cpp",
     "crypt_whole_blocks<true>(*tables_, in.data(), out.data(), in.size());\n    wipe_stack_below();",
     "crypt_whole_blocks<true>(*tables_, in.data(), out.data(), in.size());", "core_tests",
     "SecretMemory.*"),
    # Encrypting overwrites its clear blocks in place, and g++ -O3 keeps the
    # words in registers: nothing clear is left for the probe to find even
    # without the sweep, which stays for builds that spill. Expected to
    # survive here.
    ("no stack sweep after encrypting", "cipher/blowfish_cipher.cpp",
     "crypt_whole_blocks<false>(*tables_, in.data(), out.data(), in.size());\n    wipe_stack_below();",
     "crypt_whole_blocks<false>(*tables_, in.data(), out.data(), in.size());", "core_tests",
     "SecretMemory.*"),
    ("value buffer not wiped", "core/parameter_encryption.cpp",
     "~ClearBuffer() { secure_wipe(bytes.data(), bytes.size()); }", "", "core_tests",
     "SecretMemory.*"),
    # No test looks at the tool's own copies of its arguments any more: this
    # one is expected to survive until one does.
    ("argument copies not wiped", "cli/values_command.cpp",
     "for (auto& argument : arguments_) wipe_string(argument);", "", "cli_tests", "Values.*"),
    ("last argument left in cmdline", "cli/io_posix.cpp",
     "for (int i = 1; i < argc; ++i) secure_wipe", "for (int i = 1; i < argc - 1; ++i) secure_wipe",
     "cli_tests", "PasswordSources.ArgumentsAreGoneFromTheProcessListWhileThePasswordIsAwaited"),

    # Passwords and the terminal.
    ("accounts asks once", "cli/accounts_command.cpp",
     "PasswordInput::Confirm::yes", "PasswordInput::Confirm::no", "cli_tests",
     "PasswordSources.TheTerminalIsAskedWithoutEchoAndLeftAsItWas"),
    ("accounts --decrypt asks twice", "cli/accounts_command.cpp",
     "if (decrypt_) confirm_ = PasswordInput::Confirm::no;", "", "cli_tests",
     "PasswordSources.TheTerminalIsAskedWithoutEchoAndLeftAsItWas"),
    ("terminal left without echo", "cli/terminal_prompt_posix.cpp",
     "const bool read = read_hidden_line(fd, watch, answer, error);\n            tcsetattr(fd, TCSAFLUSH, &saved);",
     "const bool read = read_hidden_line(fd, watch, answer, error);", "cli_tests",
     "PasswordSources.*"),
    ("signals not watched at the prompt", "cli/terminal_prompt_posix.cpp",
     "sigaction(watched_signals[i], &action, nullptr);", "(void)action;", "cli_tests",
     "PasswordSources.*"),
    ("echo not turned off again after a stop", "cli/terminal_prompt_posix.cpp",
     "continue;  // resumed after a stop: ask again", "return Code::nothing_entered;",
     "cli_tests", "PasswordSources.StoppedAndResumedAtThePromptTheTerminalStillDoesNotEcho"),
    ("72-byte warning at 72", "core/codec.cpp",
     "cut_short_ = bytes_.size() > password_key_length;",
     "cut_short_ = bytes_.size() >= password_key_length;", "cli_tests",
     "Values.WhatTheDecryptingSideCannotUseIsNeverTaken"),
    ("no length limit on a password line", "cli/line_reader.cpp",
     "if (kept.size() > max_line_length)", "if (false)", "cli_tests",
     "Values.WhatTheDecryptingSideCannotUseIsNeverTaken"),

    # Values and their text.
    ("decrypt lets CR through", "core/text_rules.cpp",
     'return first_of(utf8, "\\r\\n", Code::value_has_line_break);',
     'return first_of(utf8, "\\n", Code::value_has_line_break);', "cli_tests",
     "Values.EachInputGivesOneLineAndRefusalsNameTheirPlace"),
    ("byte-order mark before the first value kept", "cli/line_reader.cpp",
     "        skip = mark.size;", "        skip = 0;", "cli_tests",
     "Values.EachInputGivesOneLineAndRefusalsNameTheirPlace"),
    ("overlong E0 forms accepted", "core/unicode.cpp",
     "if (lead == 0xE0) low = 0xA0;", "", "core_tests", "TextEncoding.*"),
    ("a byte 0x80 after ASCII counted as ASCII", "core/unicode.h",
     "while (i < size && s[i] < 0x80) ++i;", "while (i < size && s[i] <= 0x80) ++i;",
     "core_tests", "TextEncoding.*"),
    ("lone surrogate let through", "core/unicode.cpp",
     "if (lead == 0xED) high = 0x9F;", "", "form_tests", "SettingsForm.*"),
    ("ISO-8859-9 is 28599, not Windows' 1254", "core/code_pages.cpp",
     '{"ISO-8859-9", 1254},', '{"ISO-8859-9", 28599},', "core_tests",
     "TextEncoding.ConvertsBothWaysAndRefusesRatherThanReplaces"),
    ("converter not reset", "core/system_posix.cpp",
     "    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // the initial state\n",
     "", "core_tests", "TextEncoding.*"),
    ("converter not flushed", "core/system_posix.cpp",
     "        if (flushing) break;\n        flushing = true;", "        break;", "core_tests",
     "TextEncoding.*"),
    ("no way back in conversions", "core/text_encoding.cpp",
     "if (at != expected.end() || returned_.size() != expected.size()) {", "if (false) {",
     "core_tests", "TextEncoding.*"),
    ("DEL not escaped on a terminal", "core/escape.cpp",
     "if (c < 0x20 || c == 0x7F || !valid) {", "if (c < 0x20 || !valid) {", "cli_tests",
     "Values.ControlCharactersAreEscapedOnATerminalOnly"),

    # Files of accounts.
    ("byte-order mark before the header kept", "core/csv_reader.cpp",
     "append(bytes.substr(mark.size));", "append(bytes);", "cli_tests",
     "Accounts.EncryptsTheFourColumnsAndKeepsTheFilesShape"),
    ("text after a closing quote accepted", "core/csv_reader.cpp",
     "if (s[i] != separator && s[i] != '\\r' && s[i] != '\\n') {", "if (false) {",
     "core_tests", "CsvReader.*"),
    ("the last row's missing line end replaced", "core/csv_reader.cpp",
     '    line_end_ = "";', '    line_end_ = "\\n";', "core_tests", "CsvReader.*"),
    # Only slower, and by no more than a short first line can cost: a test
    # of the reader's time would be needed to catch it.
    ("preamble scan restarts from the line's start after every read", "core/csv_reader.cpp",
     "        end -= before - pos_;", "        end = pos_;", "core_tests", "CsvReader.*"),
    ("writer leaves a cell with a quote unquoted", "core/csv_writer.cpp",
     "const char special[] = {shape_.separator, '\"', '\\r', '\\n', '\\0'};",
     "const char special[] = {shape_.separator, '\\r', '\\n', '\\0'};", "core_tests",
     "CsvWriter.*"),
    ("UTF-16 written with the wrong high surrogate", "core/unicode.h",
     "put(0xD800 + ((c - 0x10000) >> 10));", "put(0xD800 + (c >> 10));", "core_tests",
     "CsvWriter.*"),
    ("ten-row limit counts cells", "core/accounts.cpp",
     "if (record.row != last_refused_row_) ++refused_rows_;", "++refused_rows_;", "cli_tests",
     "Accounts.RefusalsWriteNothingAndSayWhatAndWhere"),

    # Whole output (-o).
    ("final write unchecked", "cli/whole_output.cpp",
     "if (!error_.ok()) return failure(whole_ ? as(Code::not_written, error_) : error_);",
     "if (false) return failure(whole_ ? as(Code::not_written, error_) : error_);", "cli_tests",
     "Values.EachInputGivesOneLineAndRefusalsNameTheirPlace:OutputFile.*"),
    ("-o puts the output beside the link, not the file it names", "cli/output_posix.cpp",
     "if (fd >= 0 && !opened.empty()) target.path = opened;", "", "cli_tests",
     "OutputFile.WritesThroughLinksAndIntoWhatIsNotAPlainFile"),
    # The kernel's rules for links (protected_symlinks) no longer apply:
    # caught as root, where the test sets the rule.
    ("-o follows links itself", "cli/output_posix.cpp",
     "    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);",
     "    char* resolved = ::realpath(path.c_str(), nullptr);\n"
     "    int fd = ::open(resolved != nullptr ? resolved : path.c_str(),\n"
     "                    O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);\n"
     "    std::free(resolved);",
     "cli_tests", "OutputFile.WhatTheFileSystemForbidsIsRefusedBeforeThePassword"),
    ("-o does not see a descriptor behind a link", "cli/output_posix.cpp",
     "        if (next.empty()) return -1;", "        return -1;", "cli_tests",
     "OutputFile.DescriptorsAreWrittenAsTheyAreOpenAndFilesAreReplacedSynced"),
    ("-o does not see a thread's descriptors", "cli/output_posix.cpp",
     'if (::stat("/proc/thread-self/fd", &thread) != 0) thread = own;', "thread = own;",
     "cli_tests", "OutputFile.DescriptorsAreWrittenAsTheyAreOpenAndFilesAreReplacedSynced"),
    ("-o renames over a FIFO or a device", "cli/output_posix.cpp",
     "::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {", "::fstat(fd, &info) == 0 && false) {",
     "cli_tests", "OutputFile.WritesThroughLinksAndIntoWhatIsNotAPlainFile"),
    ("-o renames over a hard link", "cli/output_posix.cpp",
     "if (info.st_nlink > 1 || !replaceable)", "if (!replaceable)", "cli_tests",
     "OutputFile.WritesThroughLinksAndIntoWhatIsNotAPlainFile"),
    ("-o loses the file's mode", "cli/output_posix.cpp",
     "::fchmod(spool.fd, info.st_mode & 07777) != 0 ||", "", "cli_tests",
     "OutputFile.AReplacedFileKeepsItsModeOwnerAccessListAndAttributes"),
    ("-o does not copy extended attributes", "cli/output_posix.cpp",
     "target.exists && !copy_attributes(target.fd, spool.fd, false)", "target.exists && false",
     "cli_tests", "OutputFile.AReplacedFileKeepsItsModeOwnerAccessListAndAttributes"),
    ("-o does not copy access lists", "cli/output_posix.cpp",
     "         !copy_attributes(target.fd, spool.fd, true))) {", "         false)) {", "cli_tests",
     "OutputFile.AReplacedFileKeepsItsModeOwnerAccessListAndAttributes"),
    ("-o rewrites a file in place with no room taken first", "cli/whole_output.cpp",
     "for (std::uint64_t end = old_size; done.ok() && end < size;",
     "for (std::uint64_t end = old_size; done.ok() && end < 0;", "cli_tests",
     "OutputFile.DescriptorsAreWrittenAsTheyAreOpenAndFilesAreReplacedSynced"),
    ("-o rewrites a file in place without a lock", "cli/output_posix.cpp",
     "if (on && ::flock(target.fd, LOCK_EX | LOCK_NB) != 0) {", "if (false) {", "cli_tests",
     "OutputFile.WaitsAreSaidAndEndWhenTheOtherSideComes"),
    ("-o lets a signal end an in-place rewrite", "cli/output_posix.cpp",
     "    hold_signals(on);\n    if (!on) ::flock", "    if (!on) ::flock", "cli_tests",
     "OutputFile.DescriptorsAreWrittenAsTheyAreOpenAndFilesAreReplacedSynced"),
    ("-o leaves a named spool when SIGPIPE ends the tool", "cli/output_posix.cpp",
     "for (const int other : {SIGKILL,", "for (const int other : {SIGPIPE, SIGKILL,", "cli_tests",
     "OutputFile.FailuresLeaveTheTargetAsItWasAndNothingBeside"),
    ("-o finds chattr +i only after the password", "cli/output_posix.cpp",
     "if ((flags & FS_IMMUTABLE_FL) != 0) return Code::immutable;", "", "cli_tests",
     "OutputFile.WhatTheFileSystemForbidsIsRefusedBeforeThePassword"),
    ("-o waits for a FIFO's reader without a word", "cli/output_posix.cpp",
     "report(Outcome(Code::waiting_for_reader).about(path));", "", "cli_tests",
     "OutputFile.WaitsAreSaidAndEndWhenTheOtherSideComes"),
    ("-o names its file beside past the folder's limit", "cli/output_posix.cpp",
     "return name.substr(0, room > suffix.size() ? room - suffix.size() : 0) + suffix;",
     "return name + suffix;", "cli_tests", "OutputFile.WritesThroughLinksAndIntoWhatIsNotAPlainFile"),

    # The library.
    ("a batch's texts not those of one call each", "core/parameter_encryption.cpp",
     "        start = end;\n", "", "library_tests", "Library.*"),

    # The dialog.
    ("base unit rounded down", "gui/dialog_units.cpp",
     "return DialogUnits((width_of_52_letters / 26 + 1) / 2, height);",
     "return DialogUnits(width_of_52_letters / 52, height);", "form_tests", "DialogUnits.*"),
    ("proxy box moved onto the outbound proxy box", "gui/dialog_template.cpp",
     "{102, 102, 96, 12}", "{102, 118, 96, 12}", "dialog_tests",
     "controls_sit_where_the_dialog_manager_puts_them"),
    ("paste keeps every line", "gui/qt/settings_dialog.cpp",
     "box->setValidator(new SingleLineValidator(box));", "", "dialog_tests",
     "values_are_one_line"),
    ("the cursor left at the end of a long text after a press", "gui/qt/settings_dialog.cpp",
     "        boxes_[i]->setCursorPosition(0);  // show the start of a long text, not its end\n",
     "", "dialog_tests", "a_press_shows_the_cores_texts"),
    ("keypad Enter does not end the dialog", "gui/qt/settings_dialog.cpp",
     "if (key == Qt::Key_Return || key == Qt::Key_Enter) {", "if (key == Qt::Key_Return) {",
     "dialog_tests", "keyboard_follows_the_dialog_conventions"),
]


def run(command, **kwargs):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          **kwargs)


def defined_tests():
    """The GoogleTest names (Suite.Name) and Qt test slots in tests/, and the
    test binaries tests/CMakeLists.txt makes."""
    tests, slots = set(), set()
    for folder, _, files in os.walk(os.path.join(ROOT, "tests")):
        for name in files:
            if not name.endswith((".cpp", ".h")):
                continue
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                text = f.read()
            for suite, test in re.findall(r"\bTEST(?:_F|_P)?\(\s*(\w+)\s*,\s*(\w+)\s*\)", text):
                tests.add(f"{suite}.{test}")
            if re.search(r"\bclass\s+\w+\s*:\s*public\s+QObject", text):
                slots.update(re.findall(r"^\s*void\s+(\w+)\(\)\s*\{", text, re.M))
    with open(os.path.join(ROOT, "tests", "CMakeLists.txt"), encoding="utf-8") as f:
        binaries = set(re.findall(r"add_executable\((\w+)", f.read()))
    return tests, slots, binaries


def verify():
    """Each mutant's text once in its file, its binary made, its filter real."""
    tests, slots, binaries = defined_tests()
    problems = []
    for name, path, original, mutated, binary, test_filter in MUTANTS:
        full = os.path.join(ROOT, path)
        if not os.path.exists(full):
            problems.append(f"{name}: {path} is gone")
            continue
        with open(full, encoding="utf-8") as f:
            found = f.read().count(original)
        if found != 1:
            problems.append(f"{name}: its text occurs {found} times in {path}, not once")
        if original == mutated:
            problems.append(f"{name}: the mistake is the text as it is")
        if binary not in binaries:
            problems.append(f"{name}: tests/CMakeLists.txt makes no {binary}")
        if binary == "dialog_tests":
            if test_filter and test_filter not in slots:
                problems.append(f"{name}: dialog_tests has no slot {test_filter}")
            continue
        for pattern in filter(None, test_filter.split(":")):
            if not any(fnmatch.fnmatchcase(test, pattern) for test in tests):
                problems.append(f"{name}: no test matches {pattern}")
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"all {len(MUTANTS)} mutants are current")
    return 0


def main():
    if sys.argv[1:] == ["--verify"]:
        return verify()
    wanted = sys.argv[1:]
    chosen = [m for m in MUTANTS if not wanted or any(w in m[0] for w in wanted)]
    configure = run(["cmake", "-S", ".", "-B", BUILD, "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release"])
    if configure.returncode != 0 or run(["cmake", "--build", BUILD]).returncode != 0:
        print("the build failed before any mutant", file=sys.stderr)
        return 2
    survived = []
    for name, path, original, mutated, binary, test_filter in chosen:
        full = os.path.join(ROOT, path)
        with open(full, encoding="utf-8") as f:
            source = f.read()
        if source.count(original) != 1:
            print(f"?  {name}: its text is not once in {path}")
            survived.append(name)
            continue
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write(source.replace(original, mutated, 1))
            if run(["cmake", "--build", BUILD, "--target", binary]).returncode != 0:
                print(f"-  {name}: does not build")
                continue
            command = [os.path.join(BUILD, "tests", binary)]
            env = dict(os.environ)
            if binary == "dialog_tests":
                env["QT_QPA_PLATFORM"] = "offscreen"
                if test_filter:
                    command.append(test_filter)
            elif test_filter:
                command.append("--gtest_filter=" + test_filter)
            try:
                caught = run(command, env=env, timeout=300).returncode != 0
            except subprocess.TimeoutExpired:
                caught = True
            print(("caught    " if caught else "SURVIVED  ") + name)
            if not caught:
                survived.append(name)
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(source)
    run(["cmake", "--build", BUILD])
    print(f"{len(chosen) - len(survived)} of {len(chosen)} mutants caught")
    return 1 if survived else 0

if __name__ == "__main__":
    sys.exit(main())
