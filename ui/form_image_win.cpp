#include "ui/form_image_win.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "image/hdr_image.h"
#include "image/tiff_dump.h"
#include "process/host.h"
#include "ui/form_dump.h"
#include "ui/form_histogram.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

struct SharedState {
  QPointer<QTabWidget> dockSite;
  std::vector<TFormImageWin*> windows;  // every live window, numbered or not
  TFormDump* dump = nullptr;
  TFormHistogram* histogram = nullptr;
  QPointer<QWidget> anchor;
  // Set while windows follow a leader, so that followers do not lead in turn.
  bool synchronising = false;
};

SharedState& Shared() {
  static SharedState state;
  return state;
}

void EnsureToolWindows() {
  if (Shared().dump == nullptr) Shared().dump = new TFormDump;
  if (Shared().histogram == nullptr) Shared().histogram = new TFormHistogram;
}

// The numbered windows in slot order; unnumbered ones take no part in tiling and syncing.
std::vector<TFormImageWin*> NumberedWindows() {
  std::vector<TFormImageWin*> windows;
  for (TFormImageWin* w : Shared().windows)
    if (w->Slot() >= 0) windows.push_back(w);
  std::sort(windows.begin(), windows.end(),
            [](const TFormImageWin* a, const TFormImageWin* b) { return a->Slot() < b->Slot(); });
  return windows;
}

Image& CheckedImage(Image* image) {
  if (image == nullptr) throw std::invalid_argument("TFormImageWin　にNULLが渡されました。");
  return *image;
}

// The picture's pixels as a QImage, without copying them.
QImage PictureImage(const Picture& picture) {
  if (picture.IsEmpty()) return QImage();
  const qsizetype stride =
      picture.Height() > 1 ? picture.ScanLine(1) - picture.ScanLine(0) : 4 * picture.Width();
  return QImage(picture.ScanLine(0), picture.Width(), picture.Height(), stride,
                QImage::Format_RGB32);
}

QRect WorkArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

std::string WithExtension(const std::string& path, const char* extension) {
  return std::filesystem::path(path).replace_extension(extension).string();
}

const char* const kZoomEntries[] = {"25",  "33.3", "50",  "75",  "100",  "150", "200",
                                    "300", "400",  "500", "800", "1000", "1600"};
const char* const kWhiteLevels[] = {"65535", "32767", "16383", "4095",  "1023",   "511",    "255",
                                    "128",   "64",    "32",    "16",    "8",      "4",      "2",
                                    "1",     "0.5",   "0.25",  "0.125", "0.0625", "0.03125"};

QComboBox* EditableBox(const QString& name, const QStringList& items) {
  auto* box = new QComboBox;
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(items);
  return box;
}

QStringList Entries(const char* const* begin, const char* const* end) {
  QStringList list;
  for (const char* const* e = begin; e != end; ++e) list << QString::fromUtf8(*e);
  return list;
}

}  // namespace

// The zoomed picture; it hands its mouse to the window.
class PictureView : public QWidget {
 public:
  explicit PictureView(TFormImageWin& window) : window_(window) { setMouseTracking(true); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QImage image = PictureImage(window_.Display().GetPicture());
    if (!image.isNull()) painter.drawImage(rect(), image);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton)
      window_.PicturePress(event->position().toPoint(), event->globalPosition().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    window_.PictureMove(event->position().toPoint(), event->globalPosition().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) window_.PictureRelease();
  }
  void mouseDoubleClickEvent(QMouseEvent*) override { window_.ShowDumpHere(); }

 private:
  TFormImageWin& window_;
};

TFormImageWin::TFormImageWin(Image* image)
    : image_(CheckedImage(image)),
      display_(image_),
      slot_(ImageWindowRegistry::Instance().Register(this)),
      caption_(ImageWindowRegistry::CaptionForSlot(slot_)) {
  EnsureToolWindows();
  Shared().windows.push_back(this);
  setWindowTitle(QString::fromStdString(caption_));
  BuildControls();
  BuildPopupMenu();
  blinkTimer_.setInterval(250);
  connect(&blinkTimer_, &QTimer::timeout, this, &TFormImageWin::BlinkOutline);
  if (Shared().dockSite != nullptr) Dock();
}

