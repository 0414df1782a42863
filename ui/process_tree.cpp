#include "ui/process_tree.h"

#include <QMenu>

#include "image/image.h"
#include "process/proc_module.h"

namespace kandrel {

namespace {

enum Role { kProcessRole = Qt::UserRole, kImageRole };

// The node under parent at index, made when missing.
QTreeWidgetItem* NodeAt(QTreeWidgetItem* parent, int index) {
  if (index < parent->childCount()) return parent->child(index);
  auto* node = new QTreeWidgetItem(parent);
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  return node;
}

void TrimChildren(QTreeWidgetItem* node, int count) {
  while (node->childCount() > count) delete node->takeChild(node->childCount() - 1);
}

// The same text set again would signal a change and repaint for nothing, twice a second.
void SetTextIfChanged(QTreeWidgetItem* node, const QString& text) {
  if (node->text(0) != text) node->setText(0, text);
}

// Calls visit for every process of the hierarchy under p, p included, until it returns true.
template <class Visit>
bool AnyInHierarchy(ProcVirtual& p, const Visit& visit) {
  if (visit(p)) return true;
  if (auto* module = dynamic_cast<ProcModule*>(&p))
    for (int i = 0; i < module->ChildCount(); ++i)
      if (AnyInHierarchy(*module->Child(i), visit)) return true;
  return false;
}

}  // namespace

ProcessTree::ProcessTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OnDoubleClicked(item); });
  connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { OnEdited(item); });
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { OnSelected(); });
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowContextMenu(at); });
}

void ProcessTree::SetRoot(ProcModule* root) {
  root_ = root;
  if (root_ == nullptr) {
    rebuilding_ = true;
    clear();
    rebuilding_ = false;
  } else {
    Rebuild();
  }
}

ProcVirtual* ProcessTree::ProcessOf(const QTreeWidgetItem* item) {
  return item != nullptr ? static_cast<ProcVirtual*>(item->data(0, kProcessRole).value<void*>()) : nullptr;
}

Image* ProcessTree::ImageOf(const QTreeWidgetItem* item) {
  return item != nullptr ? static_cast<Image*>(item->data(0, kImageRole).value<void*>()) : nullptr;
}

ProcVirtual* ProcessTree::LiveProcessOf(const QTreeWidgetItem* item) const {
  ProcVirtual* wanted = ProcessOf(item);
  if (wanted == nullptr || root_ == nullptr) return nullptr;
  return AnyInHierarchy(*root_, [wanted](ProcVirtual& p) { return &p == wanted; }) ? wanted : nullptr;
}

Image* ProcessTree::LiveImageOf(const QTreeWidgetItem* item) const {
  Image* wanted = ImageOf(item);
  if (wanted == nullptr || root_ == nullptr) return nullptr;
  const auto holds = [wanted](ProcVirtual& p) {
    for (int k = 0; k < p.OutputCount(); ++k)
      if (p.GetOutput(k) == wanted) return true;
    return false;
  };
  return AnyInHierarchy(*root_, holds) ? wanted : nullptr;
}

void ProcessTree::Rebuild() {
  if (root_ == nullptr) return;
  rebuilding_ = true;
  if (topLevelItemCount() == 0) {
    auto* top = new QTreeWidgetItem(this);
    top->setFlags(top->flags() | Qt::ItemIsEditable);
  }
  Fill(topLevelItem(0), *root_);
  rebuilding_ = false;
}

void ProcessTree::Fill(QTreeWidgetItem* node, ProcVirtual& p) {
  node->setData(0, kProcessRole, QVariant::fromValue<void*>(&p));
  node->setData(0, kImageRole, QVariant::fromValue<void*>(nullptr));
  if (!isPersistentEditorOpen(node)) SetTextIfChanged(node, QString::fromStdString(p.Name()));
  if (auto* module = dynamic_cast<ProcModule*>(&p)) {
    for (int i = 0; i < module->ChildCount(); ++i) Fill(NodeAt(node, i), *module->Child(i));
    TrimChildren(node, module->ChildCount());
    return;
  }
  for (int k = 0; k < p.OutputCount(); ++k) {
    QTreeWidgetItem* output = NodeAt(node, k);
    Image* image = p.GetOutput(k);
    output->setData(0, kProcessRole, QVariant::fromValue<void*>(nullptr));
    output->setData(0, kImageRole, QVariant::fromValue<void*>(image));
    TrimChildren(output, 0);
    SetTextIfChanged(output, image != nullptr ? QString::fromStdString(image->WindowName())
                                                  : QStringLiteral("未作成"));
  }
  TrimChildren(node, p.OutputCount());
}

void ProcessTree::OnDoubleClicked(QTreeWidgetItem* item) {
  if (ProcVirtual* p = LiveProcessOf(item)) {
    p->ShowDialog();
    item->setExpanded(true);
  } else if (Image* image = LiveImageOf(item)) {
    image->ShowWindow();
  }
}

void ProcessTree::OnEdited(QTreeWidgetItem* item) {
  if (rebuilding_) return;
  if (ProcVirtual* p = LiveProcessOf(item)) {
    if (QString::fromStdString(p->Name()) != item->text(0)) p->SetName(item->text(0).toStdString());
  } else if (Image* image = LiveImageOf(item); image != nullptr && image->Window() != nullptr) {
    image->Window()->SetCaption(item->text(0).toStdString());
  }
}

void ProcessTree::OnSelected() {
  if (rebuilding_ || root_ == nullptr) return;
  if (ProcVirtual* p = ProcessOf(currentItem())) root_->SelectInEditor(p);
}

void ProcessTree::ShowContextMenu(const QPoint& at) {
  ProcVirtual* p = LiveProcessOf(itemAt(at));
  if (p == nullptr) return;
  QMenu menu;
  menu.addAction(QStringLiteral("リセット"), [p] { p->Reset(); });
  menu.addAction(QStringLiteral("ステップ実行"), [p] { p->Step(); });
  menu.exec(viewport()->mapToGlobal(at));
}

}  // namespace kandrel
