// TFormImageWin: the desktop window of one image. It paints the image's display picture zoomed,
// lets the user pick colour space, channels, white level and gamma, scroll, draw or move the view
// rectangle, copy or save the picture and save the image itself, and hands its image to the
// shared pixel dump and histogram windows. The image owns the window; a window may live as a page
// of the main window's dock site or float on its own.
//
// The functions after the class are the main window's handles on all image windows at once and
// on the two shared tool windows.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <string>

#include "image/display.h"
#include "image/image.h"
#include "image/image_window.h"
#include "ui/image_view_rules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QScrollArea;
class QTabWidget;
class QToolButton;

namespace kandrel {

class PictureView;

class TFormImageWin : public QWidget, public ImageWindow {
  Q_OBJECT

 public:
  // Throws std::invalid_argument for a null image.
  explicit TFormImageWin(Image* image);
  ~TFormImageWin() override;

  void Refresh(bool recompute) override;
  ImageDisplay& Display() override { return display_; }
  void Show() override;
  void Hide() override;
  bool IsVisible() const override;
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override;
  // The window became the one the user looks at (its tab was chosen): the pixel dump and the
  // histogram follow it.
  void Activate() { HandToToolWindows(); }

  // The registry slot, -1 for an unnumbered window.
  int Slot() const { return slot_; }
  double Scale() const { return scale_; }
  // The zoomed picture control.
  QSize PictureSize() const;
  ImagePoint CurrentPoint() const { return currentPoint_; }
  int DragMode() const { return dragMode_; }
  bool IsDocked() const { return !dockSite_.isNull(); }
  bool IsSync() const;
  void SetSync(bool on);
  QString StatusText(int panel) const;

  // Popup and shortcut commands.
  void CopyBitmap();
  void SaveBmp();
  void SaveHdr();
  void SaveTiff();
  void SelectAll();
  void Dock();
  void Undock();
  // Leaves the dock site and floats with its frame at the geometry's corner and its client area
  // of the geometry's size.
  void FloatAt(const QRect& geometry);

  // The picture's mouse, in picture-control coordinates; global positions drive scrolling.
  void PicturePress(QPoint at, QPoint global);
  void PictureMove(QPoint at, QPoint global);
  void PictureRelease();
  void ShowDumpHere();
  // One wheel step over the window: the previous (down) or next (up) zoom entry.
  void WheelStep(bool up);
  // The blink timer's step.
  void BlinkOutline();

 protected:
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildPopupMenu();
  void ApplyZoomText(const QString& text);
  void ApplyScale();
  void CentreOn(const ImagePoint& p);
  void Synchronise();
  // Takes over another window's zoom entry and scroll positions.
  void FollowView(const QString& zoomText, int horizontal, int vertical);
  void StoreWhiteLevel(const QString& text);
  void StoreGamma(const QString& text);
  void ShowNumbers();
  void HandToToolWindows();
  void FeedDump(const ImagePoint& p);
  void MarkRed(QCheckBox* box);

  Image& image_;
  ImageDisplay display_;
  int slot_;
  std::string caption_;

  int dragMode_ = 0;
  QPoint dragStartMouse_;
  QPoint scrollAtPress_;
  ImagePoint dragStartPoint_;
  ImagePoint currentPoint_;
  ViewRect viewAtPress_;
  ViewRect wholeImage_;
  double scale_ = 1.0;
  QPointer<QTabWidget> dockSite_;
  QTimer blinkTimer_;

  QComboBox* colorSpaceBox_;
  std::array<QCheckBox*, 3> channelBoxes_;
  QComboBox* whiteLevelBox_;
  QComboBox* gammaBox_;
  QComboBox* zoomBox_;
  QCheckBox* absBox_;
  QCheckBox* syncBox_;
  QToolButton* scrollModeButton_;
  QToolButton* selectModeButton_;
  QScrollArea* scrollArea_;
  PictureView* picture_;
  std::array<QLabel*, 3> statusPanels_;
  QMenu* popup_;
  QAction* dockAction_;
  QAction* undockAction_;
};

// The page control new windows dock into (null: none); windows docked in it leave it before it
// is destroyed.
void SetDockSite(QTabWidget* site);
void DockAll();
// Floats the visible windows in a grid over the primary screen's work area.
void TileAll();
void HideAllImageWindows();
void SetAllSync(bool on);
// Shows the tool window if hidden, hides it if shown.
void ToggleDump();
void ToggleHistogram();
// The window the tool windows are placed beside when shown.
void SetToolWindowAnchor(QWidget* mainWindow);
// Program end: the dump and histogram windows go.
void DestroyToolWindows();

class TFormDump;
class TFormHistogram;
// The shared tool windows, created with the first image window (or on first use).
TFormDump& DumpWindow();
TFormHistogram& HistogramWindow();

}  // namespace kandrel
