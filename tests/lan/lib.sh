# Shared helpers of the test LAN scripts (up, down, exec, stop-host,
# start-host, make-bench-share, selftest).  Sourced, not run.

# shellcheck source=env.sh
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"

qvlan_say() { printf 'qvlan: %s\n' "$*" >&2; }
qvlan_die() { printf 'qvlan: error: %s\n' "$*" >&2; exit 1; }

# Exit status 77 means "skipped" to CTest (SKIP_RETURN_CODE) and to the
# tests that call these scripts.
qvlan_need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        printf 'qvlan: skipped: the test LAN needs root (network namespaces, smbd)\n' >&2
        exit 77
    fi
}

qvlan_lower() { printf '%s' "$1" | tr '[:upper:]' '[:lower:]'; }
qvlan_upper() { printf '%s' "$1" | tr '[:lower:]' '[:upper:]'; }

# The folder of one host under the run folder.
qvlan_host_dir() { printf '%s/hosts/%s' "$QVLAN_RUN" "$(qvlan_lower "$1")"; }

# Every namespace this LAN creates, switch last.
qvlan_all_ns() {
    local h
    printf '%s\n' "$QVLAN_NS_CLIENT"
    for h in $QVLAN_HOSTS; do qvlan_host_var "$h" NS; echo; done
    printf '%s\n' "$QVLAN_NS_SWITCH"
}

qvlan_ns_exists() { [ -e "/run/netns/$1" ]; }

# Pids of the processes whose network namespace is NS.
qvlan_ns_pids() {
    qvlan_ns_exists "$1" || return 0
    ip netns pids "$1" 2>/dev/null || true
}

# The pids of every process in the namespaces NS...
qvlan_pids_of() {
    local ns
    for ns in "$@"; do qvlan_ns_pids "$ns"; done
}

# Ends every process in the namespaces NS...: TERM, up to 5 s of grace,
# then KILL; then waits (up to 5 s) until init has reaped them, so that none
# is seen, not even as a zombie, once this returns.  These are only
# processes started inside the LAN's own namespaces.
qvlan_kill_ns_procs() {
    local pids seen i p rc=0
    pids=$(qvlan_pids_of "$@")
    [ -n "$pids" ] || return 0
    seen=$pids
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    for i in $(seq 1 50); do
        pids=$(qvlan_pids_of "$@")
        [ -n "$pids" ] || break
        seen="$seen $pids"
        sleep 0.1
    done
    if [ -n "$pids" ]; then
        qvlan_say "still running 5 s after TERM, killing:" \
            "$(ps -o pid=,stat=,wchan=,comm= -p "$(printf '%s,' $pids | sed 's/,$//')" | tr -s ' ' | tr '\n' ';')"
        # shellcheck disable=SC2086
        kill -KILL $pids 2>/dev/null || true
        for i in $(seq 1 20); do
            pids=$(qvlan_pids_of "$@")
            [ -n "$pids" ] || break
            sleep 0.1
        done
        if [ -n "$pids" ]; then
            qvlan_say "processes left: $(printf "%s " $pids)"
            rc=1
        fi
    fi
    for i in $(seq 1 50); do
        pids=""
        for p in $seen; do [ ! -e "/proc/$p" ] || pids="$pids $p"; done
        [ -n "$pids" ] || break
        sleep 0.1
    done
    return $rc
}

# Starts nmbd and smbd of HOST inside its namespace.  Their stdio goes to a
# file so that nothing keeps the caller's pipes open.  Their smb.conf moves
# every folder into the host's folder; on top of that they run in a mount
# namespace of their own in which the host's folders are bind-mounted over
# the system's Samba folders, because the helpers smbd starts (samba-dcerpcd
# runs each rpcd_* once before it has read smb.conf) open log files under
# the compiled-in /var/log/samba.  The mounts exist only for these daemons.
qvlan_start_daemons() {
    local host=$1 ns dir
    ns=$(qvlan_host_var "$host" NS)
    dir=$(qvlan_host_dir "$host")
    [ -f "$dir/smb.conf" ] || qvlan_die "$host: no configuration (is the LAN up?)"
    rm -f "$dir/pid/"*.pid
    mkdir -p "$dir/sys/run" "$dir/sys/lib"
    ip netns exec "$ns" unshare --mount --propagation private -- /bin/sh -c '
        set -e
        d=$1
        mount --bind "$d/log" /var/log/samba
        mount --bind "$d/sys/run" /run/samba
        mount --bind "$d/sys/lib" /var/lib/samba
        mount --bind "$d/cache" /var/cache/samba
        /usr/sbin/nmbd -D -s "$d/smb.conf" -l "$d/log"
        /usr/sbin/smbd -D -s "$d/smb.conf" -l "$d/log"
    ' sh "$dir" </dev/null >>"$dir/log/daemons.out" 2>&1 ||
        qvlan_die "$host: smbd or nmbd did not start (see $dir/log/daemons.out)"
}

# Stops every process of HOST's namespace (smbd, its children,
# samba-dcerpcd, samba-bgqd, nmbd).
qvlan_stop_daemons() {
    qvlan_kill_ns_procs "$(qvlan_host_var "$1" NS)"
}

# Runs a command in the client namespace.  `ip netns exec` bind-mounts
# /etc/netns/$QVLAN_NS_CLIENT/* over /etc/* for that command only: that is
# how the client gets its own /etc/hosts, /etc/resolv.conf and
# /etc/samba/smb.conf (read by libsmbclient when $HOME/.smb/smb.conf does
# not exist).
qvlan_client() {
    ip netns exec "$QVLAN_NS_CLIENT" "$@"
}

# True when `lan-browse URL` (run in the client namespace) prints a line
# whose first two fields are TYPE and NAME (NAME compared case-insensitively).
qvlan_lists() {
    local url=$1 type=$2 name=$3 out
    out=$(qvlan_client env HOME=/nonexistent "$QVLAN_BROWSE" -t 5000 "$url" 2>/dev/null) || true
    printf '%s\n' "$out" | awk -F'\t' -v t="$type" -v n="$name" \
        'tolower($1) == tolower(t) && tolower($2) == tolower(n) { f = 1 } END { exit !f }'
}

# True when the browse lists are complete: smb:// lists every workgroup,
# smb://WG every member of WG, and every running host lists its shares.
# Prints what is missing on stdout.
qvlan_browse_missing() {
    local wg h s missing=""
    for wg in $QVLAN_WORKGROUPS; do
        qvlan_lists "smb://" workgroup "$wg" || missing="$missing smb://:$wg"
    done
    for wg in $QVLAN_WORKGROUPS; do
        for h in $(qvlan_host_var "$wg" HOSTS); do
            qvlan_lists "smb://$wg" server "$h" || missing="$missing smb://$wg:$h"
        done
    done
    for h in $QVLAN_HOSTS; do
        s=$(qvlan_host_var "$h" SHARES)
        s=${s%% *}
        qvlan_lists "smb://$h" file-share "$s" || missing="$missing smb://$h:$s"
    done
    printf '%s' "${missing# }"
    [ -z "$missing" ]
}
