// The dialogs of the convolution and of the custom 5 × 5 filter as real widgets: what a showing
// puts in the controls, what "OK" stores and what it refuses, the presets and the button that
// sets the scale from the coefficients.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>

#include "blocks/filter/convolution.h"
#include "process/param_record.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_convolution.h"
#include "ui/form_custom_filter5x5.h"

namespace kandrel::testing {
namespace {

using FilterDialogTest = DialogTest;

TEST_F(FilterDialogTest, ConvolutionShowsAndStoresItsFourFields) {
  ProcConvolution conv(kConvolutionProcessId);
  auto& form = DialogOf<TFormConvolution>(conv);
  EXPECT_EQ(form.windowTitle(), "Convolution");
  auto* formula = form.findChild<QLabel*>();
  auto* options = form.findChild<QGroupBox*>();
  ASSERT_TRUE(formula != nullptr && options != nullptr);
  EXPECT_EQ(formula->text(), "C(x,y) = ∑\u3000A(x-u, y-v) ・B(u,v)");
  EXPECT_EQ(options->title(), "入力B のオプション");
  auto& flip = Button(*options, "180°反転する。（≒パターンマッチング）");
  auto& normalize = Button(*options, "振幅を正規化");
  auto* norm = options->findChild<QComboBox*>();
  ASSERT_NE(norm, nullptr);
  EXPECT_EQ(norm->itemText(0) + norm->itemText(1), "L1ノルム（絶対値和）L2ノルム（√二乗和）");
  auto& centered = Button(form, "画像の中心を原点とする。");
  const auto fields = [&] {
    const ProcConvolution::Params& p = conv.params;
    return std::vector<int>{p.flipKernel, p.normalize, p.centered, p.normKind};
  };

  conv.params = {5, 0, -1, 9};  // stored flags nonzero are set; any norm but 0 is L2
  conv.ShowDialog();
  EXPECT_TRUE(flip.isChecked() && !normalize.isChecked() && centered.isChecked());
  EXPECT_EQ(norm->currentIndex(), 1);
  Button(form, "OK").click();
  EXPECT_EQ(fields(), (std::vector<int>{1, 0, 1, 1}));
  conv.ShowDialog();
  flip.click();
  normalize.click();
  centered.click();
  norm->setCurrentIndex(0);
  Button(form, "OK").click();
  EXPECT_EQ(fields(), (std::vector<int>{0, 1, 0, 0}));
}

TEST_F(FilterDialogTest, CustomFilterGridPresetsScaleRuleAndRefusals) {
  ProcCustomFilter5x5 filter(kCustomFilter5x5ProcessId);
  auto& form = DialogOf<TFormCustomFilter5x5>(filter);
  EXPECT_EQ(form.windowTitle(), "CustomFilter5x5");
  auto* grid = form.findChild<QTableWidget*>();
  auto* preset = form.findChild<QComboBox*>();
  ASSERT_TRUE(grid != nullptr && preset != nullptr);
  QLineEdit& scale = Named<QLineEdit>(form, "scale");
  QAbstractButton& normalize = Button(form, "スケール（分母）を正規化 >>");
  const auto cells = [&] {
    QStringList texts;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) texts << grid->item(y, x)->text();
    return texts.join(",");
  };

  filter.params.coef[0][0] = 0;
  filter.params.coef[1][3] = -0.5;  // row y = 1, column x = 3
  filter.ShowDialog();
  EXPECT_EQ(scale.text(), "25");
  EXPECT_EQ(cells(), "0,1,1,1,1,1,1,1,-0.5,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1");
  EXPECT_EQ(preset->currentText(), "クリア");

  // The presets fill the grid, zeros as empty cells, and the scale.
  const QString ring = ",,,,,,1,1,1,,,1,1,1,,,1,1,1,,,,,,";
  for (auto [index, expected, denominator] :
       {std::tuple(0, QString(",,,,,,,,,,,,1,,,,,,,,,,,,"), "1"), std::tuple(1, ring, "9"),
        std::tuple(2, QString("1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1"), "25")}) {
    emit preset->activated(index);
    EXPECT_EQ(cells(), expected);
    EXPECT_EQ(scale.text(), denominator);
  }

  // The scale: the sum if nonzero, else √(sum of squares) if positive, else unchanged.
  for (auto [a, b, expected] :
       {std::tuple("2", "1.5", "3.5"), std::tuple("0.5", "-0.5", "0.707106781186548"),
        std::tuple("", "", "5")}) {
    emit preset->activated(0);
    grid->item(2, 2)->setText("");
    grid->item(0, 0)->setText(a);
    grid->item(4, 1)->setText(b);
    if (std::string(a).empty()) scale.setText("5");
    normalize.click();
    EXPECT_EQ(scale.text(), expected) << a << " " << b;
  }
  grid->item(3, 3)->setText("x");
  normalize.click();
  EXPECT_EQ(host.LastMessage(), "'x' is not a valid floating point value");
  EXPECT_EQ(scale.text(), "5");

  // "OK": a cell that is no number or a scale of 0 refuses and stores nothing.
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'x' is not a valid floating point value");
  grid->item(3, 3)->setText(" ");
  scale.setText("0");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "スケール（分母）に 0 は指定できません。");
  EXPECT_TRUE(form.IsVisible());
  EXPECT_TRUE(filter.params.scale == 25 && filter.params.coef[1][3] == -0.5);
  grid->item(1, 2)->setText("-3e2");
  scale.setText("4");
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  ProcCustomFilter5x5::Params stored;
  for (auto& row : stored.coef) row.fill(0);
  stored.coef[1][2] = -300;
  stored.scale = 4;
  EXPECT_EQ(EncodeRecord(filter.params), EncodeRecord(stored));
}

}  // namespace
}  // namespace kandrel::testing
