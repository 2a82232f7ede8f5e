#!/usr/bin/env bash
# A real network share for the tests: an SFTP server (sshd with a private configuration, host
# key and user key, on a free port of 127.0.0.1) serving one folder, mounted twice through
# sshfs, one mount per simulated machine, each logged in as its own account of one group.
#
#   share-harness.sh run cached|kernel-cached|uncached REGISTRY -- COMMAND [ARG]...
#       sets the share up, runs COMMAND with the VARKEL_SHARE_* variables below, tears it all
#       down again (also when COMMAND fails or the harness is interrupted) and exits with
#       COMMAND's status. "cached" mounts with the client's default caches, "kernel-cached"
#       with sshfs's own cache off (the kernel's name and attribute caches keep their default
#       second), "uncached" with every client cache off.
#   share-harness.sh sweep REGISTRY
#       tears down whatever a run registered in REGISTRY and could not remove itself (a run
#       killed by a time-out, for example).
#
# Exit status 77 when this machine cannot run it (not root, no FUSE device, a program
# missing); the test runner reports that as skipped.
#
# COMMAND sees:
#   VARKEL_SHARE_SERVER            the served folder, as the server sees it
#   VARKEL_SHARE_MACHINES          "A B"
#   VARKEL_SHARE_{A,B}_MOUNT       that machine's mount of the share
#   VARKEL_SHARE_{A,B}_CONFIG      its configuration folder (XDG_CONFIG_HOME), whose drive
#                                  map maps N: to its mount
#   VARKEL_SHARE_{A,B}_WORK        a working folder of its own
#   VARKEL_SHARE_{A,B}_USER        the account it reaches the server as
#   VARKEL_SHARE_{A,B}_CLIENT      the process id of its file-system client (sshfs)
#   VARKEL_SHARE_{A,B}_REMOUNT     mounts that machine's share again once its client has died
#   VARKEL_SHARE_{A,B}_RUN         runs PROGRAM [ARG]... as that machine: host name
#                                  varkel-A or varkel-B, XDG_CONFIG_HOME its configuration
#   VARKEL_SHARE_GROUP             the group both accounts belong to
#   VARKEL_SHARE_CACHE             cached, kernel-cached or uncached
set -uo pipefail

readonly SKIP=77
readonly GROUP=vrkshare
readonly USERS=(vrkshare1 vrkshare2)
readonly MACHINES=(A B)
readonly UNCACHED_OPTIONS=dir_cache=no,attr_timeout=0,entry_timeout=0,negative_timeout=0

say() { echo "share-harness: $*" >&2; }
skip() { say "skipped: $*"; exit "$SKIP"; }

check_machine() {
  [ "$(id -u)" -eq 0 ] || skip "needs root (accounts, FUSE mounts)"
  [ -c /dev/fuse ] || skip "no FUSE device /dev/fuse"
  local tool
  for tool in /usr/sbin/sshd sshfs fusermount3 ssh-keygen useradd userdel groupadd groupdel unshare setsid; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
  done
}

# --- tear-down: everything here works on a half-built state as well --------------------------

# The start time of a process (clock ticks since boot), which tells it from a later process
# that got the same id.
start_time() { [ -r "/proc/$1/stat" ] && sed 's/^.*) //' "/proc/$1/stat" | cut -d' ' -f20; }

record() {  # state folder, process id, "process" or "group" (the process leads a group)
  echo "$2 $(start_time "$2") $3" >>"$1/pids"
}

signal_recorded() {  # state folder, kind, signal: to what of that kind this run started
  local pid started kind
  [ -f "$1/pids" ] || return 0
  while read -r pid started kind; do
    [ "$kind" = "$2" ] && [ -n "$started" ] && [ "$(start_time "$pid")" = "$started" ] || continue
    if [ "$kind" = group ]; then kill "-$3" -- "-$pid" 2>/dev/null; else kill "-$3" "$pid" 2>/dev/null; fi
  done <"$1/pids"
}

kill_recorded() {  # state folder, kind
  signal_recorded "$1" "$2" TERM
  sleep 0.2
  signal_recorded "$1" "$2" KILL
}

unmount_all() {  # state folder: every mount under it, also one whose client has died
  local state=$1 mnt
  for mnt in $(awk -v prefix="$state/" 'index($2, prefix) == 1 { print $2 }' /proc/self/mounts); do
    fusermount3 -u "$mnt" 2>/dev/null || fusermount3 -uz "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null
  done
}

