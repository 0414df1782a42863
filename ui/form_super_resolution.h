// TFormSuperResolution: the dictionary file of super-resolution, as a folder and a file name.
// Applying resets the process, which loads the dictionary at once.
#pragma once

#include "ui/form_virtual.h"

namespace kandrel {

class FileNameFields;
class ProcSuperResolution;

class TFormSuperResolution : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormSuperResolution(ProcSuperResolution& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcSuperResolution& process_;
  FileNameFields* fields_;
};

}  // namespace kandrel
