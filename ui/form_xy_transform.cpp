#include "ui/form_xy_transform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>
#include <optional>

#include "blocks/geometry/xy_transform.h"
#include "ui/form_fields.h"
#include "ui/frm_medit.h"
#include "ui/frm_track_edit.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

constexpr double kShiftStep = 1.0;
constexpr double kScaleStep = 0.01;
constexpr double kTrackStep = 0.05;

QString Fixed3(double value) { return QString::asprintf("%6.3lf", value); }

}  // namespace

// ---- TFormAffine

TFormAffine::TFormAffine(ProcVirtual& process, const std::vector<FieldRow>& fields)
    : TFormVirtual(process),
      centerOrigin_(new QCheckBox(QStringLiteral("画像の中央を原点に"))),
      interpolation_(new QComboBox),
      matrix_(new QTableWidget(3, 3)) {
  setWindowTitle(QStringLiteral("移動"));
  auto* grid = new QGridLayout;
  for (const FieldRow& row : fields) {
    auto* field = new TFrmMEdit;
    field->SetStep(row.step);
    AddLabelledRow(*grid, static_cast<int>(fields_.size()), row.caption, field->Edit(), row.unit);
    connect(&field->Edit(), &QLineEdit::textChanged, this, [this] { FollowFields(); });
    fields_.push_back(field);
  }
  Body().addLayout(grid);
  Body().addWidget(centerOrigin_);
  interpolation_->addItem(QStringLiteral("Nearest Neighbor"));
  auto* list = new QGridLayout;
  AddLabelledRow(*list, 0, QStringLiteral("Interpolation"), *interpolation_);
  Body().addLayout(list);
  matrix_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  matrix_->horizontalHeader()->hide();
  matrix_->verticalHeader()->hide();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) matrix_->setItem(r, c, new QTableWidgetItem);
  Body().addWidget(NewBuddyLabel(QStringLiteral("変換行列"), *matrix_));
  Body().addWidget(matrix_);
}

double TFormAffine::Field(int index) const {
  return StrToFloat(fields_[static_cast<std::size_t>(index)]->Edit().text());
}

QString TFormAffine::FieldText(int index) const {
  return fields_[static_cast<std::size_t>(index)]->Edit().text();
}

void TFormAffine::ShowField(int index, double value) {
  fields_[static_cast<std::size_t>(index)]->Edit().setText(FloatToStr(value));
}

void TFormAffine::ShowOrigin(std::int32_t centerOrigin, std::int32_t interpolation) {
  centerOrigin_->setChecked(centerOrigin != 0);
  if (interpolation >= 0 && interpolation < interpolation_->count())
    interpolation_->setCurrentIndex(interpolation);
}

std::int32_t TFormAffine::CenterOrigin() const { return centerOrigin_->isChecked() ? 1 : 0; }
std::int32_t TFormAffine::Interpolation() const { return interpolation_->currentIndex(); }

void TFormAffine::SetMatrixCell(int row, int column, const QString& text) {
  matrix_->item(row, column)->setText(text);
}

// ---- TFormMove: fields shiftX, shiftY, angle

TFormMove::TFormMove(ProcMove& process)
    : TFormAffine(process, {{QStringLiteral("水平移動"), kShiftStep},
                            {QStringLiteral("垂直移動"), kShiftStep},
                            {QStringLiteral("回転"), kShiftStep, QStringLiteral("度")}}),
      process_(process) {}

void TFormMove::ParamsToControls() {
  const ProcMove::Params& p = process_.params;
  ShowField(0, p.shiftX);
  ShowField(1, p.shiftY);
  ShowField(2, p.angle);
  ShowOrigin(p.centerOrigin, p.interpolation);
  FollowFields();
}

