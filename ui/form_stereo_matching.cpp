#include "ui/form_stereo_matching.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cstdint>

#include "blocks/analysis/stereo_matching.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

using Params = ProcStereoMatching::Params;

struct MatcherField {
  const char* name;
  std::int32_t Params::*field;
  QStringList items;
};

QStringList OddSizes() {
  QStringList sizes;
  for (int size = 5; size <= 21; size += 2) sizes << QString::number(size);
  return sizes;
}

const std::array<MatcherField, 7>& MatcherFields() {
  static const std::array<MatcherField, 7> fields = {{
      {"preFilterSize", &Params::preFilterSize, OddSizes()},
      {"preFilterCap", &Params::preFilterCap, {"1", "10", "30", "63"}},
      {"SADWindowSize", &Params::SADWindowSize, OddSizes()},
      {"minDisparity", &Params::minDisparity, {"0"}},
      {"numberOfDisparities", &Params::numberOfDisparities, {"16", "32", "64"}},
      {"textureThreshold", &Params::textureThreshold, {"5", "10", "20", "30"}},
      {"uniquenessRatio", &Params::uniquenessRatio, {"5", "10", "20", "30"}},
  }};
  return fields;
}

}  // namespace

TFormStereoMatching::TFormStereoMatching(ProcStereoMatching& process)
    : TFormVirtual(process), process_(process) {
  setWindowTitle(QStringLiteral("StereoMatching"));
  auto* grid = new QGridLayout;
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const MatcherField& f = MatcherFields()[i];
    boxes_[i] = new QComboBox;
    boxes_[i]->setEditable(true);
    boxes_[i]->addItems(f.items);
    AddLabelledRow(*grid, static_cast<int>(i), QString::fromLatin1(f.name), *boxes_[i]);
  }
  Body().addWidget(new QLabel(QStringLiteral("cvFindStereoCorrespondenceBM( )")));
  Body().addLayout(grid);
}

void TFormStereoMatching::ParamsToControls() {
  for (std::size_t i = 0; i < boxes_.size(); ++i)
    boxes_[i]->setEditText(QString::number(process_.params.*MatcherFields()[i].field));
}

int TFormStereoMatching::ControlsToParams() {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    std::int32_t& value = process_.params.*MatcherFields()[i].field;
    value = IntOr(boxes_[i]->currentText(), value);
  }
  return 0;
}

}  // namespace kandrel
