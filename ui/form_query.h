// A modal question with a caption, a text, an optional read-only subject field and a row of
// buttons; the save query of the main window is one.
#pragma once

#include <QDialog>

#include "process/host.h"

namespace kandrel {

class TFormQuery : public QDialog {
  Q_OBJECT

 public:
  explicit TFormQuery(const QueryRequest& request, QWidget* parent = nullptr);
  // The index of the button pressed, -1 when dismissed.
  int Ask();

 private:
  int pressed_ = -1;
};

}  // namespace kandrel
