#!/usr/bin/env bash
# Builds the Debian source of the system's libjpeg62-turbo as a static library
# with the fuzzers' instrumentation, so jpeg_fuzz is guided by the decoder's own
# branches too (against the shared library it only sees ours). Needs clang,
# nasm and cmake; apt's own configuration is left alone.
#   tests/fuzz/instrumented-libjpeg.sh /tmp/ljt
#   cmake ... -DTAVELO_FUZZ=ON -DTAVELO_FUZZ_LIBJPEG=/tmp/ljt/build/libjpeg.a
set -euo pipefail

dir="${1:?usage: $0 WORKDIR}"
mkdir -p "$dir/apt/lists/partial"
version="$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo)"
keys=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$dir/apt/sources.list" <<EOF
deb-src [signed-by=$keys] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keys] http://deb.debian.org/debian-security bookworm-security main
EOF
apt_opts=(-o "Dir::Etc::SourceList=$dir/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
          -o "Dir::State::Lists=$dir/apt/lists")
apt-get "${apt_opts[@]}" update -qq
(cd "$dir" && apt-get "${apt_opts[@]}" source -qq "libjpeg-turbo=$version")

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -g -O1"
upstream="${version#*:}"
cmake -S "$dir/libjpeg-turbo-${upstream%-*}" -B "$dir/build" -G Ninja -DCMAKE_C_COMPILER=clang \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_BUILD_TYPE=None -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_ARITH_DEC=ON
cmake --build "$dir/build" -j2 --target jpeg-static
