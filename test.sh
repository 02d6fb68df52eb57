#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test through CTest.
# Run as root, it also brings up the Samba test LAN (tests/lan) once for the network
# tests of every preset given and takes it down at the end, whatever the tests did.
# Usage: ./test.sh [PRESET...]   presets release, asan, tsan, fuzz (default release)
#   ./test.sh release asan tsan fuzz   is the CI run: the suite in the release build,
#   the whole suite again under ASan + UBSan and under TSan, and a short run of each
#   fuzz target (QV_FUZZ_SECONDS each, 60 by default).
# Every preset's suite runs even when an earlier one failed; the exit status is 1 when
# any build or suite failed.
set -euo pipefail
cd "$(dirname "$0")"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(release)
needsLan=0
for preset in "${presets[@]}"; do
  case "$preset" in
    release|asan|tsan) needsLan=1 ;;
    fuzz) ;;
    *) echo "test.sh: unknown preset '$preset' (release, asan, tsan, fuzz)" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh

timings=()
timed() { # label, command...
  local label=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=$?
  timings+=("$label $((SECONDS - start)) s$([ $rc -eq 0 ] || echo ", failed")")
  return $rc
}

failed=()
built=()
for preset in "${presets[@]}"; do
  if timed "build $preset" bash -c "cmake --preset '$preset' && cmake --build --preset '$preset' -j '$(nproc)'"; then
    built+=("$preset")
  else
    failed+=("build $preset")
  fi
done

if [ "$needsLan" -eq 1 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    trap 'tests/lan/down >/dev/null 2>&1 || true' EXIT
    if ! timed "test LAN up" env QVLAN_BENCH=1 tests/lan/up --reuse; then
      echo "test.sh: the Samba test LAN did not come up" >&2
      # In CI the network tests must run, not be skipped.
      [ "${CI:-}" = "true" ] && exit 1
    fi
  else
    echo "test.sh: not root: the tests that need the Samba test LAN are skipped"
  fi
fi

for preset in "${built[@]}"; do
  echo "test.sh: the $preset suite"
  timed "suite $preset" ctest --preset "$preset" -j "$(nproc)" || failed+=("suite $preset")
  # A report from a process a test started (the qv-smb helper, qvsearch) fails no test
  # by itself: its stderr reaches the test's output, which CTest keeps.
  if [ "$preset" = asan ] || [ "$preset" = tsan ]; then
    reports="build-$preset/Testing/Temporary/LastTest.log"
    if grep -qE "ERROR: (AddressSanitizer|LeakSanitizer)|WARNING: ThreadSanitizer|runtime error:" "$reports" 2>/dev/null; then
      grep -nE -A30 "ERROR: (AddressSanitizer|LeakSanitizer)|WARNING: ThreadSanitizer|runtime error:" "$reports" | head -200
      failed+=("sanitizer reports in the $preset suite")
    fi
  fi
  if [ "$preset" = fuzz ]; then
    cat build-fuzz/fuzz/runs/*/summary 2>/dev/null || true
  fi
done

echo "test.sh: times: $(IFS=';'; echo "${timings[*]}" | sed 's/;/; /g')"
if [ ${#failed[@]} -gt 0 ]; then
  echo "test.sh: failed: $(IFS=','; echo "${failed[*]}" | sed 's/,/, /g')" >&2
  exit 1
fi
