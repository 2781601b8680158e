#pragma once

// The size sums of the pickers leave out what the copy and image jobs leave
// out: the copy engine's rule, installed at start.
void installJobKeepOutForSums();
