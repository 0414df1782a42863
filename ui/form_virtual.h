// TFormVirtual: the base of every parameter dialog, a modeless window owned by its process. Each
// showing puts the process's name in the caption, takes a snapshot of its parameters and fills
// the controls; "プレビュー" stores the controls and runs one frame, "OK" stores them and closes,
// "キャンセル" closes and goes back to the snapshot. Closing the window only hides it.
//
// A dialog puts its controls into Body() and overrides ParamsToControls and ControlsToParams.
// A ConversionError (ui/number_text.h) leaving ControlsToParams is a refusal: its message is
// shown and the dialog stays open, as when ControlsToParams returns nonzero.
#pragma once

#include <QDialog>

#include "process/host.h"
#include "ui/param_snapshot.h"
#include "ui/window_placement.h"

class QPushButton;
class QVBoxLayout;

namespace kandrel {

class TFormVirtual : public QDialog, public ProcessDialog {
  Q_OBJECT

 public:
  explicit TFormVirtual(ProcVirtual& process);

  void Show() override;
  void Hide() override;
  bool IsVisible() const override;
  DialogGeometry Geometry() const override;
  void RestoreGeometry(const DialogGeometry& geometry, bool withSize) override;

 protected:
  // Fills the controls from the process's parameters.
  virtual void ParamsToControls();
  // Checks the controls and stores them into the parameters: 0 accepts, nonzero refuses.
  virtual int ControlsToParams();

  void showEvent(QShowEvent* event) override;

  // The area above the buttons.
  QVBoxLayout& Body() const { return *body_; }
  QPushButton& PreviewButton() const { return *preview_; }
  QPushButton& OkButton() const { return *ok_; }
  QPushButton& CancelButton() const { return *cancel_; }

 private:
  int StoreControls();
  void Preview();
  void Confirm();
  void Cancel();

  ProcVirtual& process_;
  ParamSnapshot snapshot_;
  WindowPlacement placement_;
  QVBoxLayout* body_;
  QPushButton* preview_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace kandrel
