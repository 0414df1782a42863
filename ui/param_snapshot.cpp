#include "ui/param_snapshot.h"

#include "process/proc_virtual.h"

namespace kandrel {

// SaveParams and LoadParams mark the process as saved; a snapshot saves nothing, so the flag is
// kept as it was, and going back also takes back the edits' "modified".
void ParamSnapshot::Take(ProcVirtual& process) {
  modified_ = process.IsModified();
  stream_.Clear();
  process.SaveParams(stream_);
  process.SetModified(modified_);
}

void ParamSnapshot::Restore(ProcVirtual& process) {
  stream_.Seek(0);
  process.LoadParams(stream_);
  process.SetModified(modified_);
}

}  // namespace kandrel
