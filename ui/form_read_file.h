// TFormReadFile: the dialog of the still-image reading process: the file (or the first file of a
// numbered sequence) and the range of frame numbers. Applying a new name resets the process, so
// the first frame is read at once.
//
// FrameFileFields is the part it shares with the saving dialog: a read-only directory, an editable
// file name, "参照..." for the file box, the numbering check box and number rows.
#pragma once

#include <QWidget>
#include <string>

#include "process/host.h"
#include "ui/form_virtual.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;

namespace kandrel {

class ProcReadFile;

class FrameFileFields : public QWidget {
  Q_OBJECT

 public:
  enum class Box { kOpen, kSave };

  // request: filter and options of the file box; its directory and name come from the edits.
  FrameFileFields(Box box, FileBoxRequest request);

  // Directory (with its separator) into the path edit, the rest into the file edit.
  void ShowFileName(const std::string& fileName);
  bool HasFileName() const;
  // Path edit + file edit, cut to what a file-name field holds.
  std::string FileName() const;

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
  void Browse();

  Box box_;
  FileBoxRequest request_;
  QGridLayout* grid_;
  QLineEdit* path_;
  QLineEdit* file_;
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
