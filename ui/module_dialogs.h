// The modal dialogs of the module editor: the confirmation before a process is deleted, the new
// name of a module, and the number and declared types of a module's ports. All of them run
// through RunModal, which tests replace to answer without an event loop.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "process/proc_virtual.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kandrel {

class ProcModule;

// Runs dialog modally and returns its result code.
int RunModal(QDialog& dialog);
// Replaces the way RunModal runs dialogs; an empty runner restores exec().
void SetModalRunner(std::function<int(QDialog&)> runner);

// "削除": asks whether the named process is to be deleted.
class TFormQueryDelProc : public QDialog {
  Q_OBJECT

 public:
  explicit TFormQueryDelProc(const std::string& processName, QWidget* parent = nullptr);
  QString ProcessName() const;
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLineEdit* name_;
  QPushButton* delete_;
  QPushButton* cancel_;
};

// "プロセス名の変更": the new name, preset with the current one.
class TFormChangeName : public QDialog {
  Q_OBJECT

 public:
  explicit TFormChangeName(const std::string& currentName, QWidget* parent = nullptr);
  QLineEdit* NameEdit() const { return name_; }
  std::string Name() const;
  QPushButton* OkButton() const { return ok_; }

 private:
  QLineEdit* name_;
  QPushButton* ok_;
};

// "入出力端子": the port counts and the declared type of each port of a module.
class TFormInOutCount : public QDialog {
  Q_OBJECT

 public:
  explicit TFormInOutCount(ProcModule& module, QWidget* parent = nullptr);

  QComboBox* InputCount() const { return inputSide_.count; }
  QComboBox* OutputCount() const { return outputSide_.count; }
  QComboBox* InputType(int port) const { return inputSide_.types[port]; }
  QComboBox* OutputType(int port) const { return outputSide_.types[port]; }
  QPushButton* OkButton() const { return ok_; }

  // Gives the module the chosen counts (it may refuse either) and declares the types of the
  // ports then in force.
  void Apply();

 private:
  struct Side {
    QComboBox* count = nullptr;
    std::array<QComboBox*, kMaxPorts> types{};
  };
  QWidget* BuildSide(Side& side, const QString& title, ProcVirtual& port, int count);
  static void EnableTypes(const Side& side);
  static void DeclareTypes(const Side& side, ProcVirtual& port, int count);

  ProcModule& module_;
  Side inputSide_;
  Side outputSide_;
  QPushButton* ok_;
};

}  // namespace kandrel
