#!/usr/bin/python
# -*- coding: utf-8 -*-

# Copyright: Halvex contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: zeltnvm_info
short_description: Gather facts about the Orvanta adapters of a host
version_added: "1.0.0"
description:
  - Lists the Orvanta adapters of the managed host with C(zeltnvm) and returns, per
    adapter, its functions, its running and NVM package versions, whether an update
    waits for a reset or a reboot, its health and chosen option values.
  - The facts are also set as C(zeltnvm_adapters).
  - Reads only; check mode gives the same result.
extends_documentation_fragment:
  - halvex.zeltnvm.zeltnvm
options:
  health:
    description:
      - Run the adapter health check on every adapter and return its findings.
    type: bool
    default: true
  options:
    description:
      - Option values to read from every adapter, each as C(name) or C(name:index) as
        C(getoption) takes it.
      - An option an adapter does not support is returned with its error instead of a value.
    type: list
    elements: str
    default: []
notes:
  - Supports check mode.
author:
  - Halvex contributors
'''

EXAMPLES = r'''
- name: Read the adapters
  halvex.zeltnvm.zeltnvm_info:
  register: adapters

- name: Read two options as well, from a program outside the search path
  halvex.zeltnvm.zeltnvm_info:
    zeltnvm: /opt/halvex/bin/zeltnvm
    options:
      - enable_sriov
      - num_vf_per_pf:0

- name: Stop when an adapter is not healthy
  ansible.builtin.assert:
    that: adapters.adapters | rejectattr('health.healthy') | list | length == 0
'''

RETURN = r'''
adapters:
  description: One entry per adapter in listing order.
  returned: always
  type: list
  elements: dict
  contains:
    adapter:
      description: The adapter's number from 1 in listing order.
      type: int
      sample: 1
    interface:
      description: Interface of the adapter's representative function (null without one).
      type: str
      sample: zen0
    pci_address:
      description: PCI address of the representative function.
      type: str
      sample: "0000:03:00.0"
    description:
      description: The description of the package the adapter holds.
      type: str
    functions:
      description: Every physical function of the adapter, C(interface) and C(pci_address).
      type: list
      elements: dict
    versions:
      description: C(running) (the active package), C(nvm) (the package on the NVM) and C(firmware).
      type: dict
      sample: {"running": "228.1.107.0", "nvm": "229.0.120.0", "firmware": "228.1.107.0"}
    staged_not_active:
      description: The NVM holds another package than the one running; a reset or reboot makes it run.
      type: bool
    reboot_required:
      description: The adapter reports that a reboot is required.
      type: bool
    pending:
      description: Something waits for a reset or reboot (either of the two above).
      type: bool
    health:
      description:
        - The health check (only with I(health)); C(healthy), C(firmware_operational),
          C(findings) (the checks that found something, C(name) and C(bit)), and
          C(mismatch_only) (every finding is a primary/secondary image mismatch, as
          right after an update before it runs).
      type: dict
    options:
      description: Per option asked for, C(value) and C(raw_value), or C(error).
      type: dict
ansible_facts:
  description: C(zeltnvm_adapters), the same list as I(adapters).
  returned: always
  type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.halvex.zeltnvm.plugins.module_utils.zeltnvm import (
    Zeltnvm, ZeltnvmError, adapters_of, common_argument_spec, data_of, failure_text, selector_of)

# Checks that compare a primary and a secondary copy: right after an update only one
# copy is new, so these find a difference until the new firmware runs and syncs them.
MISMATCH_BITS = (2, 8, 32, 512)


def health_of(z, selector):
    doc = z.run(['-dev=' + selector, 'device_health_check'], allow_failure=True)
    data = data_of(doc)
    if doc.get('status') != 0:
        return {'healthy': False, 'firmware_operational': data.get('firmware_operational'),
                'findings': [], 'mismatch_only': False, 'error': failure_text(doc)}
    findings = [{'name': c.get('name'), 'bit': c.get('bit')} for c in data.get('checks') or [] if c.get('set')]
    return {
        'healthy': bool(data.get('healthy')),
        'firmware_operational': data.get('firmware_operational'),
        'findings': findings,
        'mismatch_only': bool(findings) and all(f['bit'] in MISMATCH_BITS for f in findings),
    }


def option_of(z, selector, name):
    doc = z.run(['-dev=' + selector, 'getoption=' + name], allow_failure=True)
    if doc.get('status') != 0:
        return {'error': failure_text(doc)}
    data = data_of(doc)
    result = {'value': data.get('value'), 'raw_value': data.get('raw_value')}
    if 'elements' in data:
        result['elements'] = data.get('elements')
    return result


def gather(z, health, options):
    adapters = adapters_of(z)
    versions = {}
    for device in data_of(z.run(['pkgver'])).get('devices') or []:
        versions[device.get('pci_address')] = device
    for a in adapters:
        selector = selector_of(a)
        pv = versions.get(a['pci_address'], {})
        info = data_of(z.run(['-dev=' + selector, 'device_info'], allow_failure=True)).get('devices') or [{}]
        info = info[0]
        running = pv.get('active_package_version', info.get('active_package_version'))
        nvm = pv.get('nvm_package_version', info.get('nvm_package_version'))
        a['versions'] = {'running': running, 'nvm': nvm, 'firmware': info.get('firmware_version')}
        a['staged_not_active'] = bool(running and nvm and running != nvm)
        a['reboot_required'] = bool(info.get('reboot_required'))
        a['pending'] = a['staged_not_active'] or a['reboot_required']
        if health:
            a['health'] = health_of(z, selector)
        a['options'] = dict((name, option_of(z, selector, name)) for name in options)
    return adapters


def main():
    argument_spec = common_argument_spec()
    argument_spec.update(
        health=dict(type='bool', default=True),
        options=dict(type='list', elements='str', default=[]),
    )
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    z = Zeltnvm(module)
    try:
        adapters = gather(z, module.params['health'], module.params['options'])
    except ZeltnvmError as error:
        z.fail(error)
    module.exit_json(changed=False, adapters=adapters, ansible_facts={'zeltnvm_adapters': adapters})


if __name__ == '__main__':
    main()
