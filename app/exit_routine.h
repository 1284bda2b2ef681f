#pragma once
// The routine that frees the process-wide state at a normal exit. It is
// registered at start-up and run once at shutdown; a fatal error skips it.

void RegisterExitRoutine();
// Runs the registered routine the first time it is called; later calls do nothing.
void RunExitRoutine();
