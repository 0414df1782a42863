// TFormDump: the "Pixel values" tool window shared by all image windows. It shows a grid of the
// sample values around a point of the image of the last activated or refreshed window, each cell
// painted in the colour of its pixel on the display, and writes the view rectangle's values as a
// text file.
#pragma once

#include <QWidget>
#include <array>
#include <string>

class QCheckBox;
class QComboBox;

namespace kandrel {

class ImageDisplay;
class DumpGrid;

// The dump and histogram tool windows stay on top, start at the top right of the work area and,
// when shown, go right of the main window at its top (anchor null: where they are).
void MakeToolWindow(QWidget& tool, const QString& title);
void ShowToolWindowBeside(QWidget& tool, const QWidget* anchor);

class TFormDump : public QWidget {
  Q_OBJECT

 public:
  explicit TFormDump(QWidget* parent = nullptr);

  // The image and picture to show (null: none). The display belongs to its image window, which
  // gives the dump no image before it goes.
  void SetImage(ImageDisplay* display);
  ImageDisplay* ShownDisplay() const { return display_; }

  // Scrolls the grid so that image pixel (x, y) is in the middle.
  void CentreOn(int x, int y);
  int FirstColumn() const { return firstColumn_; }
  int FirstRow() const { return firstRow_; }
  void SetFirstCell(int column, int row);
  // Header and spare cell included.
  int ColumnCount() const;
  int RowCount() const;

  // The three value texts of an image pixel as the cells show them.
  std::array<std::string, 3> CellTexts(int x, int y) const;
  // The format box entry in use, for the current sample type.
  int Format() const;
  std::array<bool, 3> ChannelsShown() const;

  // "Save text file...": asks for a name and writes the view rectangle's values.
  void SaveTextFile();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QComboBox* FormatBox() const;

  ImageDisplay* display_ = nullptr;
  int firstColumn_ = 1;
  int firstRow_ = 1;
  std::array<QCheckBox*, 3> channelBoxes_;
  // One format box per sample kind: int, float, complex.
  std::array<QComboBox*, 3> formatBoxes_;
  DumpGrid* grid_;
};

}  // namespace kandrel