TFormImageWin::~TFormImageWin() {
  blinkTimer_.stop();
  // The scroll bars outlive this part of the object while the widget base takes them down.
  scrollArea_->horizontalScrollBar()->disconnect(this);
  scrollArea_->verticalScrollBar()->disconnect(this);
  ImageWindowRegistry::Instance().Unregister(slot_);
  std::erase(Shared().windows, this);
  if (Shared().dump != nullptr) Shared().dump->SetImage(nullptr);
  if (Shared().histogram != nullptr) Shared().histogram->SetImage(nullptr);
}

void TFormImageWin::BuildControls() {
  colorSpaceBox_ = new QComboBox;
  colorSpaceBox_->setObjectName(QStringLiteral("ColorSpace"));
  colorSpaceBox_->addItems({"RGB", "YCrCb", "HSV", "XYZ", "Lab"});
  colorSpaceBox_->setEnabled(display_.ColorSpaceSelectable());
  connect(colorSpaceBox_, &QComboBox::activated, this, [this](int index) {
    image_.colorSpace = std::max(0, index);
    Refresh(true);
  });

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(QStringLiteral("ColorSpace")));
  controls->addWidget(colorSpaceBox_);
  const char* designCaptions[] = {"Y", "Cr", "Cb"};
  for (int c = 0; c < 3; ++c) {
    channelBoxes_[c] = new QCheckBox(QString::fromUtf8(designCaptions[c]));
    channelBoxes_[c]->setChecked(display_.ChannelShown(c));
    channelBoxes_[c]->setEnabled(display_.ChannelsSelectable());
    connect(channelBoxes_[c], &QCheckBox::toggled, this, [this, c](bool on) {
      display_.SetChannelShown(c, on);
      Refresh(true);
    });
    controls->addWidget(channelBoxes_[c]);
  }

  whiteLevelBox_ = EditableBox(QStringLiteral("WhiteLevel"),
                               Entries(std::begin(kWhiteLevels), std::end(kWhiteLevels)));
  QStringList gammas;
  for (int tenths = 22; tenths >= 10; --tenths) gammas << QString::number(tenths / 10.0, 'f', 1);
  gammaBox_ = EditableBox(QStringLiteral("Gamma"), gammas);
  zoomBox_ = EditableBox(QStringLiteral("Size(％)"),
                         Entries(std::begin(kZoomEntries), std::end(kZoomEntries)));
  zoomBox_->setCurrentIndex(zoomBox_->findText(QStringLiteral("100")));
  connect(whiteLevelBox_, &QComboBox::currentTextChanged, this, &TFormImageWin::StoreWhiteLevel);
  connect(gammaBox_, &QComboBox::currentTextChanged, this, &TFormImageWin::StoreGamma);
  connect(zoomBox_, &QComboBox::currentTextChanged, this, &TFormImageWin::ApplyZoomText);
  const std::pair<const char*, QComboBox*> boxes[] = {
      {"WhiteLevel", whiteLevelBox_}, {"Gamma", gammaBox_}, {"Size(％)", zoomBox_}};
  for (const auto& [caption, box] : boxes) {
    controls->addWidget(new QLabel(QString::fromUtf8(caption)));
    controls->addWidget(box);
  }

  absBox_ = new QCheckBox(QStringLiteral("Abs."));
  absBox_->setChecked(display_.Absolute());
  MarkRed(absBox_);
  connect(absBox_, &QCheckBox::toggled, this, [this](bool on) {
    MarkRed(absBox_);
    display_.SetAbsolute(on);
    Refresh(false);
  });
  syncBox_ = new QCheckBox(QStringLiteral("Sync."));
  syncBox_->setChecked(true);
  MarkRed(syncBox_);
  connect(syncBox_, &QCheckBox::toggled, this, [this] { MarkRed(syncBox_); });
  controls->addWidget(absBox_);
  controls->addWidget(syncBox_);

  // Dragging either scrolls (hand cursor) or edits the view rectangle and feeds the dump.
  auto* modes = new QGroupBox(QStringLiteral("Scroll"));
  auto* modeLayout = new QHBoxLayout(modes);
  scrollModeButton_ = new QToolButton;
  scrollModeButton_->setText(QStringLiteral("Hand"));
  selectModeButton_ = new QToolButton;
  selectModeButton_->setText(QStringLiteral("Select"));
  auto* group = new QButtonGroup(this);
  for (QToolButton* button : {scrollModeButton_, selectModeButton_}) {
    button->setCheckable(true);
    group->addButton(button);
    modeLayout->addWidget(button);
  }
  scrollModeButton_->setChecked(true);
  connect(scrollModeButton_, &QToolButton::toggled, this, [this](bool scrolling) {
    picture_->setCursor(scrolling ? Qt::OpenHandCursor : Qt::CrossCursor);
  });
  controls->addWidget(modes);
  controls->addStretch();

  picture_ = new PictureView(*this);
  picture_->setCursor(Qt::OpenHandCursor);
  scrollArea_ = new QScrollArea;
  scrollArea_->setWidget(picture_);
  scrollArea_->viewport()->installEventFilter(this);
  for (QScrollBar* bar : {scrollArea_->horizontalScrollBar(), scrollArea_->verticalScrollBar()})
    connect(bar, &QScrollBar::valueChanged, this, &TFormImageWin::Synchronise);

  auto* status = new QStatusBar;
  status->setSizeGripEnabled(false);
  for (QLabel*& panel : statusPanels_) {
    panel = new QLabel;
    status->addWidget(panel, 1);
  }

  auto* layout = new QVBoxLayout(this);
  // Tiled windows may be narrower than the control row; it is clipped rather than widening them.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(controls);
  layout->addWidget(scrollArea_, 1);
  layout->addWidget(status);
  resize(640, 480);
}

