#pragma once

// Whether the Mac has an Apple-silicon processor: its CPU brand text names
// "Apple". The first answer is kept for the life of the process.
bool has_m1_chip();
// Forgets the kept answer, so that a test can change the machine.
void has_m1_chip_forget();
