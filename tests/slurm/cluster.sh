#!/usr/bin/env bash
# A one-node SLURM cluster of the suite's own, every file of it under DIR:
#   cluster.sh start DIR   starts munged, slurmctld and slurmd; prints the
#                          SLURM_CONF the client commands must be given
#   cluster.sh run DIR CMD…  runs a client command (sbatch, sinfo…) on it
#   cluster.sh stop DIR    stops those three, by their pid files
# Runs as root without systemd, and never touches the system's own
# configuration, keys or daemons. The daemons live in a network namespace of
# their own (DIR/run/net) whose only interface is the loopback: slurmctld
# listens on every address it has, and there those are loopback addresses
# alone; the cluster is configured on 127.0.0.1. Exit
# status 77 means the machine cannot hold such a cluster (no root, a package
# missing, no namespaces).
set -euo pipefail
# The daemons live in sbin, which a non-login shell may leave out.
export PATH=$PATH:/usr/sbin:/sbin

usage() { echo "usage: $0 start|stop DIR, or $0 run DIR COMMAND [ARGUMENTS]" >&2; exit 64; }
[ $# -ge 2 ] || usage
action=$1
dir=$(realpath -m "$2")
shift 2
conf=$dir/etc/slurm.conf
net=$dir/run/net
daemons=(slurmd slurmctld munged)

say() { echo "cluster.sh: $*" >&2; }

# A command in the cluster's network, pointed at its configuration.
in_net() { nsenter --net="$net" env SLURM_CONF="$conf" "$@"; }

# A loopback port nothing listens on or talks from.
free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 40000))
    if [ -z "$(in_net ss -Htan "( sport = :$port or dport = :$port )" 2>/dev/null)" ]; then
      echo "$port"
      return 0
    fi
  done
  say "no free port found"
  return 1
}

# The pid in a daemon's pid file, when that process is still the daemon.
live_pid() {
  local name=$1 file=$dir/run/$1.pid pid
  [ -s "$file" ] || return 1
  pid=$(tr -dc 0-9 <"$file")
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || return 1
  echo "$pid"
}

wait_for() {  # seconds, then a command that says when it is done
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

write_conf() {
  local node ctld_port node_port
  # The node as it is: name, CPUs, boards, sockets, cores, threads, memory.
  node=$(slurmd -C | head -n 1)
  ctld_port=$(free_port)
  node_port=$(free_port)
  [ "$ctld_port" != "$node_port" ] || node_port=$((node_port + 1))
  cat >"$conf" <<CONF
ClusterName=driftwise
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
# slurmd binds 127.0.0.1 alone; slurmctld binds every address whatever this
# says, hence the namespace.
CommunicationParameters=NoInAddrAny
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
# No cgroups: the machine may not offer them to a test.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
# Array tasks start at once rather than 3 s apart; finished jobs are kept
# long enough for sbatch --wait (it polls every 2 s) to see how they ended.
SchedulerParameters=batch_sched_delay=0
MinJobAge=5
KillWait=2
InactiveLimit=0
ReturnToService=2
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=debug Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
}

start_munge() {
  # munged refuses a socket folder that is not searchable by everyone, up to
  # the root, and a key anyone else can read.
  chmod 0711 "$dir" "$dir/munge"
  dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
  chmod 0600 "$dir/munge/munge.key"
  munged --force --socket="$dir/munge/munge.socket" --key-file="$dir/munge/munge.key" \
    --pid-file="$dir/run/munged.pid" --log-file="$dir/log/munged.log" \
    --seed-file="$dir/munge/munged.seed" --origin=127.0.0.1
  wait_for 10 test -S "$dir/munge/munge.socket" || { say "munged did not start"; return 1; }
}

node_idle() {
  [ "$(in_net sinfo -h -o %T 2>/dev/null)" = idle ]
}

make_net() {
  : >"$net"
  # glibc resolves no name, not even "127.0.0.1", on a machine whose only
  # IPv4 address is 127.0.0.1 (getaddrinfo's AI_ADDRCONFIG); a second
  # loopback address, as unreachable from outside, satisfies it.
  if ! unshare --net="$net" true 2>/dev/null || ! in_net ip link set lo up ||
    ! in_net ip addr add 127.0.0.2/8 dev lo; then
    umount "$net" 2>/dev/null || true
    say "cannot make a network namespace (unshare --net) here"
    return 77
  fi
}

# The three daemons, until the node is idle; false at the first that fails.
launch() {
  in_net bash -c "$(declare -f say wait_for start_munge); dir='$dir'; start_munge" &&
    in_net slurmctld -f "$conf" && in_net slurmd -f "$conf" && wait_for 30 node_idle
}

start() {
  [ "$(id -u)" -eq 0 ] || { say "must run as root"; return 77; }
  for tool in munged slurmctld slurmd sinfo ss unshare nsenter ip; do
    command -v "$tool" >/dev/null || { say "$tool is not installed"; return 77; }
  done
  mkdir -p "$dir"/{etc,state,spool,log,run,munge}
  make_net || return
  write_conf
  if ! launch; then
    say "the cluster did not start; logs in $dir/log:"
    tail -n 20 "$dir"/log/*.log >&2 || true
    stop
    return 1
  fi
  echo "SLURM_CONF=$conf"
}

run() {
  [ -e "$net" ] || { say "no cluster in $dir"; return 1; }
  in_net "$@"
}

stop() {
  local pids=() pid name
  # Jobs still running end with the cluster, not after it.
  if [ -f "$conf" ] && live_pid slurmctld >/dev/null; then
    in_net timeout 5 scancel --quiet --full --user=root 2>/dev/null || true
  fi
  # All three at once: each takes a second or two to go.
  for name in "${daemons[@]}"; do
    if pid=$(live_pid "$name"); then
      kill -TERM "$pid" 2>/dev/null || true
      pids+=("$pid")
    fi
  done
  for pid in "${pids[@]}"; do
    wait_for 15 test ! -e "/proc/$pid" || kill -KILL "$pid" 2>/dev/null || true
  done
  umount "$net" 2>/dev/null || true
}

case $action in
  start) [ $# -eq 0 ] || usage; start ;;
  stop) [ $# -eq 0 ] || usage; stop ;;
  run) [ $# -gt 0 ] || usage; run "$@" ;;
  *) usage ;;
esac
