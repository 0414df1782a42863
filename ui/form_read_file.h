// TFormReadFile: the dialog of the still-image reading process: the file (or the first file of a
// numbered sequence) and the range of frame numbers. Applying a new name resets the process, so
// the first frame is read at once.
//
// FrameFileFields is the part it shares with the saving dialog: the file name fields with the
// numbering check box and number rows below them.
#pragma once

#include "ui/file_name_fields.h"
#include "ui/form_virtual.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace kandrel {

class ProcReadFile;

class FrameFileFields : public FileNameFields {
  Q_OBJECT

 public:
  FrameFileFields(Box box, FileBoxRequest request);

  QCheckBox& Numbered() const { return *numbered_; }
  // The numbering flag as the check box leaves it: a stored nonzero value stays as it is while
  // the box is still ticked.
  template <class Flag>
  Flag NumberedFlag(Flag stored) const {
    return !IsNumberedTicked() ? Flag{0} : (stored != 0 ? stored : Flag{1});
  }
  // Appends a labelled number edit below the others.
  QLineEdit& AddNumberRow(const QString& label);

 private:
  bool IsNumberedTicked() const;

  QCheckBox* numbered_;
};

// The read-only example of how numbered names count up.
QPlainTextEdit* NewNumberingExample();

class TFormReadFile : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormReadFile(ProcReadFile& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcReadFile& process_;
  FrameFileFields* fields_;
  QLineEdit* firstNumber_;
  QLineEdit* lastNumber_;
};

}  // namespace kandrel
