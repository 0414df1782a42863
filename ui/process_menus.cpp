#include "ui/process_menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <initializer_list>

#include "process/catalogue.h"

namespace kandrel {

namespace {

using Insert = std::function<void(int tag)>;

// Adds one item per catalogued kind; returns how many were added.
int AddKinds(QMenu& menu, std::initializer_list<int> tags, const Insert& insert, bool hidden = false) {
  int added = 0;
  for (int tag : tags) {
    const ProcessKind* kind = Catalogue::Instance().Find(tag);
    if (kind == nullptr || kind->menuCaption.empty()) continue;
    QAction* action = menu.addAction(QString::fromStdString(kind->menuCaption), [insert, tag] { insert(tag); });
    action->setData(tag);
    if (hidden || kind->hiddenInMenu) {
      action->setVisible(false);
      action->setEnabled(false);
    }
    ++added;
  }
  return added;
}

QMenu& Submenu(QMenu& parent, const char* title, std::initializer_list<int> tags, const Insert& insert,
               bool hidden = false) {
  QMenu* menu = parent.addMenu(QString::fromUtf8(title));
  const int added = AddKinds(*menu, tags, insert, hidden);
  if (added == 0 || hidden) menu->menuAction()->setVisible(false);
  if (hidden) menu->menuAction()->setEnabled(false);
  return *menu;
}

// Hides a submenu whose entries all ended up hidden.
void HideIfEmpty(QMenu& menu) {
  for (QAction* action : menu.actions())
    if (action->isVisible() && !action->isSeparator()) return;
  menu.menuAction()->setVisible(false);
}

}  // namespace

void AddFileProcessItems(QMenu& file, const Insert& insert) {
  AddKinds(file, {10001, 10004, 10002, 10080}, insert);
  Submenu(file, "外部入力", {10013, 10019, 10070}, insert);
}

ProcessMenus AddProcessMenus(QMenuBar& bar, const Insert& insert) {
  ProcessMenus menus;
  menus.image = bar.addMenu(QStringLiteral("イメージ"));
  QMenu* mode = menus.image->addMenu(QStringLiteral("モード"));
  AddKinds(*mode, {10015}, insert);
  Submenu(*mode, "RGB から...", {10017, 10051, 10053, 10055}, insert);
  Submenu(*mode, "RGB へ戻す...", {10018, 10052, 10054, 10056}, insert);
  AddKinds(*mode, {10007, 10008, 10009}, insert);
  Submenu(*mode, "Complexから...", {10034, 10036, 10038}, insert);
  AddKinds(*mode, {10031, 10024}, insert);
  HideIfEmpty(*mode);
  Submenu(*menus.image, "色調補正", {10021, 10010, 10042}, insert);
  Submenu(*menus.image, "演算", {10022, 10041, 10040, 10043, 10047, 10023}, insert);
  AddKinds(*menus.image, {10011, 10030}, insert);

  menus.filter = bar.addMenu(QStringLiteral("フィルタ"));
  AddKinds(*menus.filter, {10071, 10014, 10072, 10006, 10073, 10025, 10026, 10044, 10020}, insert);
  Submenu(*menus.filter, "変形", {10046, 10045, 10039}, insert);
  Submenu(*menus.filter, "プロセス制御", {10005, 10029}, insert);
  menus.plugIn = menus.filter->addMenu(QStringLiteral("PlugIn"));
  Submenu(*menus.filter, "レッスン", {10061, 10062, 10063}, insert, true);

  menus.analysis = bar.addMenu(QStringLiteral("解析"));
  AddKinds(*menus.analysis, {10050, 10016, 10027, 10048}, insert);
  AddKinds(*menus.analysis, {20001}, insert, true);
  return menus;
}

}  // namespace kandrel
