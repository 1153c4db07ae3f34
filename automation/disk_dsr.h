// The device service routine of the disk card, native: the console's device
// search has found one of the card's devices and branched to its routine.
#pragma once

// Serves the request of the peripheral access block the console has set up
// for device (a CardDevice), and sets branch_target to where the console goes
// on: its return address + 2 when served, the return address itself when the
// request is none of the card's (so the search goes on, as for a name no
// device takes).
void disk_dsr(int device);
