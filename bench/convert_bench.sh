#!/usr/bin/env bash
# What `--convert` costs on large info files: 50 MB of
# ordinary text (as RTF and as plain text) and 46 MB of tiny formatted runs
# in one paragraph, each converted to RTF as the editor saves. Prints the
# wall time and the peak memory of each, against the goal of at most six
# times the file's size plus 50 MB; exits non-zero when one is over.
#   bench/convert_bench.sh   (LW_BIN names the program: build/bin/lanternwright-cli
#                             by default, or the window program build/bin/lanternwright)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${LW_BIN:-$root/build/bin/lanternwright-cli}"
[ -x "$bin" ] || { echo "build the program first (cmake --build build --target lanternwright-cli), or set LW_BIN"; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is needed: apt-get install time"; exit 1; }
out="$root/bench/out/convert"
mkdir -p "$out"
# The files, made once: prose paragraphs with a bold start every fifth one;
# the same words as plain text; alternating bold and plain single letters.
python3 - "$out" <<'PY'
import os, random, sys
out = sys.argv[1]
def made(name):
    return os.path.exists(os.path.join(out, name))
random.seed(7)
words = ("the guard patrols courtyard at night watch for lanterns near gate keeper mission thief "
         "loot key door shadow bell tower garden vault archer").split()
def prose(size):
    n = 0
    while n < size:
        line = " ".join(random.choice(words) for _ in range(random.randint(8, 30)))
        n += len(line) + 2
        yield line
if not made("ordinary.rtf"):
    with open(os.path.join(out, "ordinary.rtf"), "w") as f:
        f.write("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}\r\n"
                "\\viewkind4\\uc1\\pard\\f0\\fs20 ")
        for i, line in enumerate(prose(50 << 20)):
            f.write(("{\\b " + line[:20] + "}" + line[20:] if i % 5 == 0 else line) + "\\par\r\n")
        f.write("}\r\n")
if not made("ordinary.txt"):
    with open(os.path.join(out, "ordinary.txt"), "w") as f:
        for line in prose(50 << 20):
            f.write(line + "\r\n")
if not made("runs.rtf"):
    with open(os.path.join(out, "runs.rtf"), "w") as f:
        f.write("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 " + "\\b a\\b0 a" * ((46 << 20) // 9) + "}")
PY
over=0
printf '%-14s %8s %9s %11s %11s\n' file MB seconds "peak MB" "goal MB"
for name in ordinary.rtf ordinary.txt runs.rtf; do
  in="$out/$name"
  mb=$(awk "BEGIN { printf \"%.1f\", $(stat -c %s "$in") / 1048576 }")
  goal=$(awk "BEGIN { printf \"%.0f\", 6 * $mb + 50 }")
  stats=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/time -f '%e %M' "$bin" --convert "$in" "$out/$name.out.rtf" 2>&1 >/dev/null | tail -1)
  secs=${stats% *}
  peak=$(awk "BEGIN { printf \"%.0f\", ${stats#* } / 1024 }")
  printf '%-14s %8s %9s %11s %11s\n' "$name" "$mb" "$secs" "$peak" "$goal"
  [ "$peak" -le "$goal" ] || over=1
done
exit $over
