# -*- coding: utf-8 -*-
# Shared helpers of the zeltnvm modules: running the program with -json, reading its
# documents, and comparing package versions the way the program does.
#
# Copyright: Halvex contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json


class ZeltnvmError(Exception):
    """A run of zeltnvm that failed or did not give a readable document."""

    def __init__(self, message, doc=None, rc=None, stderr=None):
        super(ZeltnvmError, self).__init__(message)
        self.doc = doc
        self.rc = rc
        self.stderr = stderr


def common_argument_spec():
    """The parameters every module of the collection takes."""
    return dict(zeltnvm=dict(type='str', default='zeltnvm'))


class Zeltnvm(object):
    """Runs one zeltnvm program with -json and the task's environment."""

    def __init__(self, module, program=None):
        self.module = module
        self.program = program or module.params.get('zeltnvm') or 'zeltnvm'
        self.runs = []

    def run(self, args, allow_failure=False):
        """Runs the program with `args` and -json; returns the parsed document.

        Callers give -y wherever the program would ask for a confirmation, so a run
        never waits for an answer. A run whose status is
        not 0 raises ZeltnvmError unless `allow_failure`; a run that gives no JSON
        document raises it always.
        """
        argv = [self.program] + list(args) + ['-json']
        rc, out, err = self.module.run_command(argv)
        self.runs.append({'argv': argv, 'rc': rc})
        doc = None
        try:
            doc = json.loads(out)
        except ValueError:
            doc = None
        if not isinstance(doc, dict):
            raise ZeltnvmError('%s gave no JSON document (exit status %s): %s'
                               % (' '.join(argv), rc, (err or out or '').strip()), rc=rc, stderr=err)
        if rc != 0 and not allow_failure:
            raise ZeltnvmError('%s failed with exit status %s: %s'
                               % (' '.join(argv), rc, failure_text(doc, err)), doc=doc, rc=rc, stderr=err)
        return doc

    def fail(self, error, **result):
        """Ends the module with the failure `error` (a ZeltnvmError or a text)."""
        if isinstance(error, ZeltnvmError):
            if error.rc is not None:
                result.setdefault('rc', error.rc)
            if error.doc is not None:
                result.setdefault('zeltnvm_result', error.doc.get('result'))
        self.module.fail_json(msg=str(error), **result)


def failure_text(doc, stderr=''):
    """The message a failed document gives, else standard error."""
    if isinstance(doc, dict) and doc.get('message'):
        return doc['message'].strip()
    return (stderr or '').strip()


def data_of(doc):
    """The command's own fields of a document (at its top level, or under `data`)."""
    data = doc.get('data')
    return data if isinstance(data, dict) else doc


def parse_version(text):
    """A package version text as four numbers (missing numbers are 0); None for none."""
    if text is None:
        return None
    parts = str(text).strip().lstrip('v').split('.')
    numbers = []
    for part in parts[:4]:
        digits = ''
        for ch in part:
            if not ch.isdigit():
                break
            digits += ch
        numbers.append(int(digits) if digits else 0)
    while len(numbers) < 4:
        numbers.append(0)
    return tuple(numbers)


def is_newer(package, installed):
    """True when package version `package` is newer than `installed`.

    The rule the program applies: a package with a major number below 20 is newer than
    an installed one whose major number is 21 or above 200 (the numbering restarted);
    otherwise the four numbers compare in order.
    """
    p = parse_version(package)
    i = parse_version(installed)
    if p is None:
        return False
    if i is None:
        return True
    if (i[0] == 21 or i[0] > 200) and p[0] < 20:
        return True
    return p > i


def same_version(a, b):
    """True when both texts name the same version."""
    return a is not None and b is not None and parse_version(a) == parse_version(b)


def adapters_of(z):
    """The adapters listdev reports: dicts with adapter, interface, pci_address, functions."""
    doc = z.run(['listdev'])
    adapters = []
    for device in data_of(doc).get('devices') or []:
        functions = device.get('functions')
        if not functions:
            functions = [{'interface': device.get('interface'), 'pci_address': device.get('pci_address')}]
        adapters.append({
            'adapter': device.get('adapter'),
            'interface': device.get('interface'),
            'pci_address': device.get('pci_address'),
            'description': device.get('adapter_description'),
            'mac_address': device.get('mac_address'),
            'functions': functions,
        })
    return adapters


def selector_of(adapter):
    """The -dev= selector that names an adapter: its PCI address, which never changes."""
    return adapter.get('pci_address') or adapter.get('interface')
