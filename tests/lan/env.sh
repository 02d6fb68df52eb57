# Names and addresses of the Samba test LAN.  Source it:
#   . tests/lan/env.sh
# Every value can be read by tests (from bash, or by sourcing this file in a
# wrapper and exporting).  Lists are space-separated.  Only QVLAN_RUN may be
# overridden from the environment (the run folder; keep it the same for
# up, down, exec and the tests).

QVLAN_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
QVLAN_RUN="${QVLAN_RUN:-/run/qvlan}"

# Network namespaces: a switch (bridge br0), one per host, one client.
QVLAN_NS_SWITCH=qvlan-sw
QVLAN_NS_CLIENT=qvlan-client
QVLAN_NETWORK=192.0.2.0/24
QVLAN_PREFIXLEN=24
QVLAN_BROADCAST=192.0.2.255
QVLAN_CLIENT_ADDR=192.0.2.100

# The workgroups smb:// lists (each has a master browser).
QVLAN_WORKGROUPS="QVGROUP1 QVGROUP2"
# The hosts that speak SMB1: browsed over NT1 (smb://HOST lists their
# shares with lan-browse's default range) and named in the client's hosts
# file.
QVLAN_HOSTS="QVHOST1 QVHOST2 QVFILER3"
# Hosts of today's kinds: SMB1 off (server min protocol = SMB2_02), one
# guest share "docs" each, each found in one way only (see _KIND).  Not in
# the client's hosts file; smb://NAME with the NT1 range fails for all of
# them.  Names hold neither "QV", "HOST" nor "FILER".
QVLAN_MODERN_HOSTS="KITA4 MORI5 HAYASHI6 SAWA7"
QVLAN_ALL_HOSTS="$QVLAN_HOSTS $QVLAN_MODERN_HOSTS"

# Per host: workgroup, address, namespace, browse role, public shares
# (listed to guests), every share the host has (hidden ones included,
# IPC$ is implicit), how it is found (_KIND), whether it runs nmbd and
# whether it speaks SMB1.
#   _KIND=browse-smb1  in its workgroup's browse list, SMB1 on
#   _KIND=browse-smb2  in its workgroup's browse list (nmbd), SMB1 off
#   _KIND=wsd          announced by wsdd only (WS-Discovery, no NetBIOS)
#   _KIND=mdns         announced by avahi-daemon only (_smb._tcp, no NetBIOS)
#   _KIND=sweep        nmbd answers node-status queries, but no browse
#                      list names it (its workgroup has no master browser)
QVLAN_QVHOST1_WG=QVGROUP1
QVLAN_QVHOST1_ADDR=192.0.2.11
QVLAN_QVHOST1_NS=qvlan-qvhost1
QVLAN_QVHOST1_MASTER=yes
QVLAN_QVHOST1_SHARES="public secret qvprinter"
QVLAN_QVHOST1_HIDDEN="hidden\$"
QVLAN_QVHOST1_KIND=browse-smb1
QVLAN_QVHOST1_NMBD=yes
QVLAN_QVHOST1_SMB1=yes

QVLAN_QVHOST2_WG=QVGROUP1
QVLAN_QVHOST2_ADDR=192.0.2.12
QVLAN_QVHOST2_NS=qvlan-qvhost2
QVLAN_QVHOST2_MASTER=no
QVLAN_QVHOST2_SHARES="public data"
QVLAN_QVHOST2_HIDDEN=""
QVLAN_QVHOST2_KIND=browse-smb1
QVLAN_QVHOST2_NMBD=yes
QVLAN_QVHOST2_SMB1=yes

QVLAN_QVFILER3_WG=QVGROUP2
QVLAN_QVFILER3_ADDR=192.0.2.21
QVLAN_QVFILER3_NS=qvlan-qvfiler3
QVLAN_QVFILER3_MASTER=yes
QVLAN_QVFILER3_SHARES="archive bench"
QVLAN_QVFILER3_HIDDEN="big\$"
QVLAN_QVFILER3_KIND=browse-smb1
QVLAN_QVFILER3_NMBD=yes
QVLAN_QVFILER3_SMB1=yes

QVLAN_KITA4_WG=QVGROUP1
QVLAN_KITA4_ADDR=192.0.2.31
QVLAN_KITA4_NS=qvlan-kita4
QVLAN_KITA4_MASTER=no
QVLAN_KITA4_SHARES="docs"
QVLAN_KITA4_HIDDEN=""
QVLAN_KITA4_KIND=browse-smb2
QVLAN_KITA4_NMBD=yes
QVLAN_KITA4_SMB1=no

