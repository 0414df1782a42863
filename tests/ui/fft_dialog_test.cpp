// The Fourier transform's dialog: what a showing puts in the controls, what "OK" stores, and the
// prime-factor box that cannot be cleared.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>

#include "blocks/transform/fft.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_fft.h"

namespace kandrel::testing {
namespace {

using FftDialogTest = DialogTest;

TEST_F(FftDialogTest, TheDirectionAndTheCentredOriginGoBothWaysAndThePrimeFactorBoxStaysChecked) {
  ProcFFT fft(kFftProcessId);
  auto& form = DialogOf<TFormFFT>(fft);
  EXPECT_EQ(form.windowTitle().toStdString().find("FFT"), 0u);
  fft.params = {1, 5};  // a stored positive flag shows checked
  fft.ShowDialog();
  EXPECT_TRUE(Button(form, "逆変換").isChecked());
  QAbstractButton& centred = Button(form, "DC成分（原点）を画像の中央に");
  EXPECT_TRUE(centred.isChecked());
  QAbstractButton& primeFactor = Button(form, "サイズがN^2でない時はPrime Factor");
  primeFactor.click();
  EXPECT_TRUE(primeFactor.isChecked());
  Button(form, "正変換").click();
  centred.click();
  Button(form, "OK").click();
  EXPECT_EQ(fft.params.inverse, 0);
  EXPECT_EQ(fft.params.centerOrigin, 0);
  fft.params.centerOrigin = -1;  // not positive: shown unchecked, stored back as 0
  fft.ShowDialog();
  EXPECT_FALSE(centred.isChecked());
  Button(form, "逆変換").click();
  Button(form, "OK").click();
  EXPECT_EQ(fft.params.inverse, 1);
  EXPECT_EQ(fft.params.centerOrigin, 0);
}

}  // namespace
}  // namespace kandrel::testing
