// TFormPSNR: the dialog and result window of the PSNR measurement. The memo follows the
// process's result list while the window is open; the channel boxes take effect at once; the
// peaks (white levels) are taken from the connected images at every showing. "実行" applies and
// measures one frame, "閉じる" applies and closes; there is nothing to cancel.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

#include "ui/form_virtual.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

namespace kandrel {

class ProcPSNR;

class TFormPSNR : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormPSNR(ProcPSNR& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Appends the lines added since the last refresh; starts over when the list was started again.
  void Refresh();
  void ClearResults();
  void SaveResults();
  void StoreChecks();

  ProcPSNR& process_;
  QPlainTextEdit* memo_;
  QCheckBox* frameNumber_;
  std::array<QCheckBox*, 3> channels_{};
  std::array<QLabel*, 2> images_{};
  std::array<QLineEdit*, 2> peaks_{};
  QTimer* refresh_;
  std::vector<std::string> shown_;
};

}  // namespace kandrel
