// The function MAC addresses kept across an update (process-wide, one adapter at a time).
#pragma once

// Saves the MAC option of each function of the adapter of `dev` (at most 16; zero
// addresses are not kept). A failed read keeps nothing.
void zelt_nvm_save_mac(const char* dev);
// Writes back every saved address the adapter no longer holds, then forgets them.
// 0, 1 when nothing was saved, or the last failing write or flush.
int zelt_nvm_apply_mac();
// Forgets the saved addresses.
void zelt_nvm_release_saved_macs();
