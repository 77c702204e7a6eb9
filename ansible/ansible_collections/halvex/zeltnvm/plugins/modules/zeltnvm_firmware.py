#!/usr/bin/python
# -*- coding: utf-8 -*-

# Copyright: Halvex contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: zeltnvm_firmware
short_description: Make Orvanta adapters hold a firmware package's version
version_added: "1.0.0"
description:
  - Installs a firmware package with C(zeltnvm) on the adapters whose NVM does not
    hold its version yet, one adapter at a time, and reports per adapter the versions
    before and after and what the new firmware still needs to run.
  - Idempotent. An adapter whose NVM already holds the package's version is left
    alone, also when that version does not run yet; it is then reported with
    C(staged_not_active) and its pending action.
  - In check mode nothing is written; the decisions come from C(zeltnvm install -plan)
    when the program has it, else from the adapters' and the package's versions and
    PCI ids.
  - The installation stops at the first adapter that fails; adapters after it are
    reported as C(not_attempted).
extends_documentation_fragment:
  - halvex.zeltnvm.zeltnvm
options:
  package:
    description: Path of the package file on the managed host.
    type: path
    required: true
  device:
    description:
      - The adapter to update, as C(-dev=) takes it (interface, PCI address or MAC
        address of any of its functions). All adapters the package applies to when absent.
    type: str
  force:
    description:
      - Install also where the NVM holds the same or a newer version (a downgrade
        or a reinstallation). Not idempotent.
    type: bool
    default: false
  reset:
    description:
      - Reset every adapter whose new firmware waits for a reboot, so that it runs
        without one.
      - The reset is gated on the health check. An adapter whose firmware does not
        run is not reset; after the reset the adapter must report healthy, else the
        task fails.
      - An adapter that needs a cold boot is not reset; the cold boot is reported.
    type: bool
    default: false
notes:
  - Supports check mode.
author:
  - Halvex contributors
'''

EXAMPLES = r'''
- name: Update every adapter to the package and reset them
  halvex.zeltnvm.zeltnvm_firmware:
    package: /var/tmp/orvanta-229.0.120.0.pkg
    reset: true
  register: update

- name: Update one adapter only, leaving the reboot to the administrator
  halvex.zeltnvm.zeltnvm_firmware:
    package: /var/tmp/orvanta-229.0.120.0.pkg
    device: "0000:13:00.0"

- name: Show what still needs a reboot
  ansible.builtin.debug:
    msg: "{{ update.adapters | selectattr('action', 'equalto', 'reboot') | map(attribute='interface') | list }}"
'''

RETURN = r'''
package_version:
  description: The package's version.
  returned: always
  type: str
  sample: "229.0.120.0"
