#!/usr/bin/env bash
# A headless demonstration of the cipher library through `vrk`: key set-up, a string and a
# file enciphered and deciphered back, and the shut-down that destroys the key material.
set -euo pipefail
bin=$(realpath "$1")
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"
vrk() { "$bin/vrk" "$@"; }
say() { printf '\n== %s\n' "$*"; }

key=271828182845
say "Key set-up with key $key (scratch files k1-k6 appear in $(pwd))"
vrk call VrkGenBinaryKeys "$key" | sed 's/^/   /'
ls -l | sed 's/^/   /'

say "A string enciphered and deciphered back (hexadecimal)"
plain=$(printf 'Quarterly report, page 1' | od -An -tx1 | tr -d ' \n')
out=$(vrk call --hex VrkGenBinaryKeys "$(printf %s "$key" | od -An -tx1 | tr -d ' \n')" VrkBEnc "$plain")
cipher=$(printf '%s\n' "$out" | awk '/^VrkBEnc/ {print $3}')
back=$(vrk call --hex VrkGenBinaryKeys "$(printf %s "$key" | od -An -tx1 | tr -d ' \n')" VrkBDec "$cipher" | awk '/^VrkBDec/ {print $3}')
echo "   plain:    $plain"
echo "   cipher:   $cipher"
echo "   deciphered $( [ "$back" = "$plain" ] && echo 'equals the plain text' || echo 'DIFFERS')"

say "A file encrypted in place and decrypted into a copy"
head -c 300000 /dev/urandom > report.doc
cp report.doc original.doc
vrk call VrkGenBinaryKeys "$key" VrkBinaryFileEnc report.doc VrkBinaryFileDec "report.doc copy.doc" | sed 's/^/   /'
echo "   encrypted size $(stat -c %s report.doc) bytes (plain $(stat -c %s original.doc)); $(cmp -s report.doc original.doc && echo 'UNCHANGED' || echo 'bytes differ')"
echo "   decrypted copy $(cmp -s copy.doc original.doc && echo 'equals the original' || echo 'DIFFERS')"

say "Shut-down: the key material is overwritten and deleted"
vrk call VrkShutDown "" | sed 's/^/   /'
ls | sed 's/^/   /'
