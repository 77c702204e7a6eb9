#!/usr/bin/env bash
# Runs the collection's rollout against a fleet of simulated hosts and reports the wall
# time and the cost per host.
#   scripts/fleet_scale.sh [build dir] [hosts] [forks] [batch size]
# Defaults: build, 50 hosts, 10 forks, batches of 10. Needs ansible-playbook.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=$(cd "${1:-build}" && pwd)
count=${2:-50}
forks=${3:-10}
batch=${4:-10}
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is not installed (scripts/setup.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_HOME=$work/ansible-home ANSIBLE_COLLECTIONS_PATH=$src/ansible
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ANSIBLE_PIPELINING=1 PYTHONDONTWRITEBYTECODE=1 ANSIBLE_NOCOLOR=1
printf '[defaults]\nretry_files_enabled = False\nforks = %s\nlocal_tmp = %s/tmp\n' "$forks" "$work" >"$ANSIBLE_CONFIG"

"$build/zeltpkg" example "$work/example.pkg" >/dev/null
{
  echo "all:"
  echo "  vars:"
  echo "    ansible_connection: local"
  echo "    zeltnvm_program: $build/zeltnvm"
  echo "    zeltnvm_package: $work/example.pkg"
  echo "    zeltnvm_report_dir: $work/reports"
  echo "    zeltnvm_batch_size: $batch"
  echo "  hosts:"
  for i in $(seq 1 "$count"); do
    "$build/zeltsim" create "$work/h$i" >/dev/null
    mkdir -p "$work/h$i-work"
    echo "    h$i: {zeltnvm_environment: {ZELTNVM_SIM: $work/h$i}, zeltnvm_package_dest: $work/h$i-work/example.pkg}"
  done
} >"$work/inventory.yml"

run() {
  local label=$1 start end
  shift
  start=$(date +%s.%N)
  ansible-playbook -i "$work/inventory.yml" "$src/ansible/ansible_collections/halvex/zeltnvm/playbooks/rollout.yml" \
    "$@" >"$work/$label.log" 2>&1 || { tail -40 "$work/$label.log" >&2; echo "$label failed" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v l="$label" -v s="$start" -v e="$end" -v n="$count" \
    'BEGIN { printf "%-10s %7.1f s wall, %6.2f s per host\n", l, e - s, (e - s) / n }'
}

echo "$count simulated hosts (two adapters each), forks $forks, batches of $batch, $(nproc) cores"
run check --check
run rollout
run again
updated=$(jq -s '[.[] | .adapters[] | select(.versions.after.nvm == .versions.package)] | length' "$work"/reports/h*.json)
echo "adapters holding the package: $updated of $((count * 2))"