plan_source:
  description:
    - How the decisions were made; C(plan) (the program's own plan) or C(versions)
      (the adapters' versions and PCI ids, from a program without a plan).
  returned: always
  type: str
adapters:
  description: One entry per adapter the package was considered for, in listing order.
  returned: always
  type: list
  elements: dict
  contains:
    adapter:
      description: The adapter's number from 1 in listing order.
      type: int
    interface:
      description: Interface of the function the installation goes through.
      type: str
      sample: zen0
    pci_address:
      description: PCI address of that function.
      type: str
      sample: "0000:03:00.0"
    decision:
      description:
        - C(updated), C(up_to_date), C(would_update) (check mode), C(refused) (the
          package cannot go on this adapter), C(failed) (the installation failed) or
          C(not_attempted) (an earlier adapter failed).
      type: str
    versions:
      description:
        - C(package), and C(before) and C(after), each C(running) and C(nvm); in
          check mode C(after) is what the installation would leave.
      type: dict
    staged_not_active:
      description: After the task, the NVM holds a package that does not run yet.
      type: bool
    action:
      description:
        - What the firmware on the NVM still needs to run, C(reboot), C(cold_boot),
          C(reload_drivers) or C(reset); null when nothing.
      type: str
    reset:
      description:
        - The reset's outcome as C(zeltnvm reset) reports it (C(reset), C(reset_issued),
          C(reboot_pending), C(cold_boot_pending)), C(would_reset) in check mode, null
          when none ran.
      type: str
    health:
      description: The health check after the reset, C(healthy) and C(findings), null when none ran.
      type: dict
    status:
      description: The adapter's status as zeltnvm ends with it, 0 on success.
      type: int
    message:
      description: Why the adapter was refused or failed, null otherwise.
      type: str
failed_adapter:
  description: The first adapter that was refused or failed (an entry of I(adapters)).
  returned: failure
  type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.halvex.zeltnvm.plugins.module_utils.zeltnvm import (
    Zeltnvm, ZeltnvmError, adapters_of, common_argument_spec, data_of, failure_text, is_newer,
    same_version, selector_of)

RESET_ACTION = {
    'reset': None,
    'reset_issued': 'reload_drivers',
    'reboot_pending': 'reboot',
    'cold_boot_pending': 'cold_boot',
}


def dev_args(device):
    return ['-dev=' + device] if device else []


def versions_by_address(z):
    """Running and NVM package versions of every adapter, by PCI address."""
    versions = {}
    for d in data_of(z.run(['pkgver'])).get('devices') or []:
        versions[d.get('pci_address')] = {'running': d.get('active_package_version'),
                                          'nvm': d.get('nvm_package_version')}
    return versions


def adapter_holding(adapters, pci_address):
    """The adapter one of whose functions is at `pci_address`.

    A program that does not list the functions names only one per adapter; the
    functions of an adapter share its PCI domain and bus, which then decide.
    """
    for a in adapters:
        if any(f.get('pci_address') == pci_address for f in a['functions']):
            return a
    bus = (pci_address or '').rsplit(':', 1)[0]
    for a in adapters:
        if bus and (a.get('pci_address') or '').rsplit(':', 1)[0] == bus:
            return a
    return None


def program_plan(z, params):
    """The program's own plan, or None when the program has no -plan."""
    args = dev_args(params['device']) + ['install', params['package'], '-plan']
    if params['force']:
        args.append('-force')
    try:
        doc = z.run(args, allow_failure=True)
    except ZeltnvmError:
        return None  # no document at all: a program that cannot plan
    data = data_of(doc)
    if data.get('plan') is not True:
        return None
    entries = []
    for e in data.get('adapters') or []:
        v = e.get('versions') or {}
        entries.append({
            'adapter': e.get('adapter'), 'interface': e.get('interface'), 'pci_address': e.get('pci_address'),
            'package': v.get('package') or (e.get('package') or {}).get('version'),
            'running': v.get('running'), 'nvm': v.get('nvm'),
            'decision': e.get('decision'), 'status': e.get('status') or 0,
            'reason': e.get('reason'), 'action': e.get('action'),
        })
        room = e.get('room') or {}
        if entries[-1]['decision'] == 'update' and entries[-1]['status'] != 0:
            # An update the install would start and then fail (no room for the staged
            # package): refused here, before anything is written.
            entries[-1]['decision'] = 'refused'
            entries[-1]['reason'] = entries[-1]['reason'] or (
                'the NVM has no room for the package (%s bytes needed, %s available)'
                % (room.get('needed'), room.get('available')) if room.get('fits') is False
                else 'the installation would end with status %s' % entries[-1]['status'])
    if not entries and doc.get('status') != 0:
        raise ZeltnvmError('zeltnvm cannot plan the installation of %s: %s'
                           % (params['package'], failure_text(doc)), doc=doc, rc=doc.get('status'))
    return entries


def version_plan(z, params, adapters):
    """A plan made from the versions and PCI ids, for a program without -plan."""
    package = params['package']
    files = data_of(z.run(['pkgver', package])).get('files') or [{}]
    package_version = files[0].get('package_version')
    targets = (data_of(z.run(['devid', package])).get('files') or [{}])[0].get('targets') or []
    ids = dict((d.get('pci_address'), d) for d in data_of(z.run(['devid'])).get('devices') or [])
    versions = versions_by_address(z)
    chosen = adapters
    if params['device']:
        d = data_of(z.run(['-dev=' + params['device'], 'pkgver'])).get('devices') or [{}]
        held = adapter_holding(adapters, d[0].get('pci_address'))
        chosen = [held] if held else []
    entries = []
    for a in chosen:
        dev = ids.get(a['pci_address'], {})
        applies = any(t.get('vendor_id') == dev.get('pci_vendor_id') and t.get('device_id') == dev.get('pci_device_id')
                      and t.get('subsys_vendor_id') in (None, dev.get('pci_subsys_vendor_id'))
                      and t.get('subsys_id') in (None, dev.get('pci_subsys_device_id')) for t in targets)
        v = versions.get(a['pci_address'], {})
        entry = {'adapter': a['adapter'], 'interface': a['interface'], 'pci_address': a['pci_address'],
                 'package': package_version, 'running': v.get('running'), 'nvm': v.get('nvm'),
                 'status': 0, 'reason': None, 'action': 'reboot'}
        if not applies:
            if params['device'] is None:
                continue  # a package for other adapters passes this one by
            entry.update(decision='refused', status=13, reason='the package does not apply to this adapter')
        elif params['force'] or is_newer(package_version, v.get('running')):
            entry['decision'] = 'update'
        else:
            entry.update(decision='up_to_date', action=None)
        entries.append(entry)
    return entries


def health_after(z, selector):
    data = data_of(z.run(['-dev=' + selector, 'device_health_check'], allow_failure=True))
    return {'healthy': bool(data.get('healthy')), 'firmware_operational': data.get('firmware_operational'),
            'findings': [c.get('name') for c in data.get('checks') or [] if c.get('set')]}


def reset_adapter(z, entry):
    """Resets one adapter once its firmware answers the health check; fails the entry otherwise."""
    selector = entry['pci_address']
    before = health_after(z, selector)
    if before['firmware_operational'] is False:
        entry.update(status=1, message='the firmware does not run; the adapter was not reset')
        return False
    doc = z.run(['-dev=' + selector, 'reset', '-y'], allow_failure=True)
    outcome = data_of(doc).get('outcome')
    entry['reset'] = outcome
    if doc.get('status') != 0 or outcome not in RESET_ACTION:
        entry.update(status=doc.get('status') or 1, message='reset %s: %s' % (outcome, failure_text(doc)))
        return False
    entry['action'] = RESET_ACTION[outcome]
    entry['health'] = health_after(z, selector)
    if not entry['health']['healthy']:
        entry.update(status=1, message='not healthy after the reset: %s'
                     % (', '.join(entry['health']['findings']) or 'the health check failed'))
        return False
    return True


def install(z, params, entry):
    """Installs the package on one adapter; True on success."""
    args = ['-dev=' + entry['pci_address'], 'install', params['package'], '-y']
    if params['force']:
        args.append('-force')
    doc = z.run(args, allow_failure=True)
    done = (data_of(doc).get('adapters') or [{}])[0]
    entry['status'] = doc.get('status') or 0
    if doc.get('status') != 0 or done.get('decision') not in ('updated', 'up_to_date'):
        entry['decision'] = done.get('decision') if done.get('decision') in ('refused', 'failed') else 'failed'
        entry['message'] = done.get('reason') or failure_text(doc) or 'the installation failed'
        entry['status'] = entry['status'] or done.get('status') or 1
        return False
    entry['decision'] = 'updated'
    entry['action'] = done.get('action')
    return True


def describe(entry):
    return 'adapter %s (%s, %s)' % (entry['adapter'], entry['interface'], entry['pci_address'])


def run(module, z):
    params = module.params
    adapters = adapters_of(z)
    plan = program_plan(z, params)
    source = 'plan'
    if plan is None:
        plan = version_plan(z, params, adapters)
        source = 'versions'
    results = []
    for p in plan:
        staged = bool(p['nvm'] and p['running'] and not same_version(p['nvm'], p['running']))
        holds = same_version(p['nvm'], p['package'])
        decision = p['decision']
        if decision == 'update' and holds and not params['force']:
            decision = 'up_to_date'
        entry = {
            'adapter': p['adapter'], 'interface': p['interface'], 'pci_address': p['pci_address'],
            'decision': decision, 'status': p['status'] if decision == 'refused' else 0,
            'message': p['reason'] if decision == 'refused' else None,
            'versions': {'package': p['package'], 'before': {'running': p['running'], 'nvm': p['nvm']},
                         'after': {'running': p['running'], 'nvm': p['nvm']}},
            'staged_not_active': staged,
            'action': (p['action'] or 'reboot') if staged else None,
            'reset': None, 'health': None,
        }
        results.append(entry)

    failed = next((e for e in results if e['decision'] == 'refused'), None)
    changed = False
    for entry in results:
        if failed is not None:
            if entry['decision'] == 'update':
                entry['decision'] = 'not_attempted'
            continue
        if entry['decision'] == 'update':
            changed = True
            if module.check_mode:
                entry['decision'] = 'would_update'
                entry['versions']['after'] = {'running': entry['versions']['before']['running'],
                                              'nvm': entry['versions']['package']}
                entry['staged_not_active'] = True
                entry['action'] = p['action'] or 'reboot'
                if params['reset'] and entry['action'] == 'reboot':
                    entry['reset'] = 'would_reset'
                continue
            if not install(z, params, entry):
                failed = entry
                continue
        if params['reset'] and not module.check_mode and entry['decision'] in ('updated', 'up_to_date') \
                and entry['action'] == 'reboot' and (entry['decision'] == 'updated' or entry['staged_not_active']):
            changed = True
            if not reset_adapter(z, entry):
                failed = entry
    if not module.check_mode and any(e['decision'] == 'updated' or e['reset'] for e in results):
        after = versions_by_address(z)
        for entry in results:
            v = after.get(entry['pci_address'])
            if v is None:
                held = adapter_holding(adapters, entry['pci_address'])
                v = after.get(held['pci_address']) if held else None
            if v:
                entry['versions']['after'] = v
                entry['staged_not_active'] = bool(v['running'] and v['nvm'] and not same_version(v['running'], v['nvm']))
                if not entry['staged_not_active'] and entry['action'] == 'reboot' and entry['reset']:
                    entry['action'] = None
    return results, changed, failed, source


def main():
    argument_spec = common_argument_spec()
    argument_spec.update(
        package=dict(type='path', required=True),
        device=dict(type='str'),
        force=dict(type='bool', default=False),
        reset=dict(type='bool', default=False),
    )
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    z = Zeltnvm(module)
    try:
        results, changed, failed, source = run(module, z)
    except ZeltnvmError as error:
        z.fail(error, changed=False)
    package_version = next((e['versions']['package'] for e in results if e['versions']['package']), None)
    if failed is not None:
        module.fail_json(msg='%s: %s (status %s)' % (describe(failed), failed['message'], failed['status']),
                         changed=changed, adapters=results, failed_adapter=failed,
                         package_version=package_version, plan_source=source)
    if not results:
        module.fail_json(msg='the package %s applies to no adapter of this host' % module.params['package'],
                         changed=False, adapters=results, plan_source=source)
    module.exit_json(changed=changed, adapters=results, package_version=package_version, plan_source=source)


if __name__ == '__main__':
    main()
