#include "ui/form_fields.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/number_text.h"

namespace kandrel {

QLabel* NewBuddyLabel(const QString& caption, QWidget& control) {
  auto* label = new QLabel(caption);
  label->setBuddy(&control);
  return label;
}

void AddLabelledRow(QGridLayout& grid, int row, const QString& caption, QWidget& control,
                    const QString& unit) {
  grid.addWidget(NewBuddyLabel(caption, control), row, 0);
  grid.addWidget(&control, row, 1);
  if (!unit.isEmpty()) grid.addWidget(new QLabel(unit), row, 2);
}

QGroupBox* NewRadioGroup(const QString& title, const QStringList& items, QButtonGroup& group) {
  auto* box = new QGroupBox(title);
  auto* column = new QVBoxLayout(box);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i]);
    group.addButton(button, i);
    column->addWidget(button);
  }
  group.button(0)->setChecked(true);
  return box;
}

ImageSizePanel::ImageSizePanel()
    : QGroupBox(QStringLiteral("画像")),
      width_(new QLineEdit(QStringLiteral("640"))),
      height_(new QLineEdit(QStringLiteral("480"))) {
  auto* grid = new QGridLayout(this);
  AddLabelledRow(*grid, 0, QStringLiteral("Width"), *width_);
  AddLabelledRow(*grid, 1, QStringLiteral("Height"), *height_);
}

void ImageSizePanel::Show(int width, int height) {
  width_->setText(QString::number(width));
  height_->setText(QString::number(height));
}

int ImageSizePanel::ReadWidth() const { return StrToInt(width_->text()); }
int ImageSizePanel::ReadHeight() const { return StrToInt(height_->text()); }

}  // namespace kandrel
