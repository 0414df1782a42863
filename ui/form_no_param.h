// TFormNoParam: the dialog of a process without parameters, created on its first ShowDialog.
// It can still run one frame ("プレビュー") and close ("キャンセル"); there is nothing to confirm.
#pragma once

#include "ui/form_virtual.h"

namespace kandrel {

class TFormNoParam : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormNoParam(ProcVirtual& process);
};

}  // namespace kandrel