void TFormImageWin::BuildPopupMenu() {
  popup_ = new QMenu(this);
  popup_->addAction(QStringLiteral("Close"), this, &TFormImageWin::Hide);
  undockAction_ = popup_->addAction(QStringLiteral("Undock window"), this, &TFormImageWin::Undock);
  dockAction_ = popup_->addAction(QStringLiteral("Dock window"), this, &TFormImageWin::Dock);
  popup_->addSeparator();
  popup_->addAction(QStringLiteral("Copy Bitmap image"), this, &TFormImageWin::CopyBitmap);
  popup_->addAction(QStringLiteral("Save image as BMP（.bmp）..."), this, &TFormImageWin::SaveBmp);
  popup_->addAction(QStringLiteral("Save image as HDR（32 bit RGBE）..."), this,
                    &TFormImageWin::SaveHdr);
  popup_->addAction(QStringLiteral("Save image as TIFF (32 bit Full precision /ch）..."), this,
                    &TFormImageWin::SaveTiff);

  // The window's own "Edit" commands; the main window may also list them in its menu.
  const std::pair<const char*, QKeySequence> shortcuts[] = {
      {"Copy Bitmap image", QKeySequence(Qt::CTRL | Qt::Key_C)},
      {"Select all", QKeySequence(Qt::CTRL | Qt::Key_A)}};
  for (const auto& [text, keys] : shortcuts) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
  }
  connect(actions()[0], &QAction::triggered, this, &TFormImageWin::CopyBitmap);
  connect(actions()[1], &QAction::triggered, this, &TFormImageWin::SelectAll);
}

