// TFormFrameBuffer: the image type and the size of the frame-delay buffer. The size is refused
// beyond 1..2048; the value the buffer starts from has no control and is kept as it is.
#pragma once

#include "ui/form_virtual.h"

class QComboBox;

namespace kandrel {

class ImageSizePanel;
class ProcFrameBuffer;

class TFormFrameBuffer : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormFrameBuffer(ProcFrameBuffer& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcFrameBuffer& process_;
  QComboBox* type_;  // item index + 1 = image type id
  ImageSizePanel* size_;
};

}  // namespace kandrel
