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
    for h in $QVLAN_ALL_HOSTS; do qvlan_host_var "$h" NS; echo; done
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

# Starts the servers of HOST inside its namespace: smbd, nmbd unless the
# host has none (_NMBD=no), and its announcer: wsdd (_KIND=wsd) or
# avahi-daemon (_KIND=mdns).  Their stdio goes to files so that nothing
# keeps the caller's pipes open.  Their smb.conf moves every folder into
# the host's folder; on top of that they run in a mount namespace of their
# own in which the host's folders are bind-mounted over the system's Samba
# folders, because the helpers smbd starts (samba-dcerpcd runs each rpcd_*
# once before it has read smb.conf) open log files under the compiled-in
# /var/log/samba.  The mounts exist only for these daemons.  Every daemon
# gets QVLAN_LAN_RUN=<run folder> in its environment, by which down finds
# one that outlived its namespace.
qvlan_start_daemons() {
    local host=$1 kind
    kind=$(qvlan_host_var "$host" KIND)
    qvlan_start_samba "$host" "$(qvlan_host_var "$host" NMBD)"
    case "$kind" in
    wsd) qvlan_start_wsdd "$host" ;;
    mdns) qvlan_start_avahi "$host" ;;
    esac
}

# qvlan_start_samba HOST yes|no [SMBD-ARG...]: smbd, and nmbd when asked, of
# the host as above; the arguments go to smbd.
qvlan_start_samba() {
    local host=$1 nmbd=$2 ns dir
    shift 2
    ns=$(qvlan_host_var "$host" NS)
    dir=$(qvlan_host_dir "$host")
    [ -f "$dir/smb.conf" ] || qvlan_die "$host: no configuration (is the LAN up?)"
    if [ "$nmbd" = no ]; then rm -f "$dir/pid/smbd.pid"; else rm -f "$dir/pid/"*.pid; fi
    mkdir -p "$dir/sys/run" "$dir/sys/lib"
    ip netns exec "$ns" env QVLAN_LAN_RUN="$QVLAN_RUN" \
        unshare --mount --propagation private -- /bin/sh -c '
        set -e
        d=$1 nmbd=$2
        shift 2
        mount --bind "$d/log" /var/log/samba
        mount --bind "$d/sys/run" /run/samba
        mount --bind "$d/sys/lib" /var/lib/samba
        mount --bind "$d/cache" /var/cache/samba
        [ "$nmbd" = no ] || /usr/sbin/nmbd -D -s "$d/smb.conf" -l "$d/log"
        /usr/sbin/smbd -D -s "$d/smb.conf" -l "$d/log" "$@"
    ' sh "$dir" "$nmbd" "$@" </dev/null >>"$dir/log/daemons.out" 2>&1 ||
        qvlan_die "$host: smbd or nmbd did not start (see $dir/log/daemons.out)"
}

# wsdd answers WS-Discovery probes (UDP 3702, multicast 239.255.255.250)
# and metadata requests (HTTP on TCP 5357) on the namespace's eth0, IPv4
# only, as HOST of workgroup <_WG>, with a fixed endpoint UUID.  It has no
# daemon mode: it runs in its own session, reparented to init.  Run by
# /usr/bin/python3, whatever python3 comes first in PATH.
qvlan_start_wsdd() {
    local host=$1 dir
    dir=$(qvlan_host_dir "$host")
    ip netns exec "$(qvlan_host_var "$host" NS)" env QVLAN_LAN_RUN="$QVLAN_RUN" /bin/sh -c '
        setsid /usr/bin/python3 /usr/sbin/wsdd --interface eth0 --ipv4only \
            --hostname "$1" --workgroup "$2" --uuid "$3" --shortlog --verbose \
            </dev/null >>"$4/log/wsdd.log" 2>&1 &
    ' sh "$host" "$(qvlan_host_var "$host" WG)" "$(qvlan_host_var "$host" WSD_UUID)" "$dir" \
        </dev/null >>"$dir/log/daemons.out" 2>&1 ||
        qvlan_die "$host: wsdd did not start (see $dir/log/daemons.out)"
}

# avahi-daemon publishes HOST's name and its static _smb._tcp service.  Its
# configuration folder is compiled in (/etc/avahi, services in
# /etc/avahi/services), as is its run folder (/run/avahi-daemon: pid file
# and socket).  So it runs in a mount namespace of its own in which the
# host's avahi folder is bind-mounted over /etc/avahi and an empty tmpfs
# over /run; no D-Bus, no chroot, no user switch, no rlimits, stderr to
# log/avahi.log (without -D it logs there instead of to syslog).  It keeps
# its process title (--no-proc-title): the new title would overwrite its
# environment, and with it the QVLAN_LAN_RUN mark down looks for.
qvlan_start_avahi() {
    local host=$1 dir
    dir=$(qvlan_host_dir "$host")
    ip netns exec "$(qvlan_host_var "$host" NS)" env QVLAN_LAN_RUN="$QVLAN_RUN" \
        unshare --mount --propagation private -- /bin/sh -c '
        set -e
        exec >>"$1/log/avahi.log" 2>&1 </dev/null
        mount --bind "$1/avahi" /etc/avahi
        mount -t tmpfs -o mode=0755,size=1m qvlan-avahi /run
        mkdir /run/avahi-daemon
        setsid /usr/sbin/avahi-daemon --no-chroot --no-drop-root --no-rlimits --no-proc-title &
    ' sh "$dir" </dev/null >>"$dir/log/daemons.out" 2>&1 ||
        qvlan_die "$host: avahi-daemon did not start (see $dir/log/daemons.out)"
}

