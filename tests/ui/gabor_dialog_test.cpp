// The Gabor generator's dialog: the fields both ways, the precision group that only a real or
// imaginary part uses, and the size and period refusals that leave the process untouched.
#include <gtest/gtest.h>

#include <QGroupBox>

#include "blocks/filter/gabor.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_gabor_filter.h"

namespace kandrel::testing {
namespace {

using GaborDialogTest = DialogTest;

QGroupBox& Box(QWidget& dialog, const QString& title) {
  for (QGroupBox* box : dialog.findChildren<QGroupBox*>())
    if (box->title() == title) return *box;
  throw std::logic_error("no box " + title.toStdString());
}

TEST_F(GaborDialogTest, FieldsGoBothWaysAndOnlyAValidRecordReachesTheProcess) {
  ProcGaborFilter gabor(kGaborFilterProcessId);
  auto& form = DialogOf<TFormGaborFilter>(gabor);
  gabor.params = {9, 11, 12.5, 2.0, 4.0, 100.0, ProcGaborFilter::kComplex, 1};
  gabor.ShowDialog();
  EXPECT_EQ(Labelled(form, "Width").text(), "9");
  EXPECT_EQ(Labelled(form, "方向θ").text(), "12.5");
  EXPECT_EQ(Labelled(form, "振幅 K").text(), "100");
  EXPECT_TRUE(Button(form, "複素数").isChecked());
  EXPECT_FALSE(Box(form, "精度").isEnabled());
  Button(form, "画像の中心を原点に").click();
  EXPECT_TRUE(Button(form, "画像の中心を原点に").isChecked());
  Button(form, "虚数部のみ").click();
  EXPECT_TRUE(Box(form, "精度").isEnabled());

  const ProcGaborFilter::Params before = gabor.params;
  const std::pair<const char*, const char*> refusals[] = {
      {"Width", "1"}, {"Height", "32"}, {"周期 T", "0.5"}};
  for (const auto& [field, text] : refusals) {
    const QString kept = Labelled(form, field).text();
    Labelled(form, field).setText(text);
    Button(form, "OK").click();
    EXPECT_EQ(host.LastMessage(), field == std::string("周期 T") ? "周期は1.0以上の値を入力して下さい。"
                                                                 : "サイズは2～31 の値を入力して下さい。");
    EXPECT_TRUE(form.IsVisible());
    EXPECT_EQ(gabor.params.kernelWidth, before.kernelWidth);
    EXPECT_EQ(gabor.params.period, before.period);
    Labelled(form, field).setText(kept);
  }
  Labelled(form, "分散σ").setText("x");
  Button(form, "OK").click();
  EXPECT_TRUE(form.IsVisible());
  EXPECT_EQ(gabor.params.sigma, 2.0);
  Labelled(form, "分散σ").setText("1.5");
  Button(form, "int").click();
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(gabor.params.sigma, 1.5);
  EXPECT_EQ(gabor.params.outputKind, ProcGaborFilter::kImaginaryPart);
  EXPECT_EQ(gabor.params.intOutput, 1);
}

}  // namespace
}  // namespace kandrel::testing
