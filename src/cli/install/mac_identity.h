// The function MAC addresses kept across an update (process-wide, one adapter at a
// time): zelt_nvm_save_mac, zelt_nvm_apply_mac and zelt_nvm_release_saved_macs are part
// of the saved adapter identity of the device library.
#pragma once

#include "device/identity/identity.h"
