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

QVLAN_WORKGROUPS="QVGROUP1 QVGROUP2"
QVLAN_HOSTS="QVHOST1 QVHOST2 QVFILER3"

# Per host: workgroup, address, namespace, browse role, public shares
# (listed to guests), every share the host has (hidden ones included,
# IPC$ is implicit).
QVLAN_QVHOST1_WG=QVGROUP1
QVLAN_QVHOST1_ADDR=192.0.2.11
QVLAN_QVHOST1_NS=qvlan-qvhost1
QVLAN_QVHOST1_MASTER=yes
QVLAN_QVHOST1_SHARES="public secret qvprinter"
QVLAN_QVHOST1_HIDDEN="hidden\$"

QVLAN_QVHOST2_WG=QVGROUP1
QVLAN_QVHOST2_ADDR=192.0.2.12
QVLAN_QVHOST2_NS=qvlan-qvhost2
QVLAN_QVHOST2_MASTER=no
QVLAN_QVHOST2_SHARES="public data"
QVLAN_QVHOST2_HIDDEN=""

QVLAN_QVFILER3_WG=QVGROUP2
QVLAN_QVFILER3_ADDR=192.0.2.21
QVLAN_QVFILER3_NS=qvlan-qvfiler3
QVLAN_QVFILER3_MASTER=yes
QVLAN_QVFILER3_SHARES="archive bench"
QVLAN_QVFILER3_HIDDEN="big\$"

# Members of each workgroup (what a browse of smb://WG must list).
QVLAN_QVGROUP1_HOSTS="QVHOST1 QVHOST2"
QVLAN_QVGROUP2_HOSTS="QVFILER3"

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
# Written by up when the browse lists are complete; removed by down.
QVLAN_READY="$QVLAN_RUN/ready"

# qvlan_host_var HOST FIELD -> value of QVLAN_<HOST>_<FIELD>
qvlan_host_var() {
    local v="QVLAN_${1}_${2}"
    printf '%s' "${!v:-}"
}
