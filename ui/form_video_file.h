// The dialogs of the moving-picture sources. TFormVideoFile chooses the AVI file and moves its
// position with the transport buttons or a typed frame number, so that the user picks the frame
// the next run starts from; TFormCapture chooses the capture device. Both show the sampler's
// current picture in the "カメラ映像" panel, fitted to its scroll box or at the frame's own size.
// The processes own the samplers; the dialogs only drive them.
#pragma once

#include <QRect>
#include <QScrollArea>
#include <QSize>
#include <array>

#include "image/array2d.h"
#include "ui/form_virtual.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace kandrel {

class FileNameFields;
class ProcCapture;
class ProcVideoFile;
class ZelVideoSampler;

struct PreviewLayout {
  QRect panel;
  bool scrolls;
};
// Where the panel goes in a scroll box of the client size: at the frame's own size, the box
// scrolling, when actualSize is set or the frame has no size; else as wide as the box and
// centred vertically, or as high as the box and centred horizontally when that is too high.
PreviewLayout LayOutPreview(QSize frame, QSize client, bool actualSize);

// The "カメラ映像" panel in its scroll box, laid out by the check box for the actual size.
class VideoPreview : public QScrollArea {
  Q_OBJECT

 public:
  VideoPreview(ZelVideoSampler& sampler, QCheckBox& actualSize);

  // Lays the panel out for the frame size of the open source (640 × 480 when none is open).
  void Arrange();
  // Paints the sampler's current picture into the panel; the panel keeps the last one when the
  // sampler has none.
  void ShowFrame();
  const QLabel& Panel() const { return *panel_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  ZelVideoSampler& sampler_;
  QCheckBox& actualSize_;
  QWidget* canvas_;
  QLabel* panel_;
  Array2D<int> red_, green_, blue_;
};

class TFormVideoFile : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormVideoFile(ProcVideoFile& process);

 protected:
  // Opens the file when it is not open yet.
  void ParamsToControls() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowVideo();
  void OpenChosenFile();
  // The current frame into its edit (unless the user is typing there) and into the panel.
  void Refresh();
  void SeekToTypedFrame();

  ProcVideoFile& process_;
  FileNameFields* fields_;
  QLineEdit* firstFrame_;
  QLineEdit* lastFrame_;
  QLineEdit* currentFrame_;
  VideoPreview* preview_;
  QTimer* refresh_;
  bool editing_ = false;
};

class TFormCapture : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormCapture(ProcCapture& process);

 protected:
  // Lists the devices and starts the chosen one when none is started yet.
  void ParamsToControls() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ChooseDevice(int index);
  void StartDevice();
  // Each page button shown with the page's caption when the started device has that page.
  void ShowPageButtons();
  void Refresh();

  ProcCapture& process_;
  QComboBox* devices_;
  std::array<QPushButton*, 5> pageButtons_{};
  VideoPreview* preview_;
  QTimer* refresh_;
};

}  // namespace kandrel
