// TFormSaveFile: the dialog of the still-image saving process: the target file (the first of a
// numbered sequence), the first number and the format. The extension is the format's, whatever
// name is typed; applying does not reset the process.
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;
class QLineEdit;

namespace kandrel {

class FrameFileFields;
class ProcSaveFile;

class TFormSaveFile : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormSaveFile(ProcSaveFile& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcSaveFile& process_;
  FrameFileFields* fields_;
  QLineEdit* firstNumber_;
  QButtonGroup* format_;
};

}  // namespace kandrel
