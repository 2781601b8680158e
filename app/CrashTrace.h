#pragma once

// A crash leaves a trace: a line and a backtrace on the standard error and in
// the system log, then the default action (a core where the system keeps
// them). In a sanitizer build, a stop by the sanitizer leaves a line too, after
// its report. A closed pipe is an error on the write, never the end of the
// program.
void installCrashTrace();
