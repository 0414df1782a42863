#include "ui/frm_medit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "ui/number_drag.h"

namespace kandrel {

TFrmMEdit::TFrmMEdit(QWidget* parent) : QWidget(parent), edit_(new QLineEdit(QStringLiteral("1"))) {
  edit_->setAlignment(Qt::AlignCenter);
  edit_->setCursor(Qt::SizeHorCursor);
  drag_ = new NumberDrag(*edit_, [this](int pointerX) -> std::optional<int> {
    const int x = pointerX + 3;
    if (x < 0) return x;
    if (x > edit_->width()) return x - edit_->width();
    return 0;
  });

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(QStringLiteral("<")));
  layout->addWidget(edit_);
  layout->addWidget(new QLabel(QStringLiteral(">")));
}

double TFrmMEdit::Step() const { return drag_->Step(); }
void TFrmMEdit::SetStep(double step) { drag_->SetStep(step); }

}  // namespace kandrel
