#!/bin/bash
# Every command of the fenced ```sh blocks of README.md and docs/*.md runs
# verbatim, in a scratch copy of the tree, against the built tools. A block
# of ```json right after an ```sh block is what its commands print, exactly.
#
# Arguments: the source tree, then the directories of the built depbase-cli,
# dbc, calibmod-cli and curvegen. The scratch copy has them where the README
# says a release build puts them (build/release/tools/<tool>/<tool>).
#
# Lines that build, install, package or benchmark need a build preset, the
# network or root, and are not run: the SKIP list below names each one, and
# a skipped line that no longer appears in any document fails the test, so
# that the list never outlives what it excuses.
set -u
root=$1
shift
SKIP=(
    'scripts/demo'                        # builds the release tree itself
    'scripts/test'                        # builds and runs every test preset
    'cmake --preset release && cmake --build --preset release'
    'cmake --install build/release --prefix /tmp/zmd'
)
# Commands that end with another status than 0, on purpose.
declare -A STATUS=(
    ['depbase-cli query root 0x0012 --json']=1 # the example of a ZMD_NOT_FOUND answer
)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for part in README.md docs samples src tools; do
    cp -r "$root/$part" "$scratch/"
done
for dir in "$@"; do
    tool=$(basename "$dir")
    mkdir -p "$scratch/build/release/tools/$tool"
    ln -s "$dir/$tool" "$scratch/build/release/tools/$tool/$tool"
done

fail=0
declare -A used
# Prints the commands of one document as "sh<TAB>N<TAB>COMMAND" lines for
# the sh block N (a line ending in '\' is joined with the next) and
# "json<TAB>N<TAB>TEXT" for the lines of a json block that follows it, with
# no other fenced block between them.
extract() {
    awk '
        /^```sh[ \t]*$/ { inside = "sh"; ++block; next }
        /^```json[ \t]*$/ { inside = last ? "json" : "other"; next }
        /^```/ { if (inside == "") { inside = "other"; last = 0 } else { last = inside == "sh" ? block : 0; inside = "" } next }
        inside == "sh" {
            line = $0
            if (pending != "") { line = pending " " line; pending = "" }
            if (line ~ /\\$/) { sub(/\\$/, "", line); pending = line; next }
            print "sh\t" block "\t" line
        }
        inside == "json" { print "json\t" block "\t" $0 }
    ' "$1"
}
for doc in "$scratch"/README.md "$scratch"/docs/*.md; do
    name=${doc#"$scratch"/}
    script=$scratch/.run-$(basename "$doc").sh
    : >"$script"
    declare -A want=()
    blocks=()
    while IFS=$'\t' read -r kind block text; do
        if [[ $kind == json ]]; then
            want[$block]+="$text"$'\n'
            continue
        fi
        command=$(sed -e 's/[[:space:]]*#.*$//' -e 's/[[:space:]]*$//' <<<"$text")
        [[ -z $command ]] && continue
        skip=0
        for s in "${SKIP[@]}"; do
            if [[ $command == "$s" ]]; then
                skip=1
                used[$s]=1
            fi
        done
        ((skip)) && continue
        expect=${STATUS[$command]-0}
        blocks+=("$block")
        printf '{\n%s\n} >>"$OUT/%s" 2>>"$OUT/err"\nrc=$?\n' "$command" "$block" >>"$script"
        printf 'if [ $rc -ne %s ]; then echo "%s: %s: exit status $rc, expected %s"; sed "s/^/    /" "$OUT/err"; fi\n: >"$OUT/err"\n' \
            "$expect" "$name" "${command//\"/\\\"}" "$expect" >>"$script"
    done < <(extract "$doc")
    out=$(mktemp -d)
    # README.md puts the tools on PATH itself; the other documents take that
    # as done.
    path=$PATH
    if [[ $name != README.md ]]; then
        for dir in "$@"; do
            path=$scratch/build/release/tools/$(basename "$dir"):$path
        done
    fi
    result=$(cd "$scratch" && OUT=$out HOME=$scratch/home PATH=$path bash "$script" 2>&1)
    if [[ -n $result ]]; then
        echo "$result"
        fail=1
    fi
    for block in "${!want[@]}"; do
        if ! diff -u <(printf '%s' "${want[$block]}") "$out/$block" >"$out/diff"; then
            echo "$name: the json block after sh block $block is not what its commands print:"
            cat "$out/diff"
            fail=1
        fi
    done
    rm -rf "$out"
    unset want
done
for s in "${SKIP[@]}"; do
    if [[ -z ${used[$s]-} ]]; then
        echo "the skipped line '$s' is in no document any more; take it off the list"
        fail=1
    fi
done
exit $fail