# MORI5's workgroup exists only in its WS-Discovery metadata
# ("MORI5/Workgroup:WSDGROUP"); no NetBIOS name of it is on the network.
QVLAN_MORI5_WG=WSDGROUP
QVLAN_MORI5_ADDR=192.0.2.32
QVLAN_MORI5_NS=qvlan-mori5
QVLAN_MORI5_MASTER=no
QVLAN_MORI5_SHARES="docs"
QVLAN_MORI5_HIDDEN=""
QVLAN_MORI5_KIND=wsd
QVLAN_MORI5_NMBD=no
QVLAN_MORI5_SMB1=no
QVLAN_MORI5_WSD_UUID=6d6f7269-3500-4d6f-9269-000000000032
QVLAN_MORI5_WSD_PORT=5357

# HAYASHI6 belongs to no workgroup anyone can see (its smb.conf says
# WORKGROUP, Samba's default, which only shows inside SMB sessions).
QVLAN_HAYASHI6_WG=""
QVLAN_HAYASHI6_ADDR=192.0.2.33
QVLAN_HAYASHI6_NS=qvlan-hayashi6
QVLAN_HAYASHI6_MASTER=no
QVLAN_HAYASHI6_SHARES="docs"
QVLAN_HAYASHI6_HIDDEN=""
QVLAN_HAYASHI6_KIND=mdns
QVLAN_HAYASHI6_NMBD=no
QVLAN_HAYASHI6_SMB1=no
QVLAN_HAYASHI6_MDNS_HOST=hayashi6.local
QVLAN_HAYASHI6_MDNS_SERVICE=hayashi6._smb._tcp.local

QVLAN_SAWA7_WG=LONEGROUP
QVLAN_SAWA7_ADDR=192.0.2.34
QVLAN_SAWA7_NS=qvlan-sawa7
QVLAN_SAWA7_MASTER=no
QVLAN_SAWA7_SHARES="docs"
QVLAN_SAWA7_HIDDEN=""
QVLAN_SAWA7_KIND=sweep
QVLAN_SAWA7_NMBD=yes
QVLAN_SAWA7_SMB1=no

# Members of each workgroup (what a browse of smb://WG must list).
QVLAN_QVGROUP1_HOSTS="QVHOST1 QVHOST2 KITA4"
QVLAN_QVGROUP2_HOSTS="QVFILER3"

# One host of each of today's kinds, by role.
QVLAN_SMB2_BROWSE_HOST=KITA4
QVLAN_WSD_HOST=MORI5
QVLAN_WSD_WORKGROUP=WSDGROUP
QVLAN_MDNS_HOST=HAYASHI6
QVLAN_SWEEP_HOST=SAWA7
QVLAN_SWEEP_WORKGROUP=LONEGROUP
# Every one of them holds docs/sub/deeper/<host>-note.txt with this text
# and its host name in it.
QVLAN_MODERN_MARKER=MODERN-NEEDLE

# The host whose servers tests stop and start again (not a master browser).
QVLAN_STOPPABLE_HOST=QVHOST2

# The share that refuses guests, and the one account it accepts.
QVLAN_SECRET_HOST=QVHOST1
QVLAN_SECRET_SHARE=secret
QVLAN_USER=qvtest
QVLAN_PASSWORD='Qv-Test.2024'

# The printer share.
QVLAN_PRINTER_HOST=QVHOST1
QVLAN_PRINTER_SHARE=qvprinter

# The benchmark share (empty unless filled by make-bench-share or
# QVLAN_BENCH=1 at up time).
QVLAN_BENCH_HOST=QVFILER3
QVLAN_BENCH_SHARE=bench

# Tools.  QVLAN_EXEC runs a command in the client namespace, with the
# client's smb.conf, lmhosts and hosts in place.
QVLAN_EXEC="$QVLAN_DIR/exec"
QVLAN_BROWSE="$QVLAN_RUN/lan-browse"
# mDNS and WS-Discovery questions (python3); runs only inside the LAN.
QVLAN_PROBE="$QVLAN_DIR/lan-probe"
# Written by up when the browse lists are complete; removed by down.
QVLAN_READY="$QVLAN_RUN/ready"

# qvlan_host_var HOST FIELD -> value of QVLAN_<HOST>_<FIELD>
qvlan_host_var() {
    local v="QVLAN_${1}_${2}"
    printf '%s' "${!v:-}"
}