remove_accounts() {  # state folder
  local state=$1 user
  [ -f "$state/accounts" ] || return 0
  for user in "${USERS[@]}"; do
    id "$user" >/dev/null 2>&1 && userdel "$user" 2>/dev/null
  done
  getent group "$GROUP" >/dev/null && groupdel "$GROUP" 2>/dev/null
  return 0
}

tear_down() {  # state folder, registry
  local state=$1 registry=$2
  [ -n "$state" ] && [ -d "$state" ] || return 0
  kill_recorded "$state" group  # the command, should it still run: it may hold files open
  unmount_all "$state"
  kill_recorded "$state" process
  unmount_all "$state"
  remove_accounts "$state"
  if grep -qF "$state/" /proc/self/mounts; then
    say "a mount under $state is still there; the folder is kept for the next sweep"
    return 1
  fi
  rm -rf --one-file-system "$state"
  rm -f "$registry/$(basename "$state")"
}

sweep() {  # registry
  local registry=$1 entry status=0
  [ -d "$registry" ] || return 0
  for entry in "$registry"/varkel-share.*; do
    [ -f "$entry" ] || continue
    say "removing a share left behind: $(cat "$entry")"
    tear_down "$(cat "$entry")" "$registry" || status=1
  done
  return "$status"
}

# --- set-up --------------------------------------------------------------------------------

make_accounts() {  # state folder
  local state=$1 user
  touch "$state/accounts"
  getent group "$GROUP" >/dev/null || groupadd "$GROUP" || return 1
  for user in "${USERS[@]}"; do
    id "$user" >/dev/null 2>&1 ||
      useradd -M -N -g "$GROUP" -d "$state/home" -s /usr/sbin/nologin "$user" || return 1
    # "*" is no password, yet not a locked account: the server lets the key in.
    usermod -p '*' "$user" || return 1
  done
}

make_keys() {  # state folder
  local state=$1
  ssh-keygen -q -t ed25519 -N '' -C varkel-share-host -f "$state/host_key" || return 1
  ssh-keygen -q -t ed25519 -N '' -C varkel-share-user -f "$state/user_key" || return 1
  cp "$state/user_key.pub" "$state/authorized_keys" && chmod 644 "$state/authorized_keys"
}

write_server_config() {  # state folder, port
  local state=$1 port=$2
  cat >"$state/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $state/host_key
PidFile $state/sshd.pid
AuthorizedKeysFile $state/authorized_keys
StrictModes no
UsePAM no
PermitRootLogin no
PasswordAuthentication no
KbdInteractiveAuthentication no
PubkeyAuthentication yes
AllowUsers ${USERS[*]}
MaxStartups 32
LogLevel ERROR
Subsystem sftp internal-sftp -u 0002
EOF
  cat >"$state/ssh_config" <<EOF
Host share
  HostName 127.0.0.1
  Port $port
  IdentityFile $state/user_key
  IdentitiesOnly yes
  UserKnownHostsFile $state/known_hosts
  StrictHostKeyChecking yes
  BatchMode yes
  LogLevel ERROR
EOF
  echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$state/host_key.pub")" >"$state/known_hosts"
}

port_answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

start_server() {  # state folder
  local state=$1 attempt port pid i
  mkdir -p /run/sshd && chmod 755 /run/sshd
  for attempt in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    port_answers "$port" && continue
    write_server_config "$state" "$port"
    /usr/sbin/sshd -D -f "$state/sshd_config" -E "$state/sshd.log" &
    pid=$!
    record "$state" "$pid" process
    for i in $(seq 50); do
      port_answers "$port" && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
  done
  say "the SFTP server did not start: $(tail -3 "$state/sshd.log" 2>/dev/null)"
  return 1
}

mount_machine() {  # state folder, machine, account, cache mode
  local state=$1 machine=$2 user=$3 cache=$4 options i pid
  local root="$state/$machine"
  mkdir -p "$root/mnt" "$root/config/varkel" "$root/work"
  echo "N: $root/mnt" >"$root/config/varkel/drives"
  # Starts a program as this machine: a host name of its own, its drive map.
  cat >"$root/run" <<EOF
#!/bin/sh
exec unshare --uts /bin/sh -c 'hostname varkel-$machine && exec "\$@"' run env XDG_CONFIG_HOME=$root/config "\$@"
EOF
  chmod 755 "$root/run"
  # hard_remove: a file removed or replaced while this client still has it open (its close
  # reaches the client a moment later) is removed at once, not renamed to a hidden
  # ".fuse_hidden..." file that stays in the share.
  options=idmap=none,workaround=truncate
  case $cache in
  uncached) options+=",$UNCACHED_OPTIONS" ;;
  kernel-cached) options+=",dir_cache=no" ;;
  esac
  # A client started again runs in the background on its own; the tear-down's unmount ends it.
  cat >"$root/remount" <<EOF
