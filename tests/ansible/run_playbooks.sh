#!/usr/bin/env bash
# Runs the collection's rollout playbook and the option module with ansible-playbook
# against simulated hosts (local connection, one ZELTNVM_SIM directory per host).
#   run_playbooks.sh <source dir> <build dir>
# Exits 77 (skipped) when ansible-playbook is not installed.
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
if ! command -v ansible-playbook >/dev/null 2>&1; then
  echo "SKIPPED: ansible-playbook is not installed (scripts/setup.sh installs ansible-core)"
  exit 77
fi

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
collection=$src/ansible/ansible_collections/halvex/zeltnvm
rollout=$collection/playbooks/rollout.yml
version=229.0.120.0

export ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_HOME=$work/ansible-home
export ANSIBLE_COLLECTIONS_PATH=$src/ansible ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ANSIBLE_LOCALHOST_WARNING=0 ANSIBLE_PIPELINING=1
# Nothing is written into the source tree.
export PYTHONDONTWRITEBYTECODE=1
printf '[defaults]\nretry_files_enabled = False\nforks = 4\nlocal_tmp = %s/tmp\n' "$work" >"$ANSIBLE_CONFIG"

"$build/zeltpkg" example "$work/example.pkg" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }

# A zeltnvm that does not know install's -plan, as an older program on a host: the
# option is an unknown one, which the program refuses as it refuses any.
cat >"$work/zeltnvm-without-plan" <<WRAPPER
#!/bin/bash
args=()
for a in "\$@"; do [ "\$a" = -plan ] && a=-no-such-option; args+=("\$a"); done
exec "$build/zeltnvm" "\${args[@]}"
WRAPPER
chmod +x "$work/zeltnvm-without-plan"

# hosts <set> <count> [<numbers>]: that many fresh simulated hosts h1.. in $work/<set>
# and their inventory $work/<set>/inventory.yml; the hosts of <numbers> run the
# zeltnvm without -plan.
hosts() {
  local set=$work/$1 n=$2 old=" ${3:-} " i
  mkdir -p "$set"
  {
    echo "all:"
    echo "  vars:"
    echo "    ansible_connection: local"
    echo "    zeltnvm_program: $build/zeltnvm"
    echo "    zeltnvm_package: $work/example.pkg"
    echo "    zeltnvm_report_dir: $set/reports"
    echo "  hosts:"
    for i in $(seq 1 "$n"); do
      "$build/zeltsim" create "$set/h$i" >/dev/null
      mkdir -p "$set/h$i-work"
      echo "    h$i:"
      echo "      zeltnvm_environment: {ZELTNVM_SIM: $set/h$i}"
      echo "      zeltnvm_package_dest: $set/h$i-work/example.pkg"
      if [[ "$old" == *" $i "* ]]; then echo "      zeltnvm_program: $work/zeltnvm-without-plan"; fi
    done
  } >"$set/inventory.yml"
}

