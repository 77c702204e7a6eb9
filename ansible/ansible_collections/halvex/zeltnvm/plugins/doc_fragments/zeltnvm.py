# -*- coding: utf-8 -*-
# Copyright: Halvex contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
# The option every module of the collection takes: the program it runs.

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  zeltnvm:
    description:
      - Path or name of the C(zeltnvm) program on the managed host.
      - It runs with the task's environment, so C(ZELTNVM_SIM) set by a play selects
        a simulated host.
    type: str
    default: zeltnvm
'''
