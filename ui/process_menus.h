// The main window's menus of process kinds: every item's tag is a process ID, and choosing it
// inserts a new process of that kind. Kinds that are not in the catalogue get no item, and a
// submenu left without items is not shown.
#pragma once

#include <functional>

class QMenu;
class QMenuBar;

namespace kandrel {

struct ProcessMenus {
  QMenu* image = nullptr;     // "イメージ"
  QMenu* filter = nullptr;    // "フィルタ"
  QMenu* analysis = nullptr;  // "解析"
  QMenu* plugIn = nullptr;    // "PlugIn", inside "フィルタ"
};

// Adds the process items of the "ファイル" menu (reading, saving, "外部入力").
void AddFileProcessItems(QMenu& file, const std::function<void(int tag)>& insert);
// Adds "イメージ", "フィルタ" and "解析" to the bar.
ProcessMenus AddProcessMenus(QMenuBar& bar, const std::function<void(int tag)>& insert);

}  // namespace kandrel
