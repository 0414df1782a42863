// The DCT dialog built by its process: what it shows, the presets, what "OK" stores, and what it
// refuses with which message.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QTableWidget>
#include <tuple>

#include "blocks/transform/dct8x8.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_dct8x8.h"

namespace kandrel::testing {
namespace {

using Dct8x8DialogTest = DialogTest;

QuantTable TableShown(QTableWidget& grid) {
  QuantTable table;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) table[r][c] = grid.item(r, c)->text().toInt();
  return table;
}

void Choose(QComboBox& presets, const QString& caption) {
  const int index = presets.findText(caption);
  ASSERT_GE(index, 0);
  presets.setCurrentIndex(index);
  emit presets.activated(index);
}

TEST_F(Dct8x8DialogTest, ShowsPresetsAndStoresTheWholeBlock) {
  ProcDCT8x8 dct(kDct8x8ProcessId);
  auto& form = DialogOf<TFormDCT8x8>(dct);
  EXPECT_EQ(form.windowTitle(), "DCT 8 x 8");
  QuantTable table = kMpegIntraQuantTable;
  table[0][7] = 0;  // shown as it is, refused when applied
  dct.params = {table, 5, 1};
  dct.ShowDialog();
  QLineEdit& scale = Labelled(form, "Qスケール（=倍率）");
  auto& grid = Labelled<QTableWidget>(form, "量子化テーブル");
  EXPECT_EQ(scale.text(), "5");
  EXPECT_EQ(TableShown(grid), table);  // row = y, column = x: the MPEG table is not symmetric
  EXPECT_TRUE(Button(form, "逆変換").isChecked());

  auto& presets = Named<QComboBox>(form, "preset");
  Choose(presets, "クリア");
  EXPECT_EQ(TableShown(grid), FilledQuantTable(1));
  EXPECT_EQ(scale.text(), "1");
  scale.setText("2");
  Choose(presets, "MPEG標準");
  EXPECT_EQ(TableShown(grid), kMpegIntraQuantTable);
  EXPECT_EQ(scale.text(), "1");

  grid.item(2, 3)->setText(" 40 ");
  Button(form, "正変換").click();
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  QuantTable expected = kMpegIntraQuantTable;
  expected[2][3] = 40;
  EXPECT_EQ(dct.params.quantTable, expected);
  EXPECT_EQ(dct.params.qScale, 1);
  EXPECT_EQ(dct.params.inverse, 0);

  dct.ShowDialog();  // shown and applied unchanged
  Button(form, "OK").click();
  EXPECT_EQ(dct.params.quantTable, expected);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(Dct8x8DialogTest, RefusesStepsOutsideTheInt32RangeAndTextsThatAreNoIntegers) {
  const std::string stepRefused = "量子化テーブル×Qスケールが 1～2147483647 を超えます。";
  const std::tuple<QString, QString, std::string> cases[] = {
      {"", "1", stepRefused},
      {"0", "1", stepRefused},
      {"16", "0", stepRefused},
      {"-3", "1", stepRefused},
      {"65536", "32768", stepRefused},
      {"1.5", "1", "'1.5' is not a valid integer value"},
      {"16", "x", "'x' is not a valid integer value"},
  };
  for (const auto& [cell, scale, message] : cases) {
    ProcDCT8x8 dct(kDct8x8ProcessId);
    auto& form = DialogOf<TFormDCT8x8>(dct);
    dct.ShowDialog();
    Labelled<QTableWidget>(form, "量子化テーブル").item(4, 6)->setText(cell);
    Labelled(form, "Qスケール（=倍率）").setText(scale);
    Button(form, "逆変換").click();
    Button(form, "OK").click();
    EXPECT_EQ(host.LastMessage(), message) << cell.toStdString() << " " << scale.toStdString();
    EXPECT_TRUE(form.IsVisible());
    const ProcDCT8x8::Params defaults;
    EXPECT_TRUE(dct.params.quantTable == defaults.quantTable && dct.params.qScale == 1 &&
                dct.params.inverse == 0);
  }
}

}  // namespace
}  // namespace kandrel::testing
