// The dialogs of the subband and wavelet kinds, built by their processes: what each shows, what
// "OK" stores, that "キャンセル" goes back to the showing, and stored values no dialog produces.
#include <gtest/gtest.h>

#include <QComboBox>

#include "blocks/transform/subband.h"
#include "process/catalogue.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_subband.h"
#include "ui/form_wavelet.h"

namespace kandrel::testing {
namespace {

using SubbandDialogTest = DialogTest;

TEST_F(SubbandDialogTest, BothSubbandKindsShareTheDirectionDialog) {
  for (int id : {kSubbandDivProcessId, kSubbandSynthProcessId}) {
    std::unique_ptr<ProcVirtual> process = CreateById(id);
    auto& subband = dynamic_cast<ProcSubband&>(*process);
    auto& form = DialogOf<TFormSubband>(subband);
    EXPECT_EQ(form.windowTitle(), "Subband division / synthesis");
    subband.params.direction = kSubbandVertical;
    subband.ShowDialog();
    auto& filter = Labelled<QComboBox>(form, "フィルタタイプ　：");
    EXPECT_EQ(filter.count(), 1);
    EXPECT_EQ(filter.currentText(), "QMF 16 tap");
    EXPECT_TRUE(Button(form, "垂直").isChecked());

    Button(form, "水平").click();
    Button(form, "OK").click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(subband.params.direction, kSubbandHorizontal);

    // A stored direction no dialog gives leaves the buttons; cancelling restores it.
    subband.params.direction = 5;
    subband.ShowDialog();
    EXPECT_TRUE(Button(form, "水平").isChecked());
    Button(form, "垂直").click();
    Button(form, "キャンセル").click();
    EXPECT_EQ(subband.params.direction, 5);
  }
}

TEST_F(SubbandDialogTest, WaveletChoosesTheDirectionAndUpToTenLevels) {
  std::unique_ptr<ProcVirtual> process = CreateById(kWaveletProcessId);
  auto& wavelet = dynamic_cast<ProcWavelet&>(*process);
  auto& form = DialogOf<TFormWavelet>(wavelet);
  EXPECT_EQ(form.windowTitle(), "Subband division / synthesis");
  wavelet.params = {1, 3};
  wavelet.ShowDialog();
  auto& levels = Labelled<QComboBox>(form, "最大段数");
  ASSERT_EQ(levels.count(), 10);
  EXPECT_EQ((QStringList{levels.itemText(0), levels.itemText(9)}), (QStringList{"1", "10"}));
  EXPECT_EQ(levels.currentText(), "3");
  EXPECT_TRUE(Button(form, "逆変換").isChecked());

  Button(form, "正変換").click();
  levels.setCurrentIndex(9);
  Button(form, "OK").click();
  EXPECT_EQ(std::pair(wavelet.params.inverse, wavelet.params.levels), std::pair(0, 10));

  wavelet.params = {2, 0};
  wavelet.ShowDialog();
  EXPECT_TRUE(Button(form, "正変換").isChecked());
  EXPECT_EQ(levels.currentText(), "10");
  levels.setCurrentIndex(0);
  Button(form, "キャンセル").click();
  EXPECT_EQ(std::pair(wavelet.params.inverse, wavelet.params.levels), std::pair(2, 0));
}

}  // namespace
}  // namespace kandrel::testing
