// TFormNLMeans: the block size, the search size and the strength h of non-local means, with a
// warning that the filter can take minutes. A size that is not an integer keeps its value; the
// values are stored together once h is a number and the filter can run with them.
#pragma once

#include "ui/form_virtual.h"

class QLineEdit;

namespace kandrel {

class ProcNLMeans;

class TFormNLMeans : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormNLMeans(ProcNLMeans& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcNLMeans& process_;
  QLineEdit* blockSize_;
  QLineEdit* searchSize_;
  QLineEdit* h_;
};

}  // namespace kandrel
