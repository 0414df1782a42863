// TFormSaveVideo: the dialog of the video saving process: the target file, the codec and the
// frame rate, typed or chosen from the usual rates. Applying resets the process, which finishes
// the file being written.
#pragma once

#include "ui/form_virtual.h"

class QComboBox;

namespace kandrel {

class FileNameFields;
class ProcSaveVideo;

class TFormSaveVideo : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormSaveVideo(ProcSaveVideo& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcSaveVideo& process_;
  FileNameFields* fields_;
  QComboBox* codec_;
  QComboBox* frameRate_;
};

}  // namespace kandrel
