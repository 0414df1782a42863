#include "ui/form_to_mono.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "blocks/pixel/type_conversion.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

using Params = ProcToMono::Params;

constexpr std::array<double Params::*, 4> kFieldOfEdit = {&Params::weight1, &Params::weight2,
                                                           &Params::weight3, &Params::offset};
constexpr int kMix = 0;
// Buttons 1 to 3 extract channel 1 to 3.
constexpr std::array<std::array<double, 4>, 3> kExtraction = {
    {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};

std::array<double, 4> Values(const Params& p) {
  std::array<double, 4> values{};
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = p.*kFieldOfEdit[i];
  return values;
}

void Store(Params& p, const std::array<double, 4>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) p.*kFieldOfEdit[i] = values[i];
}

}  // namespace

TFormToMono::TFormToMono(ProcToMono& process)
    : TFormVirtual(process), process_(process), mode_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("グレースケールへ"));
  auto* grid = new QGridLayout;
  const QString buttons[] = {QStringLiteral("ミックス"), QStringLiteral("Ch1 のみ抽出"),
                             QStringLiteral("Ch2 のみ抽出"), QStringLiteral("Ch3 のみ抽出")};
  for (int i = 0; i < 4; ++i) {
    auto* button = new QRadioButton(buttons[i]);
    mode_->addButton(button, i);
    grid->addWidget(button, i, 0);
  }
  mode_->button(kMix)->setChecked(true);

  // A mix to start from when a showing leaves the edits alone (an extraction was set).
  const std::array<double, 4> defaults = Values(Params{});
  const QString labels[] = {QStringLiteral("Ch1"), QStringLiteral("Ch2"), QStringLiteral("Ch3"),
                            QStringLiteral("Offset")};
  for (int i = 0; i < 4; ++i) {
    const auto index = static_cast<std::size_t>(i);
    values_[index] = new QLineEdit(FloatToStr(defaults[index]));
    auto* label = new QLabel(labels[i]);
    label->setBuddy(values_[index]);
    grid->addWidget(label, i, 2);
    grid->addWidget(values_[index], i, 3);
  }
  grid->addWidget(new QLabel(QStringLiteral("＋")), 3, 1);
  Body().addLayout(grid);
}

void TFormToMono::ParamsToControls() {
  const std::array<double, 4> values = Values(process_.params);
  for (std::size_t i = 0; i < kExtraction.size(); ++i) {
    if (values == kExtraction[i]) {
      mode_->button(static_cast<int>(i) + 1)->setChecked(true);
      return;
    }
  }
  mode_->button(kMix)->setChecked(true);
  for (std::size_t i = 0; i < values.size(); ++i) values_[i]->setText(FloatToStr(values[i]));
}

int TFormToMono::ControlsToParams() {
  const int mode = mode_->checkedId();
  if (mode != kMix) {
    Store(process_.params, kExtraction[static_cast<std::size_t>(mode - 1)]);
    return 0;
  }
  for (std::size_t i = 0; i < values_.size(); ++i)
    process_.params.*kFieldOfEdit[i] = StrToFloat(values_[i]->text());
  return 0;
}

}  // namespace kandrel