void TFormImageWin::Refresh(bool recompute) {
  display_.Refresh(recompute);
  ApplyScale();
  {
    const QSignalBlocker blocker(colorSpaceBox_);
    const int space = image_.colorSpace;
    colorSpaceBox_->setCurrentIndex(space >= kRgb && space <= kLab ? space : -1);
  }
  const std::array<std::string, 3> captions = display_.ChannelCaptions();
  for (int c = 0; c < 3; ++c) channelBoxes_[c]->setText(QString::fromStdString(captions[c]));
  const std::array<std::string, 3> status = display_.StatusTexts();
  for (int k = 0; k < 3; ++k) statusPanels_[k]->setText(QString::fromStdString(status[k]));
  ShowNumbers();
  HandToToolWindows();
  picture_->update();
}

void TFormImageWin::ShowNumbers() {
  // A box whose text already reads as the stored value keeps it, so typing "1." stays possible.
  const std::pair<QComboBox*, double> numbers[] = {{whiteLevelBox_, image_.whiteLevel},
                                                   {gammaBox_, image_.gamma}};
  for (const auto& [box, value] : numbers) {
    if (TryStrToFloat(box->currentText()) == value) continue;
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(-1);
    box->setEditText(FloatToStr(value));
  }
}

void TFormImageWin::SetCaption(const std::string& caption) {
  caption_ = caption;
  setWindowTitle(QString::fromStdString(caption_));
  if (!dockSite_.isNull())
    if (const int page = dockSite_->indexOf(this); page >= 0)
      dockSite_->setTabText(page, QString::fromStdString(caption_));
}

void TFormImageWin::HandToToolWindows() {
  if (Shared().dump != nullptr) Shared().dump->SetImage(&display_);
  if (Shared().histogram != nullptr) Shared().histogram->SetImage(&image_);
}

void TFormImageWin::Show() {
  if (IsDocked()) {
    if (dockSite_->indexOf(this) < 0) dockSite_->addTab(this, QString::fromStdString(caption_));
    dockSite_->setCurrentWidget(this);
    show();
    dockSite_->setFocus();
  } else {
    if (isHidden()) show();
    raise();
    activateWindow();
  }
  Refresh(true);
  MarkRed(syncBox_);
  blinkTimer_.start();
}

void TFormImageWin::Hide() {
  blinkTimer_.stop();
  if (IsDocked()) {
    const int index = dockSite_->indexOf(this);
    if (index >= 0) dockSite_->removeTab(index);
  }
  hide();
}

bool TFormImageWin::IsVisible() const {
  // A docked window counts as shown while it has a page, current or not.
  return IsDocked() ? dockSite_->indexOf(const_cast<TFormImageWin*>(this)) >= 0 : isVisible();
}

QSize TFormImageWin::PictureSize() const { return picture_->size(); }

bool TFormImageWin::IsSync() const { return syncBox_->isChecked(); }

void TFormImageWin::SetSync(bool on) { syncBox_->setChecked(on); }

QString TFormImageWin::StatusText(int panel) const { return statusPanels_[panel]->text(); }

void TFormImageWin::MarkRed(QCheckBox* box) {
  QPalette palette = box->style()->standardPalette();
  if (box->isChecked()) {
    palette.setColor(QPalette::WindowText, Qt::red);
    palette.setColor(QPalette::ButtonText, Qt::red);
  }
  box->setPalette(palette);
}

void TFormImageWin::ApplyZoomText(const QString& text) {
  const std::optional<double> scale = ZoomScaleFromText(text);
  if (!scale) return;
  scale_ = *scale;
  ApplyScale();
  CentreOn(currentPoint_);
  Synchronise();
}

void TFormImageWin::ApplyScale() {
  const Picture& picture = display_.GetPicture();
  picture_->setFixedSize(static_cast<int>(std::trunc(picture.Width() * scale_)),
                         static_cast<int>(std::trunc(picture.Height() * scale_)));
  picture_->update();
}

