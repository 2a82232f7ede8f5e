#!/usr/bin/env bash
# Prepares a demonstration installation when there is none:
#   scripts/demo-install.sh BIN-FOLDER DEMO-FOLDER
# BIN-FOLDER is a build's bin folder or an installation's (its help texts under ../share).
# DEMO-FOLDER/share      the network folder, mapped as drive N: (key.dat, Files.dat, documents)
# DEMO-FOLDER/config     XDG_CONFIG_HOME for the demo: varkel/drives maps N:
# DEMO-FOLDER/admin      the console's working folder: network.dat, Keys.dat, help texts
set -euo pipefail
bin=$(realpath "$1")
demo=$(realpath -m "$2")
if [ -f "$demo/admin/network.dat" ]; then
  echo "Demonstration installation: $demo (already prepared)"
  exit 0
fi
echo "Preparing a demonstration installation in $demo"
mkdir -p "$demo/share/Docs" "$demo/share/New" "$demo/admin" "$demo/config/varkel"
printf 'N: %s\n' "$demo/share" > "$demo/config/varkel/drives"
export XDG_CONFIG_HOME="$demo/config"
lines() { printf '%s\r\n' "$@"; }  # one entry per line, CR LF

# A key of 18 digits 1 to 9 from the secure random source (bytes of 252 and up are dropped,
# so that each digit is equally likely).
new_key() {
  od -An -tu1 -N96 /dev/urandom | tr -s ' ' '\n' |
    awk 'NF && $1 < 252 && n < 18 { printf "%d", $1 % 9 + 1; n++ } END { if (n < 18) exit 1 }'
}
keys=()
for _ in 1 2 3 4 5; do keys+=("$(new_key)"); done

cd "$demo/admin"
lines 'N:\' > network.dat
lines "${keys[@]}" > Keys.dat
lines "${keys[0]}" > "$demo/share/key.dat"
help="$bin"
[ -f "$help/howto.txt" ] || help="$bin/../share/varkel/help/console"
cp "$help"/{howto,util,keym,lock,netw,sec}.txt .

# Sample documents: three registered and encrypted, two more waiting in N:\New.
docs=('Quarterly report.txt' 'minutes.txt' 'budget.csv')
printf 'Quarterly report\r\n\r\nSales rose by 4 per cent over the quarter.\r\n' > "$demo/share/Docs/${docs[0]}"
printf 'Minutes of the board meeting\r\n\r\n1. Budget approved.\r\n' > "$demo/share/Docs/${docs[1]}"
printf 'item,amount\r\nrent,1200\r\nsalaries,8400\r\n' > "$demo/share/Docs/${docs[2]}"
printf 'A letter waiting to be encrypted.\r\n' > "$demo/share/New/letter.txt"
printf 'A memo waiting to be encrypted.\r\n' > "$demo/share/New/memo.txt"

calls=(VrkGenBinaryKeys "${keys[0]}")
paths=()
for doc in "${docs[@]}"; do
  path="N:\\Docs\\$doc"
  paths+=("$path")
  case "$path" in *' '*) calls+=(VrkBinaryFileEnc "\"$path\"") ;; *) calls+=(VrkBinaryFileEnc "$path") ;; esac
done
calls+=(VrkShutDown "")
"$bin/vrk" call "${calls[@]}" | sed 's/^/   /'
lines "${paths[@]}" > "$demo/share/Files.dat"
echo "   network folder N: = $demo/share, console folder $demo/admin"
