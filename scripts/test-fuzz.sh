#!/usr/bin/env bash
# Fuzzes the mc reader for a while (FUZZ_SECONDS, default 60) with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer. Any crash, sanitizer report,
# timeout or memory blow-up fails the stage and leaves the input in
# build-fuzz/findings/ for reproduction: build-fuzz/fuzz/fuzz_markup FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKIV_BUILD_FUZZ=ON -DKIV_BUILD_TESTS=OFF -DKIV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_markup -j"$(nproc)"

# Seeds: the shipped examples and small texts that reach the parser's corners.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds" "$build/corpus" "$build/findings"
for f in examples/*.mc; do
  [ -e "$f" ] && cp "$f" "$seeds/"
done
i=0
seed() { i=$((i + 1)); printf '%s' "$1" > "$seeds/hand-$i.mc"; }
seed '<?xml version="1.0"?><vlayout><label>echo hi</label></vlayout>'
seed '<textlog/>'
seed '<textlog />'
seed '<x></x>'
seed '<label code="echo one">echo two</label>'
seed '<label>echo "a<b"</label>'
seed '<a>one<b/>two</a>'
seed '<a x = "1"   y="2"/>'
seed '<a x=12 y="3"></a>'
seed '<a x="1>2" flag z=""></a>'
seed '<a><a>in</a></a>'
seed '<a><b>text</a>'
seed '<!-- note --><a/>'
seed $'<vlayout>\r\n<label>echo a\r\n</label>\r\n</vlayout>\r\n'
seed '<text><var>echo B</var><code>echo C</code></text>'
seed '<combo var="C"><item>echo a</item><item code="echo b"/></combo>'
seed '<iconlist onclick="echo $X"><entry icon="a.png">echo e</entry></iconlist>'
seed '<tab title="T"><hlayout width="10" height="20"><button>echo "x"</button></hlayout></tab>'
seed '< / a >< a/ >< a / >'
seed '<a><a><a><a><a><a><a><a>'
seed "$(for _ in $(seq 40); do printf '<a>'; done)"
seed "$(for _ in $(seq 30); do printf '<b x="1">t'; done)"

cat > "$build/mc.dict" <<'DICT'
"<"
">"
"</"
"/>"
"=\""
"\""
" "
"\x0a"
"\x0d"
"\x09"
"<?"
"?>"
"code="
"var="
"<vlayout>"
"</vlayout>"
"<label>"
"</label>"
DICT

out=$build/fuzz.log
status=0
( cd "$build/findings" &&
  ../fuzz/fuzz_markup -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -dict=../mc.dict -print_final_stats=1 ../corpus ../seeds ) >"$out" 2>&1 || status=$?
tail -n 25 "$out"
if [ "$status" -ne 0 ] || grep -qE 'ERROR: (libFuzzer|AddressSanitizer)|runtime error:' "$out"; then
  echo "fuzzing found a problem (status $status); inputs in $build/findings:" >&2
  ls -l "$build/findings" >&2
  exit 1
fi
echo "fuzzing: no findings in ${seconds}s"