void TFormImageWin::CentreOn(const ImagePoint& p) {
  const QSize client = scrollArea_->viewport()->size();
  scrollArea_->horizontalScrollBar()->setValue(ScrollToCentre(p.x, scale_, client.width()));
  scrollArea_->verticalScrollBar()->setValue(ScrollToCentre(p.y, scale_, client.height()));
}

void TFormImageWin::Synchronise() {
  if (Shared().synchronising) return;
  Shared().synchronising = true;
  const int horizontal = scrollArea_->horizontalScrollBar()->value();
  const int vertical = scrollArea_->verticalScrollBar()->value();
  for (TFormImageWin* other : NumberedWindows())
    if (other != this && other->IsSync())
      other->FollowView(zoomBox_->currentText(), horizontal, vertical);
  Shared().synchronising = false;
}

void TFormImageWin::FollowView(const QString& zoomText, int horizontal, int vertical) {
  zoomBox_->setEditText(zoomText);
  scrollArea_->horizontalScrollBar()->setValue(horizontal);
  scrollArea_->verticalScrollBar()->setValue(vertical);
}

void TFormImageWin::StoreWhiteLevel(const QString& text) {
  const std::optional<double> value = TryStrToFloat(text);
  if (!value || *value <= 0 || *value == image_.whiteLevel) return;
  image_.whiteLevel = *value;
  Refresh(false);
}

void TFormImageWin::StoreGamma(const QString& text) {
  const std::optional<double> value = TryStrToFloat(text);
  if (!value || *value <= 0 || *value == image_.gamma) return;
  image_.gamma = *value;
  Refresh(false);
}

void TFormImageWin::PicturePress(QPoint at, QPoint global) {
  blinkTimer_.stop();
  display_.DrawOutline(ImageDisplay::kOutlineOff);
  dragStartMouse_ = global;
  scrollAtPress_ = {scrollArea_->horizontalScrollBar()->value(),
                    scrollArea_->verticalScrollBar()->value()};
  dragStartPoint_ = currentPoint_ =
      ImagePointFromMouse(at.x(), at.y(), scale_, image_.Width(), image_.Height());
  wholeImage_ = ViewRect{0, 0, image_.Width(), image_.Height()};
  viewAtPress_ = image_.view;
  if (scrollModeButton_->isChecked())
    dragMode_ = 1;
  else if (PointInView(dragStartPoint_, viewAtPress_) && !(viewAtPress_ == wholeImage_))
    dragMode_ = 2;
  else
    dragMode_ = 3;
  HandToToolWindows();
  PictureMove(at, global);
}

void TFormImageWin::PictureMove(QPoint at, QPoint global) {
  const ImagePoint p = ImagePointFromMouse(at.x(), at.y(), scale_, image_.Width(), image_.Height());
  if (dragMode_ == 0) {
    if (selectModeButton_->isChecked()) FeedDump(p);
    return;
  }
  if (dragMode_ == 1) {
    const QPoint moved = global - dragStartMouse_;
    scrollArea_->horizontalScrollBar()->setValue(scrollAtPress_.x() - moved.x());
    scrollArea_->verticalScrollBar()->setValue(scrollAtPress_.y() - moved.y());
  } else {
    display_.DrawOutline(ImageDisplay::kOutlineOff);
    image_.view = dragMode_ == 3 ? SpannedView(dragStartPoint_, p, image_.Width(), image_.Height())
                                 : MovedView(viewAtPress_, p.x - dragStartPoint_.x,
                                             p.y - dragStartPoint_.y, wholeImage_);
    display_.DrawOutline(ImageDisplay::kOutlineOn);
    picture_->update();
  }
  FeedDump(p);
}

void TFormImageWin::PictureRelease() {
  if (dragMode_ == 2 || dragMode_ == 3) {
    if (IsAtMostOnePixel(image_.view)) image_.ResetView();
    Refresh(false);
  }
  dragMode_ = 0;
  if (!IsVisible()) Show();
  blinkTimer_.start();
}

