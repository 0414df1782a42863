// The dialogs of Move, Expand and Julia (the fields both ways, the matrix that follows the typed
// fields, the track ranges, a field that is no number) and of the tiling and motion search.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QTableWidget>

#include "blocks/geometry/xy_transform.h"
#include "blocks/motion/motion_search.h"
#include "blocks/motion/movable_tiling.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_motion_search.h"
#include "ui/form_movable_tiling.h"
#include "ui/form_xy_transform.h"
#include "ui/frm_track_edit.h"

namespace kandrel::testing {
namespace {

using GeometryDialogTest = DialogTest;

QString Cell(QWidget& form, int row, int column) {
  return Labelled<QTableWidget>(form, "変換行列").item(row, column)->text();
}

TEST_F(GeometryDialogTest, MoveAndExpandShowTheirMatrixAndStoreTheFields) {
  ProcMove move(kMoveProcessId);
  auto& form = DialogOf<TFormMove>(move);
  move.params = {3, -2, 90, 1, 0};
  move.ShowDialog();
  EXPECT_EQ(Labelled(form, "回転").text(), "90");
  EXPECT_TRUE(Button(form, "画像の中央を原点に").isChecked());
  EXPECT_EQ(Labelled<QComboBox>(form, "Interpolation").currentText(), "Nearest Neighbor");
  EXPECT_EQ(Cell(form, 0, 0), " 0.000");
  EXPECT_EQ(Cell(form, 0, 1), " 1.000");
  EXPECT_EQ(Cell(form, 1, 0), "-1.000");
  EXPECT_EQ(Cell(form, 2, 0), "3");
  Labelled(form, "回転").setText("30");
  Labelled(form, "水平移動").setText("1.50");
  EXPECT_EQ(Cell(form, 0, 0), " 0.866");
  EXPECT_EQ(Cell(form, 2, 0), "1.50");  // as typed
  Labelled(form, "垂直移動").setText("x");
  Button(form, "OK").click();
  EXPECT_TRUE(form.IsVisible());
  EXPECT_EQ(move.params.angle, 90);
  Labelled(form, "垂直移動").setText("4");
  Button(form, "画像の中央を原点に").click();
  Button(form, "OK").click();
  EXPECT_EQ(move.params.shiftX, 1.5);
  EXPECT_EQ(move.params.shiftY, 4);
  EXPECT_EQ(move.params.angle, 30);
  EXPECT_EQ(move.params.centerOrigin, 0);

  ProcExpand expand(kExpandProcessId);
  auto& expandForm = DialogOf<TFormExpand>(expand);
  expand.ShowDialog();
  Labelled(expandForm, "水平拡大率").setText("2.5");
  EXPECT_EQ(Cell(expandForm, 0, 0), "2.5");
  EXPECT_EQ(Cell(expandForm, 1, 1), "1");
  Button(expandForm, "OK").click();
  EXPECT_EQ(expand.params.scaleX, 2.5);
  EXPECT_EQ(expand.params.centerOrigin, 1);
}

TEST_F(GeometryDialogTest, JuliaTakesAOnTwoTracks) {
  ProcJulia julia(kJuliaProcessId);
  auto& form = DialogOf<TFormJulia>(julia);
  julia.params = {-0.8, 0.15};
  julia.ShowDialog();
  QLineEdit& real = Labelled(form, "Aの実数部");
  EXPECT_EQ(real.text(), "-0.8");
  const auto tracks = form.findChildren<QSlider*>();
  ASSERT_EQ(tracks.size(), 2);
  EXPECT_EQ(tracks[0]->minimum(), -30);
  EXPECT_EQ(tracks[0]->maximum(), 10);
  EXPECT_EQ(tracks[1]->minimum(), -20);
  EXPECT_EQ(tracks[1]->maximum(), 20);
  real.setText("0.25");
  Labelled(form, "Aの虚数部").setText("-1");
  Button(form, "OK").click();
  EXPECT_EQ(julia.params.aReal, 0.25);
  EXPECT_EQ(julia.params.aImag, -1);
}

TEST_F(GeometryDialogTest, TheTilingBlockSizeMustBePositive) {
  ProcMovableTiling tiling(kMovableTilingProcessId);
  auto& form = DialogOf<TFormMovableTiling>(tiling);
  tiling.ShowDialog();
  QLineEdit& size = Labelled(form, "ブロックサイズ ");
  EXPECT_EQ(size.text(), "8");
  for (const char* refused : {"0", "-3", "x"}) {
    size.setText(refused);
    Button(form, "OK").click();
    EXPECT_TRUE(form.IsVisible());
    EXPECT_EQ(tiling.params.blockSize, 8);
  }
  EXPECT_EQ(host.Messages().end()[-2], "1より大きな値を入力して下さい。");
  size.setText("1");
  Button(form, "OK").click();
  EXPECT_EQ(tiling.params.blockSize, 1);
}

TEST_F(GeometryDialogTest, TheMotionSearchBlockSizeIsAlsoItsStep) {
  ProcMotionSearch search(kMotionSearchProcessId);
  auto& form = DialogOf<TFormMotionSearch>(search);
  search.params = {4, 6, 12, 0};
  search.ShowDialog();
  EXPECT_EQ(Labelled(form, "ブロックサイズ ：").text(), "6");
  EXPECT_EQ(Labelled(form, "最大探索距離 ：").text(), "12");
  EXPECT_EQ(Labelled<QComboBox>(form, "アルゴリズム ：").currentText(), "ノーマル全探索");
  Labelled(form, "最大探索距離 ：").setText("-1");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "1より大きな値を入力して下さい。");
  EXPECT_EQ(search.params.searchRange, 12);
  Labelled(form, "最大探索距離 ：").setText("0");
  Button(form, "OK").click();
  EXPECT_EQ(search.params.blockStep, 6);
  EXPECT_EQ(search.params.blockSize, 6);
  EXPECT_EQ(search.params.searchRange, 0);
}

}  // namespace
}  // namespace kandrel::testing
