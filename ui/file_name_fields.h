// FileNameFields: the part of the dialogs that name one file: a read-only directory ("パス名"),
// the file name ("ファイル名") and "参照..." for the platform's file box, which starts from what
// the two edits show and puts the chosen name back into them.
#pragma once

#include <QWidget>
#include <string>

#include "process/host.h"

class QGridLayout;
class QLineEdit;

namespace kandrel {

class FileNameFields : public QWidget {
  Q_OBJECT

 public:
  enum class Box { kOpen, kSave };

  // request: filter and options of the file box; its directory and name come from the edits.
  FileNameFields(Box box, FileBoxRequest request);

  // Directory (with its separator) into the path edit, the rest into the file edit.
  void ShowFileName(const std::string& fileName);
  bool HasFileName() const;
  // Path edit + file edit, cut to what a file-name field holds.
  std::string FileName() const;
  QLineEdit& FileEdit() const { return *file_; }

 signals:
  // The file box was confirmed; the edits show the chosen name.
  void Chosen();

 protected:
  // Rows 0 and 1 are the edits; rows below are free for the dialog's own fields.
  QGridLayout& Grid() const { return *grid_; }

 private:
  void Browse();

  Box box_;
  FileBoxRequest request_;
  QGridLayout* grid_;
  QLineEdit* path_;
  QLineEdit* file_;
};

}  // namespace kandrel