void TFormImageWin::FeedDump(const ImagePoint& p) {
  TFormDump* dump = Shared().dump;
  if (dump == nullptr || !dump->isVisible()) return;
  dump->SetImage(&display_);
  dump->CentreOn(p.x, p.y);
}

void TFormImageWin::ShowDumpHere() {
  EnsureToolWindows();
  Shared().dump->SetImage(&display_);
  ShowToolWindowBeside(*Shared().dump, Shared().anchor);
  Shared().dump->CentreOn(currentPoint_.x, currentPoint_.y);
}

void TFormImageWin::WheelStep(bool up) {
  if (whiteLevelBox_->hasFocus() || whiteLevelBox_->lineEdit()->hasFocus() ||
      gammaBox_->hasFocus() || gammaBox_->lineEdit()->hasFocus())
    return;
  const int index = zoomBox_->currentIndex();
  const int last = zoomBox_->count() - 1;
  int next = index;
  if (!up)
    next = std::max(0, index - 1);
  else if (index >= last)
    ShowDumpHere();
  else
    next = index + 1;
  if (next != index)
    zoomBox_->setCurrentIndex(next);
  else
    ApplyZoomText(zoomBox_->currentText());
}

void TFormImageWin::wheelEvent(QWheelEvent* event) {
  if (event->angleDelta().y() != 0) WheelStep(event->angleDelta().y() > 0);
  event->accept();
}

