#!/usr/bin/env bash
# The library as a program's build finds it once installed: the C example
# through pkg-config (as strict C99) and through find_package(sipcrypt), the
# Python example through the installed module, which loads the library by
# its soname.
#   installed_check.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >/dev/null
export PKG_CONFIG_PATH=$work/usr/lib/pkgconfig LD_LIBRARY_PATH=$work/usr/lib SIP_KEY=secret
fail() {
  echo "installed: $*"
  exit 1
}
# shellcheck disable=SC2046  # the flags are words
cc -std=c99 -pedantic -Wall -Wextra -Werror "$source/docs/example.c" \
  $(pkg-config --cflags --libs sipcrypt) -o "$work/example"
shown=$("$work/example" alice "$(printf 'J\303\274rgen')")
[[ "$shown" == $'QPJLUKCpC3c=\naOGybgf/mSs=' ]] || fail "the C example printed: $shown"

cmake -S "$source/tests/lib/find_package" -B "$work/project" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/usr" -DEXAMPLE="$source/docs/example.c" >/dev/null
cmake --build "$work/project" >/dev/null
shown=$("$work/project/example" alice)
[[ "$shown" == QPJLUKCpC3c= ]] || fail "the find_package build printed: $shown"

shown=$(printf 'alice\n' | PYTHONPATH=$work/usr/lib/python3/dist-packages python3 "$source/docs/example.py")
[[ "$shown" == QPJLUKCpC3c= ]] || fail "the Python example printed: $shown"

# The tool comes with its manual and each shell's completion.
for file in bin/sipcrypt share/man/man1/sipcrypt.1 share/bash-completion/completions/sipcrypt \
  share/zsh/site-functions/_sipcrypt share/fish/vendor_completions.d/sipcrypt.fish; do
  [[ -f "$work/usr/$file" ]] || fail "cmake --install puts no $file under the prefix"
done
echo "installed: the C example (pkg-config, find_package) and the Python example run; the tool's files are there"
