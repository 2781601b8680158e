#pragma once

// Ends the program at once with `status`, as its close button and a second
// start do. Nothing is left to save: the settings file and the log are
// written through whenever they change. The cleanups registered with
// std::at_quick_exit run (the activation socket, runner output under way) and
// the standard streams are flushed, but no static object is destroyed: the
// global queue's workers (a picker's discovery, a page measuring the startup
// volume, a tool run) may still be running and use them.
[[noreturn]] void endProcess(int status);