bool TFormImageWin::eventFilter(QObject* watched, QEvent* event) {
  // The wheel zooms instead of scrolling the picture.
  if (watched == scrollArea_->viewport() && event->type() == QEvent::Wheel) {
    wheelEvent(static_cast<QWheelEvent*>(event));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TFormImageWin::BlinkOutline() {
  if (!isVisible() || !display_.Blink()) return;
  picture_->update();
  if (Shared().dump != nullptr && Shared().dump->ShownDisplay() == &display_)
    Shared().dump->update();
}

void TFormImageWin::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
    HandToToolWindows();
  QWidget::changeEvent(event);
}

void TFormImageWin::contextMenuEvent(QContextMenuEvent* event) {
  dockAction_->setEnabled(Shared().dockSite != nullptr);
  undockAction_->setEnabled(IsDocked());
  popup_->exec(event->globalPos());
}

void TFormImageWin::CopyBitmap() {
  display_.DrawOutline(ImageDisplay::kOutlineOff);
  picture_->update();
  const ViewRect& v = image_.view;
  const QImage part = PictureImage(display_.GetPicture())
                          .copy(QRect(v.left, v.top, v.right - v.left, v.bottom - v.top));
  QGuiApplication::clipboard()->setImage(part);
}

void TFormImageWin::SaveBmp() {
  display_.DrawOutline(ImageDisplay::kOutlineOff);
  picture_->update();
  FileBoxRequest request;
  request.filter = "Bitmap (*.bmp)|*.bmp";
  request.initialName = "Untitled";
  request.confirmOverwrite = true;
  const std::optional<std::string> path = GetHost().AskSaveFile(request);
  if (path && !display_.GetPicture().SaveBmp(*path))
    GetHost().ShowMessage(SaveFailureMessage(*path));
}

void TFormImageWin::SaveHdr() {
  FileBoxRequest request;
  request.filter = "32 bit HDR|*.hdr;";
  const std::optional<std::string> path = GetHost().AskSaveFile(request);
  if (!path) return;
  const std::string file = WithExtension(*path, ".hdr");
  if (SaveImageHDR(image_, file) != 0) GetHost().ShowMessage(SaveFailureMessage(file));
}

void TFormImageWin::SaveTiff() {
  FileBoxRequest request;
  request.filter =
      "Extention is automatically given|*.tif;|32 bit Int|*.tif;|32 bit float|*.tif;|32+32 bit "
      "complex|*.tif;";
  const std::optional<std::string> path = GetHost().AskSaveFile(request);
  if (!path) return;
  const std::string file = WithExtension(*path, ".tif");
  if (SaveImageTIFF(image_, file) != 0) GetHost().ShowMessage(SaveFailureMessage(file));
}

void TFormImageWin::SelectAll() {
  image_.ResetView();
  Refresh(false);
}

void TFormImageWin::Dock() {
  QTabWidget* site = Shared().dockSite;
  if (site == nullptr) return;
  dockSite_ = site;
  setWindowFlags(Qt::Widget);
  if (site->indexOf(this) < 0) site->addTab(this, QString::fromStdString(caption_));
  site->setCurrentWidget(this);
  // A page is on show from now on, so it needs its picture.
  Refresh(true);
  blinkTimer_.start();
}

void TFormImageWin::Undock() { FloatAt(QRect(WorkArea().topLeft(), size())); }

void TFormImageWin::FloatAt(const QRect& geometry) {
  if (IsDocked()) {
    const int index = dockSite_->indexOf(this);
    if (index >= 0) dockSite_->removeTab(index);
  }
  dockSite_ = nullptr;
  setParent(nullptr, Qt::Window);
  resize(geometry.size());
  move(geometry.topLeft());  // the frame's corner
  show();
  blinkTimer_.start();
}

TFormDump& DumpWindow() {
  EnsureToolWindows();
  return *Shared().dump;
}

TFormHistogram& HistogramWindow() {
  EnsureToolWindows();
  return *Shared().histogram;
}

void SetDockSite(QTabWidget* site) {
  if (Shared().dockSite != nullptr)
    QObject::disconnect(Shared().dockSite, nullptr, nullptr, nullptr);
  Shared().dockSite = site;
  if (site == nullptr) return;
  // The pages are the images' windows, not the site's: they float off before it goes.
  QObject::connect(site, &QObject::destroyed, [site] {
    for (TFormImageWin* w : Shared().windows)
      for (QObject* p = w->parent(); p != nullptr; p = p->parent())
        if (p == site) {
          w->setParent(nullptr, Qt::Window);
          w->hide();
          break;
        }
  });
}

void DockAll() {
  for (TFormImageWin* w : NumberedWindows())
    if (w->IsVisible()) w->Dock();
}

void TileAll() {
  std::vector<TFormImageWin*> visible;
  for (TFormImageWin* w : NumberedWindows())
    if (w->IsVisible()) visible.push_back(w);
  const TileGrid grid = TileRowsColumns(static_cast<int>(visible.size()));
  const QRect work = WorkArea();
  const int cellWidth = work.width() / grid.columns;
  const int cellHeight = work.height() / grid.rows;
  for (std::size_t k = 0; k < visible.size(); ++k) {
    TFormImageWin* w = visible[k];
    const int column = static_cast<int>(k) % grid.columns;
    const int row = static_cast<int>(k) / grid.columns;
    w->Hide();
    w->FloatAt(QRect(work.left() + column * cellWidth, work.top() + row * cellHeight,
                     std::min(cellWidth, w->PictureSize().width() + 90),
                     std::min(cellHeight, w->PictureSize().height() + 68)));
  }
}

void HideAllImageWindows() { ImageWindowRegistry::Instance().HideAll(); }

void SetAllSync(bool on) {
  for (TFormImageWin* w : NumberedWindows()) w->SetSync(on);
}

namespace {
void Toggle(QWidget& tool) {
  if (tool.isVisible())
    tool.hide();
  else
    ShowToolWindowBeside(tool, Shared().anchor);
}
}  // namespace

void ToggleDump() { Toggle(DumpWindow()); }

void ToggleHistogram() { Toggle(HistogramWindow()); }

void SetToolWindowAnchor(QWidget* mainWindow) { Shared().anchor = mainWindow; }

void DestroyToolWindows() {
  delete Shared().dump;
  Shared().dump = nullptr;
  delete Shared().histogram;
  Shared().histogram = nullptr;
}

}  // namespace kandrel
