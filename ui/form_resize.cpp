#include "ui/form_resize.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "ui/form_to_int_double.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

using Params = ProcResize::Params;

// The fields of one axis in the parameter block.
struct AxisFields {
  std::int32_t Params::*byRatio;
  std::int32_t Params::*pixels;
  double Params::*percent;
  std::int32_t Params::*reference;
};

constexpr AxisFields kWidthFields = {&Params::widthByRatio, &Params::width, &Params::widthPercent,
                                     &Params::referenceWidth};
constexpr AxisFields kHeightFields = {&Params::heightByRatio, &Params::height,
                                      &Params::heightPercent, &Params::referenceHeight};

constexpr int kAnchors = 3;
constexpr int kCentreAnchor = 1;

bool WithinSizeLimit(double pixels) { return pixels >= 1 && pixels <= kMaxResizedLength; }

double PixelsOfPercent(int reference, double percent) {
  return std::trunc(reference * percent * 0.01);
}

std::optional<int> TryStrToInt(const QString& text) {
  try {
    return StrToInt(text);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

}  // namespace

// One axis: pixels or percent, each with its edit. While one is selected, editing its number
// keeps the other in step with the reference size.
class ResizeAxis : public QGroupBox {
 public:
  ResizeAxis(const QString& title, const QString& name, const QString& pixels, AxisFields fields)
      : QGroupBox(title),
        fields_(fields),
        byPixels_(new QRadioButton(QStringLiteral("画素"))),
        byRatio_(new QRadioButton(QStringLiteral("倍率"))),
        pixels_(new QLineEdit(pixels)),
        percent_(new QLineEdit(QStringLiteral("100"))) {
    pixels_->setObjectName(name + QStringLiteral("Pixels"));
    percent_->setObjectName(name + QStringLiteral("Percent"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(byPixels_, 0, 0);
    grid->addWidget(pixels_, 0, 1);
    grid->addWidget(byRatio_, 1, 0);
    grid->addWidget(percent_, 1, 1);
    byRatio_->setChecked(true);
    pixels_->installEventFilter(this);
    percent_->installEventFilter(this);
    connect(pixels_, &QLineEdit::textChanged, this, [this] {
      if (byPixels_->isChecked()) FollowPixels();
    });
    connect(percent_, &QLineEdit::textChanged, this, [this] {
      if (byRatio_->isChecked()) FollowPercent();
    });
  }

  void Show(const Params& p) {
    reference_ = p.*fields_.reference;
    (p.*fields_.byRatio != 0 ? byRatio_ : byPixels_)->setChecked(true);
    pixels_->setText(QString::number(p.*fields_.pixels));
    percent_->setText(FloatToStr(p.*fields_.percent));
    if (byPixels_->isChecked())
      FollowPixels();
    else
      FollowPercent();
  }

  // Stores the axis into p; false when its pixel count is outside 1..2048.
  bool Read(Params& p) const {
    const bool byRatio = byRatio_->isChecked();
    if (byRatio) {
      const double percent = StrToFloat(percent_->text());
      // Without a reference there is no pixel count to check; the frame checks the real size.
      if (reference_ != 0) {
        const double pixels = PixelsOfPercent(reference_, percent);
        if (!WithinSizeLimit(pixels)) return false;
        p.*fields_.pixels = static_cast<std::int32_t>(pixels);
      }
      p.*fields_.percent = percent;
    } else {
      const int pixels = StrToInt(pixels_->text());
      if (!WithinSizeLimit(pixels)) return false;
      p.*fields_.pixels = pixels;
      if (reference_ != 0) p.*fields_.percent = 100.0 * pixels / reference_;
    }
    p.*fields_.byRatio = byRatio ? 1 : 0;
    return true;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (IsEntering(*event)) {
      if (watched == pixels_) byPixels_->setChecked(true);
      if (watched == percent_) byRatio_->setChecked(true);
    }
    return QGroupBox::eventFilter(watched, event);
  }

 private:
  void FollowPixels() {
    const std::optional<int> pixels = TryStrToInt(pixels_->text());
    if (pixels && reference_ != 0) percent_->setText(FloatToStr(100.0 * *pixels / reference_));
  }

  void FollowPercent() {
    const std::optional<double> percent = TryStrToFloat(percent_->text());
    if (percent && reference_ != 0)
      pixels_->setText(FloatToStr(PixelsOfPercent(reference_, *percent)));
  }

  const AxisFields fields_;
  int reference_ = 0;
  QRadioButton* byPixels_;
  QRadioButton* byRatio_;
  QLineEdit* pixels_;
  QLineEdit* percent_;
};

TFormResize::TFormResize(ProcResize& process)
    : TFormVirtual(process),
      process_(process),
      block_(process.params),
      interpolation_(new QComboBox),
      width_(new ResizeAxis(QStringLiteral("横幅"), QStringLiteral("width"),
                            QStringLiteral("640"), kWidthFields)),
      height_(new ResizeAxis(QStringLiteral("高さ"), QStringLiteral("height"),
                             QStringLiteral("480"), kHeightFields)),
      anchor_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Resolution"));
  interpolation_->addItems({QStringLiteral("Nearest Neighbor"), QStringLiteral("Bi Linear"),
                            QStringLiteral("Bi Cubic"), QStringLiteral("Area average")});
  auto* interpolationLabel = new QLabel(QStringLiteral("Interpolation"));
  interpolationLabel->setBuddy(interpolation_);
  auto* interpolationRow = new QHBoxLayout;
  interpolationRow->addWidget(interpolationLabel);
  interpolationRow->addWidget(interpolation_, 1);

  auto* anchorPanel = new QGroupBox(QStringLiteral("画像"));
  auto* anchorGrid = new QGridLayout(anchorPanel);
  for (int y = 0; y < kAnchors; ++y) {
    for (int x = 0; x < kAnchors; ++x) {
      auto* button = new QToolButton;
      button->setCheckable(true);
      button->setObjectName(QStringLiteral("anchor%1%2").arg(x).arg(y));
      anchor_->addButton(button, y * kAnchors + x);
      anchorGrid->addWidget(button, y, x);
    }
  }
  anchor_->button(kCentreAnchor * kAnchors + kCentreAnchor)->setChecked(true);
  auto* anchorLabel = new QLabel(QStringLiteral("合わせ位置"));

  auto* axes = new QHBoxLayout;
  axes->addWidget(width_);
  axes->addWidget(height_);
  axes->addWidget(anchorPanel);
  Body().addLayout(interpolationRow);
  Body().addLayout(axes);
  Body().addWidget(anchorLabel);

  // The dialog is built inside ProcResize's constructor, before a canvas process is one: the
  // process ID is what tells the two apart already.
  const bool canvas = process.ProcessId() == kCanvasSizeProcessId;
  interpolationLabel->setVisible(!canvas);
  interpolation_->setVisible(!canvas);
  anchorPanel->setVisible(canvas);
  anchorLabel->setVisible(canvas);
}

void TFormResize::ParamsToControls() {
  block_ = process_.params;
  if (const Image* input1 = process_.GetInput(0)) {
    block_.referenceWidth = input1->Width();
    block_.referenceHeight = input1->Height();
  }
  // Values no dialog stores leave the controls as they are.
  if (block_.interpolation >= 0 && block_.interpolation < interpolation_->count())
    interpolation_->setCurrentIndex(block_.interpolation);
  width_->Show(block_);
  height_->Show(block_);
  if (block_.anchorX >= 0 && block_.anchorX < kAnchors && block_.anchorY >= 0 &&
      block_.anchorY < kAnchors)
    anchor_->button(block_.anchorY * kAnchors + block_.anchorX)->setChecked(true);
}

int TFormResize::ControlsToParams() {
  block_.interpolation = interpolation_->currentIndex();
  if (!width_->Read(block_) || !height_->Read(block_)) {
    GetHost().ShowMessage("サイズが 1～2048 を超えます。");
    return 1;
  }
  block_.anchorX = anchor_->checkedId() % kAnchors;
  block_.anchorY = anchor_->checkedId() / kAnchors;
  process_.params = block_;
  return 0;
}

}  // namespace kandrel
