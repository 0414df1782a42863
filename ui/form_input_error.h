// TFormInputError: the "入力エラー" window shared by all processes, in which the framework lists a
// process's unusable inputs and the inputs it accepts. The host fills it and shows it modally.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace kandrel {

class TFormInputError : public QDialog {
  Q_OBJECT

 public:
  explicit TFormInputError(QWidget* parent = nullptr);

  // Replaces the text with the lines.
  void SetLines(const std::vector<std::string>& lines);

 private:
  QPlainTextEdit* text_;
};

}  // namespace kandrel
