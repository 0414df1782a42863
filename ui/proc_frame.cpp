#include "ui/proc_frame.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>

namespace kandrel {

namespace {

constexpr int kRowTop = 22;
constexpr int kRowPitch = 18;
constexpr int kPortHeight = 17;
constexpr int kStripPortTop = 42;
constexpr int kStripPortPitch = 54;

const QColor kSelected(166, 202, 240);
// The window system's active-border grey of unselected icons.
const QColor kUnselected(180, 180, 180);
const QColor kMarked(0, 255, 0);
const QColor kNoImageText(128, 128, 128);

QString InputCaption(int k) { return QString::number(k + 1); }

// Strip captions are four characters wide: "In 1" … "In10", "Out1" … "Ou10".
QString StripInCaption(int k) { return k < 9 ? QStringLiteral("In %1").arg(k + 1) : "In10"; }
QString StripOutCaption(int k) { return k < 9 ? QStringLiteral("Out%1").arg(k + 1) : "Ou10"; }

void SetColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(role, colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

}  // namespace

int IconHeight(int inputCount, int outputCount) {
  return kRowTop + kRowPitch * std::max({3, inputCount, outputCount});
}

TProcFrame::TProcFrame(int tag, QWidget* parent) : QFrame(parent), tag_(tag) {
  setFrameShape(QFrame::Box);
  for (int k = 0; k < kMaxPorts; ++k) {
    inputs_[k] = new QPushButton(this);
    inputs_[k]->setFocusPolicy(Qt::NoFocus);
    inputs_[k]->installEventFilter(this);
    outputs_[k] = new QLabel(this);
    outputs_[k]->setAlignment(Qt::AlignCenter);
    outputs_[k]->setLineWidth(2);
    outputs_[k]->installEventFilter(this);
  }
  if (IsChildIcon())
    BuildChildIcon();
  else
    BuildStrip();
  ShowMarks(false, {});
}

void TProcFrame::BuildChildIcon() {
  number_ = new QLabel(QString::number(tag_ + 1), this);
  number_->setGeometry(0, 0, 20, 18);
  number_->setAlignment(Qt::AlignCenter);
  number_->setFrameShape(QFrame::Panel);
  name_ = new QLineEdit(this);
  name_->setGeometry(22, 0, 83, 18);
  name_->setFrame(false);
  // Every keystroke renames the process, so that the name is current whenever it is read.
  connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (process_ != nullptr) process_->SetName(text.toStdString());
  });
  status_ = new QLineEdit(this);
  status_->setGeometry(24, 22, 26, 17);
  status_->setReadOnly(true);
  status_->setFrame(false);
  status_->setFocusPolicy(Qt::NoFocus);
  status_->setAttribute(Qt::WA_TransparentForMouseEvents);
  SetColour(*status_, QPalette::Base, QColor(192, 192, 192));
  step_ = new QPushButton(QStringLiteral("▶"), this);
  step_->setGeometry(24, 40, 26, 17);
  step_->setFocusPolicy(Qt::NoFocus);
  connect(step_, &QPushButton::clicked, this, &TProcFrame::stepClicked);
  for (int k = 0; k < kMaxPorts; ++k) {
    inputs_[k]->setText(InputCaption(k));
    inputs_[k]->setGeometry(InputRect(k));
    outputs_[k]->setGeometry(OutputRect(k));
  }
  resize(kWidth, IconHeight(0, 0));
}

void TProcFrame::BuildStrip() {
  const bool in = tag_ == kInPortTag;
  for (int k = 0; k < kMaxPorts; ++k) {
    inputs_[k]->setVisible(!in);
    outputs_[k]->setVisible(in);
    inputs_[k]->setText(StripOutCaption(k));
    outputs_[k]->setText(StripInCaption(k));
    inputs_[k]->setGeometry(InputRect(k));
    outputs_[k]->setGeometry(OutputRect(k));
  }
  resize(kStripWidth, kStripPortTop + kStripPortPitch * kMaxPorts);
}

QRect TProcFrame::InputRect(int k) const {
  if (!IsChildIcon()) return {0, kStripPortTop + kStripPortPitch * k, kStripWidth, kPortHeight};
  return {0, kRowTop + kRowPitch * k, 20, kPortHeight};
}