void TFormMove::FollowFields() {
  if (const std::optional<double> angle = TryStrToFloat(FieldText(2))) {
    const double a = *angle * std::numbers::pi / 180;
    SetMatrixCell(0, 0, Fixed3(std::cos(a)));
    SetMatrixCell(0, 1, Fixed3(std::sin(a)));
    SetMatrixCell(1, 0, Fixed3(-std::sin(a)));
    SetMatrixCell(1, 1, Fixed3(std::cos(a)));
  }
  SetMatrixCell(0, 2, QStringLiteral("0"));
  SetMatrixCell(1, 2, QStringLiteral("0"));
  SetMatrixCell(2, 0, FieldText(0));
  SetMatrixCell(2, 1, FieldText(1));
  SetMatrixCell(2, 2, QStringLiteral("1"));
}

int TFormMove::ControlsToParams() {
  ProcMove::Params edited = process_.params;
  edited.shiftX = Field(0);
  edited.shiftY = Field(1);
  edited.angle = Field(2);
  edited.centerOrigin = CenterOrigin();
  edited.interpolation = Interpolation();
  process_.params = edited;
  return 0;
}

// ---- TFormExpand: fields shiftX, shiftY, scaleX, scaleY

TFormExpand::TFormExpand(ProcExpand& process)
    : TFormAffine(process, {{QStringLiteral("水平移動"), kShiftStep},
                            {QStringLiteral("垂直移動"), kShiftStep},
                            {QStringLiteral("水平拡大率"), kScaleStep},
                            {QStringLiteral("垂直拡大率"), kScaleStep}}),
      process_(process) {}

void TFormExpand::ParamsToControls() {
  const ProcExpand::Params& p = process_.params;
  ShowField(0, p.shiftX);
  ShowField(1, p.shiftY);
  ShowField(2, p.scaleX);
  ShowField(3, p.scaleY);
  ShowOrigin(p.centerOrigin, p.interpolation);
  FollowFields();
}

void TFormExpand::FollowFields() {
  const QString zero = QStringLiteral("0");
  const QString rows[3][3] = {{FieldText(2), zero, zero},
                              {zero, FieldText(3), zero},
                              {FieldText(0), FieldText(1), QStringLiteral("1")}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) SetMatrixCell(r, c, rows[r][c]);
}

int TFormExpand::ControlsToParams() {
  ProcExpand::Params edited = process_.params;
  edited.shiftX = Field(0);
  edited.shiftY = Field(1);
  edited.scaleX = Field(2);
  edited.scaleY = Field(3);
  edited.centerOrigin = CenterOrigin();
  edited.interpolation = Interpolation();
  process_.params = edited;
  return 0;
}

// ---- TFormJulia

TFormJulia::TFormJulia(ProcJulia& process)
    : TFormVirtual(process),
      process_(process),
      real_(new TFrmTrackEdit),
      imaginary_(new TFrmTrackEdit) {
  setWindowTitle(QStringLiteral("Julia"));
  auto* grid = new QGridLayout;
  const std::pair<TFrmTrackEdit*, std::pair<int, int>> tracks[] = {{real_, {-30, 10}},
                                                                    {imaginary_, {-20, 20}}};
  for (const auto& [track, range] : tracks) {
    track->SetStep(kTrackStep);
    track->TrackBar().setRange(range.first, range.second);
  }
  grid->addWidget(NewBuddyLabel(QStringLiteral("Aの実数部"), real_->Edit()), 0, 0);
  grid->addWidget(real_, 0, 1);
  grid->addWidget(NewBuddyLabel(QStringLiteral("Aの虚数部"), imaginary_->Edit()), 1, 0);
  grid->addWidget(imaginary_, 1, 1);
  Body().addLayout(grid);
  Body().addWidget(new QLabel(QStringLiteral("複素平面を Z = Z x Z + A で変形します。")));
}

void TFormJulia::ParamsToControls() {
  real_->Edit().setText(FloatToStr(process_.params.aReal));
  imaginary_->Edit().setText(FloatToStr(process_.params.aImag));
}

int TFormJulia::ControlsToParams() {
  const double aReal = StrToFloat(real_->Edit().text());
  const double aImag = StrToFloat(imaginary_->Edit().text());
  process_.params = {aReal, aImag};
  return 0;
}

// ---- TFormXYMapping

TFormXYMapping::TFormXYMapping(ProcXYMapping& process) : TFormVirtual(process) {
  setWindowTitle(QStringLiteral("XYMapping"));
}

}  // namespace kandrel