# True when every server HOST should run is running in its namespace.
qvlan_host_running() {
    local host=$1 pids args
    pids=$(qvlan_ns_pids "$(qvlan_host_var "$host" NS)")
    [ -n "$pids" ] || return 1
    # shellcheck disable=SC2086
    args=$(ps -o args= -p "$(printf '%s,' $pids | sed 's/,$//')" 2>/dev/null)
    grep -q '^/usr/sbin/smbd ' <<<"$args" || return 1
    [ "$(qvlan_host_var "$host" NMBD)" = no ] || grep -q '^/usr/sbin/nmbd ' <<<"$args" || return 1
    case "$(qvlan_host_var "$host" KIND)" in
    wsd) grep -q ' /usr/sbin/wsdd ' <<<"$args" || return 1 ;;
    mdns) grep -q '^/usr/sbin/avahi-daemon ' <<<"$args" || return 1 ;;
    esac
    return 0
}

# Stops every process of HOST's namespace (smbd, its children,
# samba-dcerpcd, samba-bgqd, nmbd, wsdd, avahi-daemon).
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

# True when `lan-browse [-P RANGE] URL` (run in the client namespace) prints
# a line whose first two fields are TYPE and NAME (NAME compared
# case-insensitively).
qvlan_lists() {
    local range=()
    if [ "$1" = -P ]; then range=(-P "$2"); shift 2; fi
    local url=$1 type=$2 name=$3 out
    out=$(qvlan_client env HOME=/nonexistent "$QVLAN_BROWSE" "${range[@]}" -t 5000 "$url" 2>/dev/null) || true
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

# True when a TCP connection from the client to ADDR:PORT is accepted
# within 3 s.
qvlan_client_connects() {
    qvlan_client timeout 3 bash -c 'exec 3<>"/dev/tcp/$1/$2"' sh "$1" "$2" 2>/dev/null
}

# The NetBIOS node status of ADDR, asked from the client (nmblookup -A):
# one "NAME<TAB>SUFFIX<TAB>GROUP|UNIQUE" line per registered name.  Empty
# when nothing answers within 3 s (an nmbd here answers within
# milliseconds; nmblookup itself waits 10 s for a silent address).
qvlan_node_status() {
    qvlan_client timeout 3 nmblookup -A "$1" 2>/dev/null |
        awk '$2 ~ /^<[0-9a-fA-F][0-9a-fA-F]>$/ && $3 == "-" {
                 kind = ($4 == "<GROUP>") ? "GROUP" : "UNIQUE"
                 printf "%s\t%s\t%s\n", $1, $2, kind
             }'
}

# Prints what one of today's hosts still lacks (nothing when it is ready).
# (Answers are captured before they are searched: `cmd | grep -q` fails
# under pipefail when grep leaves early and cmd dies of SIGPIPE.)
# its share list over SMB2/3 by address; for _KIND=wsd a connection to
# wsdd's HTTP port; for _KIND=mdns an mDNS answer for its _smb._tcp
# service; for _KIND=sweep a node status naming its workgroup.  (KITA4's
# place in QVGROUP1's browse list is checked with the other browse lists.)
qvlan_host_missing() {
    local h=$1 addr s out missing=""
    addr=$(qvlan_host_var "$h" ADDR)
    s=$(qvlan_host_var "$h" SHARES)
    s=${s%% *}
    qvlan_lists -P SMB2_02:SMB3 "smb://$addr" file-share "$s" || missing="$missing smb://$addr:$s"
    case "$(qvlan_host_var "$h" KIND)" in
    wsd)
        qvlan_client_connects "$addr" "$(qvlan_host_var "$h" WSD_PORT)" ||
            missing="$missing wsdd:$addr:$(qvlan_host_var "$h" WSD_PORT)"
        ;;
    mdns)
        out=$(qvlan_client "$QVLAN_PROBE" -t 3 -1 mdns "$(qvlan_host_var "$h" MDNS_SERVICE)" SRV 2>/dev/null) || true
        grep -qP "^\Q$addr\E\tSRV\t.*\t0 0 445 " <<<"$out" || missing="$missing mdns:$(qvlan_host_var "$h" MDNS_SERVICE)"
        ;;
    sweep)
        out=$(qvlan_node_status "$addr")
        grep -qP "^$(qvlan_host_var "$h" WG)\t<00>\tGROUP" <<<"$out" || missing="$missing node-status:$addr"
        ;;
    esac
    printf '%s' "${missing# }"
    [ -z "$missing" ]
}

# True when the whole LAN is ready: the browse lists (above) and every one
# of today's hosts.  Prints what is missing on stdout.
qvlan_lan_missing() {
    local h m missing=""
    m=$(qvlan_browse_missing) || missing=$m
    for h in $QVLAN_MODERN_HOSTS; do
        m=$(qvlan_host_missing "$h") || missing="$missing $m"
    done
    printf '%s' "${missing# }"
    [ -z "$missing" ]
}
