// The main window's tree of the whole process hierarchy: modules hold their processes, other
// processes their outputs. It is rebuilt from the root every half second, reusing the nodes it
// has, so that an expanded branch or a selection survives the refresh.
#pragma once

#include <QTreeWidget>

namespace kandrel {

class Image;
class ProcModule;
class ProcVirtual;

class ProcessTree : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ProcessTree(QWidget* parent = nullptr);

  // The root whose hierarchy is shown; null empties the tree.
  void SetRoot(ProcModule* root);
  void Rebuild();

 private:
  static ProcVirtual* ProcessOf(const QTreeWidgetItem* item);
  static Image* ImageOf(const QTreeWidgetItem* item);
  void Fill(QTreeWidgetItem* node, ProcVirtual& p);
  // A node may stand for a process deleted since the last rebuild; only what is still in the
  // hierarchy is touched.
  ProcVirtual* LiveProcessOf(const QTreeWidgetItem* item) const;
  Image* LiveImageOf(const QTreeWidgetItem* item) const;
  void OnDoubleClicked(QTreeWidgetItem* item);
  void OnEdited(QTreeWidgetItem* item);
  void OnSelected();
  void ShowContextMenu(const QPoint& at);

  ProcModule* root_ = nullptr;
  bool rebuilding_ = false;
};

}  // namespace kandrel