#!/bin/sh
fusermount3 -uz "$root/mnt" 2>/dev/null
exec sshfs -F "$state/ssh_config" -o "$options" "$user@share:$state/server/share" "$root/mnt" 2>>"$state/sshfs-$machine.log"
EOF
  chmod 755 "$root/remount"
  sshfs -f -F "$state/ssh_config" -o "$options" "$user@share:$state/server/share" "$root/mnt" \
    2>>"$state/sshfs-$machine.log" &
  pid=$!
  record "$state" "$pid" process
  echo "$pid" >"$root/client.pid"
  for i in $(seq 100); do
    grep -qF " $root/mnt " /proc/self/mounts && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  say "machine $machine could not mount the share: $(tail -3 "$state/sshfs-$machine.log")"
  # A machine (a container, say) that allows no FUSE mounts cannot run the share at all.
  grep -qiE "fuse: device not found|mount.*(operation not permitted|permission denied)" \
    "$state/sshfs-$machine.log" && return 2
  return 1
}

run() {  # cache mode, registry, command...
  local cache=$1 registry=$2
  shift 2
  [ "${1:-}" = -- ] && shift
  case $cache in cached | kernel-cached | uncached) ;; *) say "unknown cache mode $cache"; exit 2 ;; esac
  [ $# -gt 0 ] || { say "no command to run"; exit 2; }
  check_machine
  mkdir -p "$registry"
  sweep "$registry"

  state=$(mktemp -d /tmp/varkel-share.XXXXXX) || exit 1
  chmod 755 "$state"
  echo "$state" >"$registry/$(basename "$state")"
  trap 'tear_down "$state" "$registry"' EXIT
  trap 'exit 130' INT TERM HUP

  mkdir -p "$state/home" "$state/server/share"
  make_accounts "$state" || { say "could not create the accounts"; exit 1; }
  chown "root:$GROUP" "$state/server/share" && chmod 2770 "$state/server/share"
  make_keys "$state" || { say "could not make the keys"; exit 1; }
  start_server "$state" || exit 1
  local i
  for i in 0 1; do
    mount_machine "$state" "${MACHINES[$i]}" "${USERS[$i]}" "$cache"
    case $? in 0) ;; 2) skip "this machine allows no FUSE mounts" ;; *) exit 1 ;; esac
  done

  export VARKEL_SHARE_SERVER="$state/server/share" VARKEL_SHARE_MACHINES="${MACHINES[*]}"
  export VARKEL_SHARE_GROUP="$GROUP" VARKEL_SHARE_CACHE="$cache"
  for i in 0 1; do
    local m=${MACHINES[$i]}
    export "VARKEL_SHARE_${m}_MOUNT=$state/$m/mnt" "VARKEL_SHARE_${m}_CONFIG=$state/$m/config"
    export "VARKEL_SHARE_${m}_WORK=$state/$m/work" "VARKEL_SHARE_${m}_USER=${USERS[$i]}"
    export "VARKEL_SHARE_${m}_RUN=$state/$m/run" "VARKEL_SHARE_${m}_CLIENT=$(cat "$state/$m/client.pid")"
    export "VARKEL_SHARE_${m}_REMOUNT=$state/$m/remount"
  done
  say "share ready ($cache): server folder $VARKEL_SHARE_SERVER, mounts A and B"
  # Users who share a folder through their group create files the group may write.
  umask 0002
  # The command runs in a process group of its own, so that a sweep after a killed run also
  # ends what it started.
  setsid "$@" &
  local command=$!
  record "$state" "$command" group
  wait "$command"
  local status=$?
  [ "$status" -eq "$SKIP" ] && status=1  # a skip inside the share is not the machine's
  exit "$status"
}

case ${1:-} in
run) shift; [ $# -ge 2 ] || { say "usage: $0 run cached|kernel-cached|uncached REGISTRY -- COMMAND..."; exit 2; }; run "$@" ;;
sweep) [ $# -eq 2 ] || { say "usage: $0 sweep REGISTRY"; exit 2; }; check_machine; sweep "$2" ;;
*) say "usage: $0 run cached|kernel-cached|uncached REGISTRY -- COMMAND... | sweep REGISTRY"; exit 2 ;;
esac
