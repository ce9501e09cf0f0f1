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
    ("allocator frees without wiping", "cipher/secret_memory.h",
     "{ release_secret(p, n * sizeof(T), alignof(T)); }",
     "{ ::operator delete(p, std::align_val_t{alignof(T)}); }", "core_tests", "SecretMemory*"),
    ("secret release skips the wipe", "cipher/secret_memory.cpp",
     "    secure_wipe(block, size);\n    if (const auto", "    if (const auto",
     "core_tests", "SecretMemory*:BlowfishCipher*"),
    ("wipe_string wipes only the size", "cipher/secret_memory.h",
     "    text.resize(text.capacity());", "", "core_tests", "SecretMemory*"),
    ("no stack sweep after decrypting", "cipher/blowfish_cipher.cpp",
     "crypt_whole_blocks<true>(*tables_, in.data(), out.data(), in.size());\n    wipe_stack_below();",
     "crypt_whole_blocks<true>(*tables_, in.data(), out.data(), in.size());", "core_tests",
     "SecretMemory*"),
    ("no stack sweep after encrypting", "cipher/blowfish_cipher.cpp",
     "crypt_whole_blocks<false>(*tables_, in.data(), out.data(), in.size());\n    wipe_stack_below();",
     "crypt_whole_blocks<false>(*tables_, in.data(), out.data(), in.size());", "core_tests",
     "SecretMemory*"),
    ("value buffer not wiped", "core/parameter_encryption.cpp",
     "~ClearBuffer() { secure_wipe(bytes.data(), bytes.size()); }", "", "core_tests",
     "SecretMemory*"),
    ("argument copies not wiped", "cli/value_stream.cpp",
     "for (auto& argument : arguments) wipe_string(argument);", "", "cli_unit_tests", "*"),
    ("last argument left in cmdline", "cli/io_posix.cpp",
     "for (int i = 1; i < argc; ++i) secure_wipe", "for (int i = 1; i < argc - 1; ++i) secure_wipe",
     "cli_tests", "*ProcessList*"),
    ("final flush unchecked", "cli/accounts_command.cpp",
     "if (const std::error_code written = sink.flush()) {",
     "if (const std::error_code written = sink.flush(); false) {", "cli_tests", "OutputFile*"),
    ("accounts asks once", "cli/accounts_command.cpp",
     "PasswordInput::Confirm::yes", "PasswordInput::Confirm::no", "cli_tests",
     "PasswordSources*"),
    ("byte-order mark before the header kept", "cli/csv_reader.cpp",
     "if (bytes.substr(0, utf8_bom.size()) == utf8_bom) bytes.remove_prefix(utf8_bom.size());", "",
     "cli_tests", "HostileInput*"),
    ("terminal left without echo", "cli/terminal_prompt_posix.cpp",
     "const bool read = read_hidden_line(fd, watch, answer, error);\n            tcsetattr(fd, TCSAFLUSH, &saved);",
     "const bool read = read_hidden_line(fd, watch, answer, error);", "cli_tests",
     "PasswordSources*"),
    ("signals not watched at the prompt", "cli/terminal_prompt_posix.cpp",
     "sigaction(watched_signals[i], &action, nullptr);", "(void)action;", "cli_tests",
     "PasswordSources*"),
    ("echo not turned off again after a stop", "cli/terminal_prompt_posix.cpp",
     "continue;  // resumed after a stop: ask again", "return InputError::nothing_entered;",
     "cli_tests", "PasswordSources*"),
    ("72-byte warning at 72", "core/codec.cpp",
     "cut_short_ = bytes_.size() > password_key_length;",
     "cut_short_ = bytes_.size() >= password_key_length;", "cli_tests", "HostileInput*"),
    ("decrypt lets CR through", "core/text_rules.cpp",
     'return first_of(utf8, "\\r\\n", ParameterStatus::value_has_line_break);',
     'return first_of(utf8, "\\n", ParameterStatus::value_has_line_break);', "cli_tests",
     "DecryptCommand*"),
    ("no length limit on a password line", "cli/line_reader.cpp",
     "if (kept.size() > LineReader::max_line_length) {", "if (false) {", "cli_tests",
     "HostileInput*"),
    ("overlong E0 forms accepted", "core/text_encoding.cpp",
     "if (lead == 0xE0) low = 0xA0;", "", "core_tests", "TextEncoding*"),
    ("converter not reset", "core/converter_iconv.cpp",
     "    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // the initial state\n",
     "", "core_tests", "TextEncoding*"),
    ("converter not flushed", "core/converter_iconv.cpp",
     "        if (flushing) break;\n        flushing = true;", "        break;", "core_tests",
     "TextEncoding*"),
    ("no way back in conversions", "core/text_encoding.cpp",
     "if (at != expected.end() || returned.size() != expected.size()) {", "if (false) {",
     "core_tests", "TextEncoding*"),
    ("base unit rounded down", "gui/dialog_units.cpp",
     "return DialogUnits((width_of_52_letters / 26 + 1) / 2, height);",
     "return DialogUnits(width_of_52_letters / 52, height);", "dialog_tests", ""),
    ("proxy box moved onto the outbound proxy box", "gui/dialog_template.cpp",
     "{102, 102, 96, 12}", "{102, 118, 96, 12}", "dialog_tests", ""),
    ("lone surrogate let through", "gui/settings_form.cpp",
     ": Outcome(ParameterStatus::not_utf8);", ": Outcome(ParameterStatus::done);", "form_tests",
     "*"),
    ("paste keeps every line", "gui/qt/settings_dialog.cpp",
     "box->setValidator(new SingleLineValidator(box));", "", "dialog_tests", ""),
    ("-o renames over a symbolic link", "cli/whole_output_posix.cpp",
     "    target_ = followed(path_);", "    target_ = path_;", "cli_tests", "OutputFile*"),
    ("-o renames over a FIFO, a device or a hard link", "cli/whole_output_posix.cpp",
     "if (target_is_regular_ && info.st_nlink == 1) {", "if (true) {", "cli_tests", "OutputFile*"),
    ("-o loses the file's mode", "cli/whole_output_posix.cpp",
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
