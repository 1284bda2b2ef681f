#include "app/exit_routine.h"

#include "app/file_list.h"

namespace {
bool registered = false;
bool done = false;
}  // namespace

void RegisterExitRoutine() { registered = true; }

void RunExitRoutine() {
  if (!registered || done) return;
  done = true;
  FileList.Free();
}