QRect TProcFrame::OutputRect(int k) const {
  if (!IsChildIcon()) return {0, kStripPortTop + kStripPortPitch * k, kStripWidth, kPortHeight};
  return {56, kRowTop + kRowPitch * k, 49, kPortHeight};
}

bool TProcFrame::IsEditingName() const { return name_ != nullptr && name_->hasFocus(); }

void TProcFrame::Bind(ProcVirtual* p) {
  process_ = p;
  if (p == nullptr) return;
  if (IsChildIcon()) {
    const QString name = QString::fromStdString(p->Name());
    if (!IsEditingName() && name_->text() != name) name_->setText(name);
    status_->setText(QString::fromStdString(p->Status()));
    resize(kWidth, IconHeight(p->InputCount(), p->OutputCount()));
  }
  if (tag_ != kInPortTag)
    for (int k = 0; k < kMaxPorts; ++k) inputs_[k]->setVisible(k < p->InputCount());
  if (tag_ != kOutPortTag) ShowOutputs();
}

void TProcFrame::ShowOutputs() {
  for (int k = 0; k < kMaxPorts; ++k) {
    QLabel& panel = *outputs_[k];
    panel.setVisible(k < process_->OutputCount());
    const Image* image = process_->GetOutput(k);
    // The strip's captions are fixed; an icon's name the window of each output.
    if (IsChildIcon())
      panel.setText(image != nullptr ? QString::fromStdString(image->WindowName())
                                     : QStringLiteral("未作成"));
    SetColour(panel, QPalette::WindowText, image != nullptr ? QColor(Qt::black) : kNoImageText);
  }
}

void TProcFrame::ShowMarks(bool selected, const std::array<bool, kMaxPorts>& marks) {
  SetColour(*this, QPalette::Window, selected ? kSelected : kUnselected);
  for (int k = 0; k < kMaxPorts; ++k) {
    QLabel& panel = *outputs_[k];
    panel.setFrameStyle(QFrame::Panel | (marks[k] ? QFrame::Sunken : QFrame::Raised));
    SetColour(panel, QPalette::Window,
              marks[k] ? kMarked : QApplication::palette().color(QPalette::Button));
  }
}

bool TProcFrame::eventFilter(QObject* watched, QEvent* event) {
  for (int k = 0; k < kMaxPorts; ++k) {
    if (watched == inputs_[k]) return InputEvent(k, event);
    if (watched != outputs_[k]) continue;
    // A press on an output panel is the panel's, not the start of moving the icon.
    if (event->type() == QEvent::MouseButtonPress) return true;
    if (event->type() == QEvent::MouseButtonRelease) {
      emit outputReleased(k, static_cast<QMouseEvent*>(event)->modifiers());
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

bool TProcFrame::InputEvent(int k, QEvent* event) {
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
      type != QEvent::MouseButtonRelease)
    return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint canvasPos = inputs_[k]->mapTo(parentWidget(), mouse->position().toPoint());
  if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
    dragging_ = true;
    emit inputPressed(k, canvasPos);
  } else if (type == QEvent::MouseMove && dragging_) {
    emit inputDragged(canvasPos);
  } else if (type == QEvent::MouseButtonRelease && dragging_) {
    dragging_ = false;
    emit inputReleased(k, canvasPos);
  }
  return false;  // the button still shows itself pressed and released
}

void TProcFrame::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  grab_ = event->position().toPoint();
  emit bodyPressed(event->modifiers());
}

void TProcFrame::mouseMoveEvent(QMouseEvent* event) {
  if (!IsChildIcon() || process_ == nullptr || !(event->buttons() & Qt::LeftButton)) return;
  // Icons sit on even coordinates.
  auto even = [](int v) { return v & ~1; };
  const QPoint delta = event->position().toPoint() - grab_;
  move(even(x() + delta.x() + 1), even(y() + delta.y() + 1));
  emit moved();
}

void TProcFrame::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
}

void TProcFrame::contextMenuEvent(QContextMenuEvent* event) {
  if (IsChildIcon()) emit contextMenuRequested(event->globalPos());
}

}  // namespace kandrel
