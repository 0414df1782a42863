// The dialogs of the coordinate-map kinds. TFormMove and TFormExpand edit shifts, the rotation or
// the magnifications with drag edits, and show the transform as a 3 × 3 matrix in row-vector
// form that follows the fields as they are typed; TFormJulia sets the constant A with two track
// edits; TFormXYMapping has only the common buttons.
#pragma once

#include <vector>

#include "ui/form_virtual.h"

class QCheckBox;
class QComboBox;
class QTableWidget;

namespace kandrel {

class ProcExpand;
class ProcJulia;
class ProcMove;
class ProcXYMapping;
class TFrmMEdit;
class TFrmTrackEdit;

// The fields, origin box, interpolation list and matrix the two affine dialogs share.
class TFormAffine : public TFormVirtual {
  Q_OBJECT

 protected:
  struct FieldRow {
    QString caption;
    double step;
    QString unit = {};
  };
  // One drag edit per row.
  TFormAffine(ProcVirtual& process, const std::vector<FieldRow>& fields);

  // The field's number; a text that is none throws the conversion error.
  double Field(int index) const;
  void ShowField(int index, double value);
  void ShowOrigin(std::int32_t centerOrigin, std::int32_t interpolation);
  std::int32_t CenterOrigin() const;
  std::int32_t Interpolation() const;
  void SetMatrixCell(int row, int column, const QString& text);
  QString FieldText(int index) const;
  // Fills the matrix from the fields as they read now.
  virtual void FollowFields() = 0;

 private:
  std::vector<TFrmMEdit*> fields_;
  QCheckBox* centerOrigin_;
  QComboBox* interpolation_;
  QTableWidget* matrix_;
};

class TFormMove : public TFormAffine {
  Q_OBJECT

 public:
  explicit TFormMove(ProcMove& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;
  void FollowFields() override;

 private:
  ProcMove& process_;
};

class TFormExpand : public TFormAffine {
  Q_OBJECT

 public:
  explicit TFormExpand(ProcExpand& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;
  void FollowFields() override;

 private:
  ProcExpand& process_;
};

class TFormJulia : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormJulia(ProcJulia& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcJulia& process_;
  TFrmTrackEdit* real_;
  TFrmTrackEdit* imaginary_;
};

class TFormXYMapping : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormXYMapping(ProcXYMapping& process);
};

}  // namespace kandrel