# NVM bytes and state of a simulated host, to compare before and after.
snapshot() { "$build/zeltsim" show "$1"; sha256sum "$1"/sim/*.flash; }

# versions <host dir>: "running nvm" of each adapter, one line each.
versions() {
  ZELTNVM_SIM=$1 "$build/zeltnvm" pkgver -json |
    jq -r '.devices[] | "\(.active_package_version) \(.nvm_package_version)"'
}

playbook() { ansible-playbook "$@" >"$work/last.log" 2>&1; }
show_log() { cat "$work/last.log" >&2; }

step "every module has its documentation"
modules=(zeltnvm_info zeltnvm_firmware zeltnvm_option)
ansible-doc -t module "${modules[@]/#/halvex.zeltnvm.}" >"$work/doc.txt" || fail "ansible-doc of the modules"
for m in "${modules[@]}"; do
  # Each module's page: its name, then its examples and return values before the next page.
  awk -v m="halvex.zeltnvm.$m" 'index($0, "> " toupper(m)) == 1 || index($0, "> " m) == 1 { on = 1; next }
       on && /^> / { exit } on && /^EXAMPLES/ { e = 1 } on && /^RETURN VALUES/ { r = 1 }
       END { exit !(e && r) }' "$work/doc.txt" || fail "ansible-doc $m lacks its examples or return values"
done
ansible-doc -t role halvex.zeltnvm.rollout >/dev/null || fail "ansible-doc of the role"

step "sanity checks of the collection"
if command -v ansible-test >/dev/null 2>&1; then
  # ansible-test wants the collection under a path ending ansible_collections/<ns>/<name>
  # and writes its output there; the checks that need packages from the network are left out.
  mkdir -p "$work/sanity/ansible_collections/halvex"
  cp -r "$collection" "$work/sanity/ansible_collections/halvex/"
  (cd "$work/sanity/ansible_collections/halvex/zeltnvm" &&
    ansible-test sanity --local --python "$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
      --skip-test ansible-doc --skip-test import --skip-test pep8 --skip-test pylint \
      --skip-test runtime-metadata --skip-test validate-modules --skip-test yamllint) >"$work/last.log" 2>&1 ||
    { show_log; fail "ansible-test sanity"; }
else
  echo "ansible-test is not installed: its checks are left out"
fi
for f in "$collection"/plugins/modules/*.py "$collection"/plugins/module_utils/*.py; do
  python3 -m py_compile "$f" || fail "$f does not compile"
done

step "rolling update in batches of two"
hosts rollout 4
playbook -i "$work/rollout/inventory.yml" "$rollout" || { show_log; fail "the rollout failed"; }
[ "$(grep -c 'TASK \[halvex.zeltnvm.rollout : Update the adapters\]' "$work/last.log")" = 2 ] ||
  { show_log; fail "the rollout did not run in two batches"; }
for i in 1 2 3 4; do
  got=$(versions "$work/rollout/h$i" | sort -u)
  [ "$got" = "$version $version" ] || fail "h$i holds '$got' after the rollout"
  jq -e --arg v "$version" '.status == "ok" and .changed and (.adapters | length == 2)
      and all(.adapters[]; .decision == "updated" and .versions.after.nvm == $v and .versions.after.running == $v)' \
    "$work/rollout/reports/h$i.json" >/dev/null || fail "report of h$i: $(cat "$work/rollout/reports/h$i.json")"
done

step "a second rollout changes nothing"
before=$(for i in 1 2 3 4; do snapshot "$work/rollout/h$i"; done)
playbook -i "$work/rollout/inventory.yml" "$rollout" || { show_log; fail "the second rollout failed"; }
grep -Eq 'h[1-4] +: ok=[0-9]+ +changed=[1-9]' "$work/last.log" && { show_log; fail "the second rollout changed something"; }
jq -se 'all(.[]; .changed == false and all(.adapters[]; .decision == "up_to_date"))' "$work"/rollout/reports/h*.json \
  >/dev/null || fail "the second rollout's reports"
[ "$before" = "$(for i in 1 2 3 4; do snapshot "$work/rollout/h$i"; done)" ] || fail "the second rollout wrote to an NVM"

step "check mode changes no NVM byte"
hosts check 4 "3 4"
before=$(for i in 1 2 3 4; do snapshot "$work/check/h$i"; done)
playbook -i "$work/check/inventory.yml" "$rollout" --check || { show_log; fail "the check run failed"; }
[ "$before" = "$(for i in 1 2 3 4; do snapshot "$work/check/h$i"; done)" ] || fail "the check run changed a host"
jq -se --arg v "$version" 'all(.[]; .check_mode and .changed
      and all(.adapters[]; .decision == "would_update" and .versions.after.nvm == $v))' \
  "$work"/check/reports/h*.json >/dev/null || fail "the check run's reports"
# Hosts whose program has no plan decide from the versions, and decide the same; the
# others use the plan when the built program makes one.
own=versions
ZELTNVM_SIM=$work/check/h1 "$build/zeltnvm" install "$work/example.pkg" -plan -json 2>/dev/null |
  jq -e '.plan == true or .data.plan == true' >/dev/null && own=plan
jq -se --arg own "$own" '[.[] | .plan_source] == [$own, $own, "versions", "versions"]' \
  "$work"/check/reports/h[1-4].json >/dev/null ||
  fail "the sources of the plans ($own expected): $(jq -c .plan_source "$work"/check/reports/h*.json)"

step "a host whose installation fails stops the rollout after its batch"
hosts fault 4
"$build/zeltsim" fault "$work/fault/h2" install_fault --adapter adapter1 --cmd-err 3 >/dev/null
later=$(for i in 3 4; do snapshot "$work/fault/h$i"; done)
if playbook -i "$work/fault/inventory.yml" "$rollout"; then show_log; fail "the rollout went on past the failing host"; fi
jq -e '.status == "failed" and .host == "h2" and .failure.adapter.interface == "zen2"
    and .failure.adapter.pci_address == "0000:13:00.0" and .failure.adapter.decision == "failed"
    and (.failure.message | test("zen2"))' "$work/fault/reports/h2.json" >/dev/null ||
  fail "report of h2: $(cat "$work/fault/reports/h2.json")"
jq -e '.status == "ok"' "$work/fault/reports/h1.json" >/dev/null || fail "h1 in the failing batch"
[ ! -e "$work/fault/reports/h3.json" ] && [ ! -e "$work/fault/reports/h4.json" ] || fail "a later batch ran"
[ "$later" = "$(for i in 3 4; do snapshot "$work/fault/h$i"; done)" ] || fail "a later batch was touched"

step "option module: round trip, check mode and idempotence"
hosts options 1
playbook -i "$work/options/inventory.yml" "$src/tests/ansible/fixtures/options.yml" || { show_log; fail "options"; }

echo "all playbooks passed"
