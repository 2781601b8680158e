#pragma once
#include <QtGlobal>

// The display-sleep assertion held while the interface runs: written once by
// PreventSleep() before the main loop, released by main after it. 0 until
// the assertion exists.
extern quint32 assertionID;

// Keeps the display awake while the user is idle, for the whole life of the
// interface process. A refusal is not reported (only the log line is missing).
void PreventSleep();
