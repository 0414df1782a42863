// Small pieces shared by the parameter dialogs: labels that name their controls (so that a click
// on one, or its mnemonic, goes to the control), radio groups whose button ids are the item
// indices, and the "画像" panel with the width and height edits of the dialogs that set an image
// size.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace kandrel {

// A label for control, not yet placed.
QLabel* NewBuddyLabel(const QString& caption, QWidget& control);
// The caption in column 0, the control in column 1 and the unit, if any, in column 2.
void AddLabelledRow(QGridLayout& grid, int row, const QString& caption, QWidget& control,
                    const QString& unit = {});
// A box of radio buttons, one per item, joined in group with id = index; the first is checked.
QGroupBox* NewRadioGroup(const QString& title, const QStringList& items, QButtonGroup& group);

class ImageSizePanel : public QGroupBox {
  Q_OBJECT

 public:
  ImageSizePanel();

  void Show(int width, int height);
  // The edits' integers; a text that is none throws the platform's conversion error.
  int ReadWidth() const;
  int ReadHeight() const;

 private:
  QLineEdit* width_;
  QLineEdit* height_;
};

}  // namespace kandrel
