#!/usr/bin/env bash
# Two real users share a database through a group folder: each deletes and
# registers in turn, and the other's next change still finds the database
# writable (a replacement keeps the old file's group and mode). Once in a
# setgid folder (how a shared database is set up), once in a plain group
# folder (where the replacement must set the group itself). Needs root to
# make the users; skipped (77) otherwise.
#   shared_folder.sh VUDUZEZ_CLI SAMPLE_MOL_FOLDER
set -euo pipefail
cli=$1
sample=$2
if [ "$(id -u)" != 0 ] || ! command -v useradd >/dev/null || ! command -v runuser >/dev/null; then
  echo "skipped: needs root, useradd and runuser"
  exit 77
fi

tag=vz$$
group=${tag}g
a=${tag}a
b=${tag}b
work=$(mktemp -d)
cleanup() {
  userdel "$a" 2>/dev/null || true
  userdel "$b" 2>/dev/null || true
  groupdel "$group" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
groupadd "$group"
useradd -M -N -g users -G "$group" -s /bin/sh "$a"
useradd -M -N -g users -G "$group" -s /bin/sh "$b"

chmod 755 "$work"
mkdir "$work/bin"
cp "$cli" "$work/bin/vuduzez-cli"
chmod 755 "$work/bin/vuduzez-cli"
# Two MOL folders for each user, readable by both.
mols=("$sample"/*.mol)
for u in "$a" "$b"; do
  for n in 1 2; do
    d=$work/$u$n
    mkdir "$d"
    cp "${mols[$((RANDOM % ${#mols[@]}))]}" "$d/$u-$n-x.mol"
    cp "${mols[$((RANDOM % ${#mols[@]}))]}" "$d/$u-$n-y.mol"
  done
  mkdir "$work/home-$u"
  chown "$u" "$work/home-$u"
done
chmod -R a+rX "$work"

as() {  # as USER COMMAND...: a command of that user, in the group, umask 002
  local user=$1
  shift
  runuser -u "$user" -- env HOME="$work/home-$user" XDG_CACHE_HOME="$work/home-$user/cache" \
    VUDUZEZ_LOCK_WAIT=60 sh -c 'umask 002; exec "$@"' sh "$@"
}
fail() {
  echo "FAILED: $*"
  ls -la "$folder"
  exit 1
}
check() {  # the database's group and mode after each change
  local got
  got=$(stat -c '%G %a' "$folder/db.txt")
  [ "$got" = "$group 664" ] || fail "$1: database is '$got', not '$group 664'"
}
names() { awk 'NR % 4 == 1 { sub(/\r$/, ""); print }' "$folder/db.txt" | sort | tr '\n' ' '; }

for kind in setgid plain; do
  folder=$work/$kind
  mkdir "$folder"
  chgrp "$group" "$folder"
  if [ "$kind" = setgid ]; then chmod 2775 "$folder"; else chmod 0775 "$folder"; fi
  as "$a" sh -c ": > '$folder/db.txt'; chgrp $group '$folder/db.txt'; chmod 664 '$folder/db.txt'"
  check "created by $a"
  cli_as() { as "$1" "$work/bin/vuduzez-cli" "${@:2}" >/dev/null || fail "$kind: $1 ${*:2}"; }
  cli_as "$a" register --db "$folder/db.txt" "$work/${a}1"
  cli_as "$b" register --db "$folder/db.txt" "$work/${b}1"
  cli_as "$b" delete --db "$folder/db.txt" "$a-1-x.mol"
  check "$kind: $b deleted"
  cli_as "$a" register --db "$folder/db.txt" "$work/${a}2"
  cli_as "$a" delete --db "$folder/db.txt" "$b-1-y.mol"
  check "$kind: $a deleted"
  cli_as "$b" register --db "$folder/db.txt" "$work/${b}2"
  cli_as "$b" rewrite --db "$folder/db.txt"
  check "$kind: $b rewrote"
  got=$(names)
  want="$a-1-y.mol $a-2-x.mol $a-2-y.mol $b-1-x.mol $b-2-x.mol $b-2-y.mol "
  [ "$got" = "$want" ] || fail "$kind: records are '$got', not '$want'"
  # Nothing of either user's runs is left beside the database.
  leftovers=$(find "$folder" -mindepth 1 ! -name db.txt)
  [ -z "$leftovers" ] || fail "$kind: left behind: $leftovers"
done
echo "two users shared a setgid and a plain group folder"
