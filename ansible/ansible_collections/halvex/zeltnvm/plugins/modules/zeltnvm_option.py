#!/usr/bin/python
# -*- coding: utf-8 -*-

# Copyright: Halvex contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: zeltnvm_option
short_description: Make NVM configuration options of an Orvanta adapter hold given values
version_added: "1.0.0"
description:
  - Reads each option with C(zeltnvm getoption) and sets with C(zeltnvm setoption) only
    those whose value differs, then reads them again to confirm.
  - Idempotent; in check mode only the reads run.
  - A value is the same when it matches the value's label (such as C(Enabled), in any
    case), its number (decimal or C(0x) hexadecimal), a MAC address written with
    C(-) or C(:), or the elements of a list option written as C(a:b:c:d).
extends_documentation_fragment:
  - halvex.zeltnvm.zeltnvm
options:
  device:
    description: The function to configure, as C(-dev=) takes it (interface, PCI address or MAC address).
    type: str
    required: true
  options:
    description:
      - Mapping from C(name) or C(name:index) (as C(getoption) takes it) to the wanted
        value (as C(setoption) takes it after C(#)).
    type: dict
    required: true
notes:
  - Supports check mode.
  - The options are set in the order given; a failing set ends the task, and the
    options set before it stay set.
author:
  - Halvex contributors
'''

EXAMPLES = r'''
- name: Enable SR-IOV with sixteen VFs on the first function
  halvex.zeltnvm.zeltnvm_option:
    device: zen0
    options:
      enable_sriov: Enabled
      "num_vf_per_pf:0": 16
  register: configured

- name: Reboot when a value waits for it
  ansible.builtin.reboot:
  when: "'reboot' in configured.actions"
'''

RETURN = r'''
options:
  description: Per option given, C(before), C(after) (the values as C(getoption) shows them), C(wanted) and C(changed).
  returned: always
  type: dict
  sample: {"enable_sriov": {"before": "Disabled", "after": "Enabled", "wanted": "Enabled", "changed": true,
           "action": "reboot"}}
actions:
  description:
    - What makes the new values take effect, without repeats, C(reboot), C(cold_boot) or
      C(device_reset). Empty when nothing was set or nothing is needed.
  returned: always
  type: list
  elements: str
'''

import re

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.six import string_types
from ansible_collections.halvex.zeltnvm.plugins.module_utils.zeltnvm import (
    Zeltnvm, ZeltnvmError, common_argument_spec, data_of, failure_text)

MAC = re.compile(r'^[0-9a-f]{2}([-:][0-9a-f]{2}){5}$')


def wanted_text(value):
    """The value as setoption takes it after #."""
    if isinstance(value, bool):
        return '1' if value else '0'
    if isinstance(value, (list, tuple)):
        return ':'.join(str(v) for v in value)
    return str(value).strip()


def as_number(text):
    try:
        return int(text, 0)
    except (TypeError, ValueError):
        return None


def shown(data):
    """The value as getoption shows it (a list option's elements joined with ':')."""
    if 'elements' in data and data.get('value') is None:
        return ':'.join(str(e) for e in data.get('elements') or [])
    value = data.get('value')
    if isinstance(value, list):
        return ':'.join(str(e) for e in value)
    return value


def same_value(data, wanted):
    current = shown(data)
    if isinstance(current, string_types):
        if current.strip().lower() == wanted.lower():
            return True
        if MAC.match(current.lower()) and MAC.match(wanted.lower()):
            return re.sub('[-:]', '', current.lower()) == re.sub('[-:]', '', wanted.lower())
        if ':' in wanted and ':' in current:
            mine = [as_number(p) for p in wanted.split(':')]
            theirs = [as_number(p) for p in current.split(':')]
            if None not in mine and None not in theirs:
                return mine == theirs
    number = as_number(wanted)
    raw = data.get('raw_value')
    return number is not None and isinstance(raw, int) and not isinstance(raw, bool) and raw == number


def get(z, device, name):
    doc = z.run(['-dev=' + device, 'getoption=' + name], allow_failure=True)
    if doc.get('status') != 0:
        raise ZeltnvmError('getoption=%s on %s failed: %s' % (name, device, failure_text(doc)),
                           doc=doc, rc=doc.get('status'))
    return data_of(doc)


def run(module, z):
    device = module.params['device']
    results = {}
    actions = []
    changed = False
    for name, value in module.params['options'].items():
        wanted = wanted_text(value)
        before = get(z, device, name)
        entry = {'wanted': wanted, 'before': shown(before), 'after': shown(before), 'changed': False, 'action': None}
        results[name] = entry
        if same_value(before, wanted):
            continue
        entry['changed'] = changed = True
        if module.check_mode:
            entry['after'] = wanted
            continue
        doc = z.run(['-dev=' + device, 'setoption=%s#%s' % (name, wanted)], allow_failure=True)
        data = data_of(doc)
        if doc.get('status') != 0 or not data.get('set'):
            raise ZeltnvmError('setoption=%s#%s on %s failed: %s' % (name, wanted, device, failure_text(doc)),
                               doc=doc, rc=doc.get('status'))
        entry['action'] = data.get('action')
        if not data.get('flushed'):
            entry['action'] = 'cold_boot'  # an unflushed value only holds after a cold boot
        if entry['action'] and entry['action'] not in actions:
            actions.append(entry['action'])
        after = get(z, device, name)
        entry['after'] = shown(after)
        if not same_value(after, wanted):
            raise ZeltnvmError('option %s on %s reads %s after it was set to %s'
                               % (name, device, entry['after'], wanted))
    return results, actions, changed


def main():
    argument_spec = common_argument_spec()
    argument_spec.update(
        device=dict(type='str', required=True),
        options=dict(type='dict', required=True),
    )
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    z = Zeltnvm(module)
    results = {}
    try:
        results, actions, changed = run(module, z)
    except ZeltnvmError as error:
        z.fail(error, changed=bool(results), options=results)
    module.exit_json(changed=changed, options=results, actions=actions)


if __name__ == '__main__':
    main()
