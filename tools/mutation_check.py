#!/usr/bin/env python3
"""Injects plausible mistakes into the code, one at a time, and runs the tests
that should catch each; reports every mistake the tests let through.

    tools/mutation_check.py [NAME-PART...]

Builds in build-mutation/ (a normal Release build with the tests), restores
each file after its run, and exits 1 if any mutant survives. Run by hand: a
full run takes some minutes.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-mutation")

# name, file, text as it is, text with the mistake, test binary, gtest filter
MUTANTS = [
    ("allocator frees without wiping", "cipher/secure_wipe.h",
     "{ release_secret(p, n * sizeof(T), alignof(T)); }",
     "{ ::operator delete(p, std::align_val_t{alignof(T)}); }", "core_tests", "SecretMemory*"),
    ("secret release skips the wipe", "cipher/secure_wipe.cpp",
     "    secure_wipe(block, size);\n    if (const auto", "    if (const auto",
     "core_tests", "SecretMemory*:BlowfishCipher*"),
    ("wipe_string wipes only the size", "cipher/secure_wipe.cpp",
     "    text.resize(text.capacity());", "", "core_tests", "SecretMemory*"),
    ("no stack sweep after decrypting", "cipher/blowfish_cipher.cpp",
     "crypt_bytes_any<true>(*tables_, input, output, count);\n    wipe_stack_below();",
     "crypt_bytes_any<true>(*tables_, input, output, count);", "core_tests", "SecretMemory*"),
    ("no stack sweep after encrypting", "cipher/blowfish_cipher.cpp",
     "crypt_bytes_any<false>(*tables_, input, output, count);\n    wipe_stack_below();",
     "crypt_bytes_any<false>(*tables_, input, output, count);", "core_tests", "SecretMemory*"),
    ("value buffer not wiped", "settings/parameter_encryption.cpp",
     "~ClearBuffer() { secure_wipe(bytes.data(), bytes.size()); }", "", "core_tests",
     "SecretMemory*"),
    ("argument copies not wiped", "cli/value_stream.cpp",
     "for (auto& argument : arguments) wipe_string(argument);", "", "cli_unit_tests", "*"),
    ("last argument left in cmdline", "cli/main.cpp",
     "for (int i = 1; i < argc; ++i) sipcrypt::secure_wipe",
     "for (int i = 1; i < argc - 1; ++i) sipcrypt::secure_wipe", "cli_tests", "*ProcessList*"),
    ("final flush unchecked", "cli/accounts_command.cpp",
     "if (!sink.flush()) {", "if (!sink.flush() && false) {", "cli_tests", "OutputFile*"),
    ("accounts asks once", "cli/accounts_command.cpp",
     "prepare(PasswordInput::Confirm::yes)", "prepare(PasswordInput::Confirm::no)", "cli_tests",
     "PasswordSources*"),
    ("byte-order mark before the header kept", "cli/csv_reader.cpp",
     "if (bytes.substr(0, utf8_bom.size()) == utf8_bom) bytes.remove_prefix(utf8_bom.size());", "",
     "cli_tests", "HostileInput*"),
    ("terminal left without echo", "cli/terminal_prompt.cpp",
     "read = read_hidden_line(fd_, watch, answer, error_);\n            tcsetattr(fd_, TCSAFLUSH, &saved);",
     "read = read_hidden_line(fd_, watch, answer, error_);", "cli_tests", "PasswordSources*"),
    ("signals not watched at the prompt", "cli/terminal_prompt.cpp",
     "sigaction(watched_signals[i], &action, nullptr);", "(void)action;", "cli_tests",
     "PasswordSources*"),
    ("echo not turned off again after a stop", "cli/terminal_prompt.cpp",
     "continue;  // resumed after a stop: ask again", "return Answer::none;", "cli_tests",
     "PasswordSources*"),
    ("72-byte warning at 72", "cli/password_input.cpp",
     "password.size() > BlowfishCipher::effective_key_length",
     "password.size() >= BlowfishCipher::effective_key_length", "cli_tests", "HostileInput*"),
    ("decrypt lets CR through", "settings/text_rules.cpp",
     'return first_of(utf8, "\\r\\n", ParameterStatus::value_has_line_break);',
     'return first_of(utf8, "\\n", ParameterStatus::value_has_line_break);', "cli_tests",
     "DecryptCommand*"),
    ("no length limit on a password line", "cli/line_reader.cpp",
     "if (kept.size() > LineReader::max_line_length) {", "if (false) {", "cli_tests",
     "HostileInput*"),
    ("overlong E0 forms accepted", "settings/text_encoding.cpp",
     "if (lead == 0xE0) low = 0xA0;", "", "core_tests", "TextEncoding*"),
    ("converter not reset", "settings/text_encoding.cpp",
     "    iconv(converter, nullptr, nullptr, nullptr, nullptr);\n    out.resize",
     "    out.resize", "core_tests", "TextEncoding*"),
    ("converter not flushed", "settings/text_encoding.cpp",
     "        if (flushing) break;\n        flushing = true;", "        break;", "core_tests",
     "TextEncoding*"),
    ("no way back in conversions", "settings/text_encoding.cpp",
     "if (at != expected.end() || returned.size() != expected.size()) {", "if (false) {",
     "core_tests", "TextEncoding*"),
    ("base unit rounded down", "app/dialog_units.cpp",
     "return DialogUnits((letters / 26 + 1) / 2, metrics.height());",
     "return DialogUnits(letters / 52, metrics.height());", "dialog_tests", ""),
    ("proxy box moved onto the outbound proxy box", "app/dialog_template.cpp",
     "{102, 102, 96, 12}", "{102, 118, 96, 12}", "dialog_tests", ""),
    ("lone surrogate let through", "app/settings_encryption.cpp",
     "if (!QStringView(text).isValidUtf16()) return ParameterStatus::not_utf8;", "",
     "dialog_tests", ""),
    ("paste keeps every line", "app/settings_dialog.cpp",
     "edit->setValidator(new SingleLineValidator(edit));", "", "dialog_tests", ""),
    ("-o renames over a symbolic link", "cli/whole_output.cpp",
     "    target_ = followed(path_);", "    target_ = path_;", "cli_tests", "OutputFile*"),
    ("-o renames over a FIFO, a device or a hard link", "cli/whole_output.cpp",
     "if (target_is_regular_ && info.st_nlink == 1) {", "if (true) {", "cli_tests", "OutputFile*"),
    ("-o loses the file's mode", "cli/whole_output.cpp",
     "        if (::fchmod(fd_, mode_) != 0) return last_error();", "", "cli_tests", "OutputFile*"),
]


def run(command, **kwargs):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          **kwargs)


def main():
    wanted = sys.argv[1:]
    chosen = [m for m in MUTANTS if not wanted or any(w in m[0] for w in wanted)]
    configure = run(["cmake", "-S", ".", "-B", BUILD, "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release"])
    if configure.returncode != 0 or run(["cmake", "--build", BUILD]).returncode != 0:
        print("the build failed before any mutant", file=sys.stderr)
        return 2
    survived = []
    for name, path, original, mutated, binary, gtest_filter in chosen:
        full = os.path.join(ROOT, path)
        with open(full) as f:
            source = f.read()
        if original not in source:
            print(f"?  {name}: its text is no longer in {path}")
            survived.append(name)
            continue
        try:
            with open(full, "w") as f:
                f.write(source.replace(original, mutated, 1))
            if run(["cmake", "--build", BUILD, "--target", binary]).returncode != 0:
                print(f"-  {name}: does not build")
                continue
            command = [os.path.join(BUILD, "tests", binary)]
            env = dict(os.environ)
            if binary == "dialog_tests":
                env["QT_QPA_PLATFORM"] = "offscreen"
            elif gtest_filter:
                command.append("--gtest_filter=" + gtest_filter)
            try:
                caught = run(command, env=env, timeout=300).returncode != 0
            except subprocess.TimeoutExpired:
                caught = True
            print(("caught    " if caught else "SURVIVED  ") + name)
            if not caught:
                survived.append(name)
        finally:
            with open(full, "w") as f:
                f.write(source)
    run(["cmake", "--build", BUILD])
    print(f"{len(chosen) - len(survived)} of {len(chosen)} mutants caught")
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
