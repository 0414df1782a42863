// The parameter dialogs of the frame-control, tone, pattern and lesson kinds, built by their
// processes: what each shows, the inputs each refuses and with which message, what "OK" stores,
// that "キャンセル" goes back to the showing, and the tone curves at characteristic pixels.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPalette>
#include <QTabWidget>
#include <tuple>
#include <utility>
#include <vector>

#include "blocks/pixel/frame_control.h"
#include "blocks/pixel/lessons.h"
#include "blocks/pixel/pattern.h"
#include "blocks/pixel/tone.h"
#include "process/catalogue.h"
#include "process/proc_module.h"
#include "tests/support/test_kinds.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_contrast.h"
#include "ui/form_curve_picture.h"
#include "ui/form_frame_buffer.h"
#include "ui/form_gamma_correction.h"
#include "ui/form_lesson2.h"
#include "ui/form_period_switch.h"
#include "ui/form_sine_wave.h"
#include "ui/frm_medit.h"

namespace kandrel::testing {
namespace {

// Texts typed into labelled edits, in order.
using Typing = std::vector<std::pair<QString, QString>>;

struct Refusal {
  Typing typing;
  std::string message;
};

void Type(QWidget& form, const Typing& typing) {
  for (const auto& [caption, text] : typing) Labelled(form, caption).setText(text);
}

QStringList TextsOf(QWidget& form, const QStringList& captions) {
  QStringList texts;
  for (const QString& caption : captions) texts << Labelled(form, caption).text();
  return texts;
}

const QImage& CurveOf(QWidget& form) {
  auto* curve = form.findChild<CurvePicture*>();
  if (curve == nullptr) throw std::logic_error("no curve picture");
  return curve->Picture();
}

bool IsBlack(const QImage& picture, int x, int y) { return picture.pixel(x, y) == qRgb(0, 0, 0); }

int BlackPixels(const QImage& picture) {
  int count = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) count += IsBlack(picture, x, y) ? 1 : 0;
  return count;
}

double StepOf(QLineEdit& edit) { return dynamic_cast<TFrmMEdit&>(*edit.parentWidget()).Step(); }

std::vector<std::uint8_t> SavedParams(ProcVirtual& process) {
  MemoryStream stream;
  process.SaveParams(stream);
  return stream.Bytes();
}

class ToneFrameDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override { SetHost(nullptr); }

  template <class P>
  std::unique_ptr<P> Create(int processId) {
    std::unique_ptr<ProcVirtual> process = CreateById(processId);
    EXPECT_NE(dynamic_cast<P*>(process.get()), nullptr);
    return std::unique_ptr<P>(dynamic_cast<P*>(process.release()));
  }

  // A source run once, whose image has the white level.
  std::unique_ptr<TestSource> Source(double whiteLevel) {
    auto source = std::make_unique<TestSource>(kTestSourceId);
    EXPECT_EQ(source->Step(), 0);
    source->GetOutput(0)->whiteLevel = whiteLevel;
    return source;
  }

  // Each refusal from a fresh showing: its message, the dialog still open, no parameter changed.
  void ExpectRefusals(ProcVirtual& process, QWidget& form, const std::vector<Refusal>& refusals) {
    for (const Refusal& refusal : refusals) {
      const std::string row = refusal.typing.front().second.toStdString();
      process.ShowDialog();
      const std::vector<std::uint8_t> before = SavedParams(process);  // placed by the showing
      Type(form, refusal.typing);
      Button(form, "OK").click();
      EXPECT_EQ(host.LastMessage(), refusal.message) << row;
      EXPECT_TRUE(form.isVisible()) << row;
      EXPECT_EQ(SavedParams(process), before) << row;
      Button(form, "キャンセル").click();
    }
  }

  DialogHost host;
};

TEST_F(ToneFrameDialogTest, FrameBufferStoresTheWholeBlockOnlyWithinTheSizeLimits) {
  auto buffer = Create<ProcFrameBuffer>(kFrameBufferProcessId);
  auto& form = DialogOf<TFormFrameBuffer>(*buffer);
  EXPECT_EQ(form.windowTitle(), "フレームバッファ");
  buffer->params = {kTypeFloat1, 320, 200, 7.5};
  buffer->ShowDialog();
  auto& type = Labelled<QComboBox>(form, "型");
  EXPECT_EQ((QStringList{type.currentText(), type.itemText(5)}),
            (QStringList{"Double", "Complex 3ch"}));
  EXPECT_EQ(Labelled(form, "Height").text(), "200");
  Button(form, "キャンセル").click();

  const std::string tooLarge = "サイズが 1～2048 を超えます。";
  ExpectRefusals(*buffer, form,
                 {{{{"Width", "0"}}, tooLarge},
                  {{{"Width", "2049"}}, tooLarge},
                  {{{"Height", "-1"}}, tooLarge},
                  {{{"Width", "1.5"}}, "'1.5' is not a valid integer value"}});

  buffer->ShowDialog();
  type.setCurrentIndex(5);
  Type(form, {{"Width", "1"}, {"Height", "2048"}});
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  const ProcFrameBuffer::Params& p = buffer->params;
  EXPECT_EQ(std::tuple(p.bufferType, p.bufferWidth, p.bufferHeight, p.initialValue),
            std::tuple(kTypeComplex3, 1, 2048, 7.5));

  buffer->ShowDialog();
  Type(form, {{"Width", "64"}});
  Button(form, "プレビュー").click();
  EXPECT_EQ(p.bufferWidth, 64);
  Button(form, "キャンセル").click();
  EXPECT_EQ(p.bufferWidth, 1);
}

TEST_F(ToneFrameDialogTest, PeriodSwitchTotalFollowsTheEditsAndTooShortCyclesAreRefused) {
  auto periodSwitch = Create<ProcPeriodSwitch>(kPeriodSwitchProcessId);
  auto& form = DialogOf<TFormPeriodSwitch>(*periodSwitch);
  EXPECT_EQ(form.windowTitle(), "周期スイッチ");
  const QString first = "入力 1 を出力する期間 ：", second = "入力 2 を出力する期間 ：";
  periodSwitch->params = {2, 3};
  periodSwitch->ShowDialog();
  QLineEdit& total = Labelled(form, "トータルの周期 ：");
  EXPECT_EQ(TextsOf(form, {first, "トータルの周期 ："}), (QStringList{"2", "5"}));
  EXPECT_TRUE(total.isReadOnly());
  Type(form, {{first, "10"}});
  EXPECT_EQ(total.text(), "13");
  Type(form, {{first, "1x"}});  // counts with the stored period
  EXPECT_EQ(total.text(), "5");
  Type(form, {{first, "2147483647"}, {second, "2147483647"}});
  EXPECT_EQ(total.text(), "4294967294");
  Button(form, "キャンセル").click();

  ExpectRefusals(*periodSwitch, form,
                 {{{{first, "0"}, {second, "0"}}, "値が小さすぎます。"},
                  {{{first, "-1"}}, "値が小さすぎます。"},
                  {{{second, "-2"}, {first, "9"}}, "値が小さすぎます。"},
                  {{{second, "1.5"}}, "'1.5' is not a valid integer value"}});

  periodSwitch->ShowDialog();
  Type(form, {{first, "0"}, {second, "1"}});
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(std::pair(periodSwitch->params.period1, periodSwitch->params.period2), std::pair(0, 1));
}

TEST_F(ToneFrameDialogTest, ContrastCurveSpansInput1sWhiteLevel) {
  auto source = Source(1020.0);  // outlives the process linked to it
  auto contrast = Create<ProcContrast>(kContrastProcessId);
  auto& form = DialogOf<TFormContrast>(*contrast);
  EXPECT_EQ(form.windowTitle(), "明るさ・コントラスト");
  contrast->ShowDialog();  // no input: the identity over 0..255
  QLineEdit& gain = Labelled(form, "入力 1 ×");
  QLineEdit& offset = Labelled(form, "Offset");
  EXPECT_EQ(std::pair(StepOf(gain), StepOf(offset)), std::pair(0.05, 1.0));
  const QImage& curve = CurveOf(form);
  EXPECT_EQ(curve.size(), QSize(256, 256));
  EXPECT_TRUE(IsBlack(curve, 0, 255) && IsBlack(curve, 128, 127) && IsBlack(curve, 255, 0));
  EXPECT_EQ(BlackPixels(curve), 256);

  gain.setText("2");  // 2i up to 256, which still lands on the top row
  EXPECT_TRUE(IsBlack(curve, 100, 55) && IsBlack(curve, 128, 0));
  EXPECT_EQ(BlackPixels(curve), 129);
  gain.setText("2x");  // no number: the curve keeps gain 2
  offset.setText("-10");
  EXPECT_TRUE(IsBlack(curve, 100, 65));
  gain.setText("1e300");  // only the point at 0 stays inside the picture
  offset.setText("0");
  EXPECT_EQ(BlackPixels(curve), 1);
  Button(form, "キャンセル").click();

  contrast->Connect(0, source.get(), 0);
  contrast->params = {1.0, 4.0};
  contrast->ShowDialog();
  EXPECT_EQ(StepOf(offset), 4.0);
  EXPECT_TRUE(IsBlack(curve, 0, 254));  // an offset of 4 in 1020 is one level in 255
  EXPECT_TRUE(IsBlack(curve, 100, 154) && !IsBlack(curve, 100, 155));
  Button(form, "キャンセル").click();
  source->GetOutput(0)->whiteLevel = 0;  // no range: nothing to draw
  contrast->ShowDialog();
  EXPECT_EQ(BlackPixels(curve), 0);
}

TEST_F(ToneFrameDialogTest, ContrastStoresEachNumberAsItIsReadAndCancelRestores) {
  auto contrast = Create<ProcContrast>(kContrastProcessId);
  auto& form = DialogOf<TFormContrast>(*contrast);
  ExpectRefusals(*contrast, form,
                 {{{{"入力 1 ×", "abc"}}, "'abc' is not a valid floating point value"},
                  {{{"Offset", "1e"}}, "'1e' is not a valid floating point value"}});
  contrast->ShowDialog();
  Type(form, {{"入力 1 ×", "1.5"}, {"Offset", "--"}});
  Button(form, "OK").click();
  EXPECT_EQ(std::pair(contrast->params.gain, contrast->params.offset), std::pair(1.5, 0.0));
  Type(form, {{"Offset", "-20"}});
  Button(form, "プレビュー").click();
  EXPECT_EQ(contrast->params.offset, -20.0);
  Button(form, "キャンセル").click();
  EXPECT_EQ(std::pair(contrast->params.gain, contrast->params.offset), std::pair(1.0, 0.0));
}

TEST_F(ToneFrameDialogTest, GammaCurveFollowsDirectionExponentAndWhiteLevel) {
  auto gamma = Create<ProcGammaDbl>(kGammaProcessId);
  auto& form = DialogOf<TFormGammaCorrection>(*gamma);
  EXPECT_EQ(form.windowTitle(), "ガンマ補正");
  gamma->params = {2.0, ProcGammaDbl::kDegamma, 1, 255.0};
  gamma->ShowDialog();
  auto& value = Named<QLineEdit>(form, "gamma");
  EXPECT_EQ(StepOf(value), 0.02);
  EXPECT_TRUE(Button(form, "Degamma").isChecked());
  const QImage& curve = CurveOf(form);
  EXPECT_EQ(curve.size(), QSize(128, 128));
  EXPECT_TRUE(IsBlack(curve, 0, 127) && IsBlack(curve, 127, 0));
  EXPECT_TRUE(IsBlack(curve, 64, 95));  // (64 / 127)² × 127 = 32.25
  EXPECT_EQ(BlackPixels(curve), 128);

  Button(form, "Gamma").click();  // exponent 1/2
  EXPECT_TRUE(IsBlack(curve, 32, 64));
  value.setText("x");  // no number: the curve keeps gamma 2
  EXPECT_TRUE(IsBlack(curve, 32, 64));
  value.setText("0");
  EXPECT_EQ(BlackPixels(curve), 0);

  // Relative to the unfixed white level 127 the samples themselves are squared: y = i².
  value.setText("2");
  Button(form, "Degamma").click();
  Button(form, "WhiteLevel を固定する").click();
  Named<QLineEdit>(form, "whiteLevel").setText("127");
  EXPECT_TRUE(IsBlack(curve, 11, 6));
  EXPECT_EQ(BlackPixels(curve), 12);
  Named<QLineEdit>(form, "whiteLevel").setText("0");
  EXPECT_EQ(BlackPixels(curve), 0);
}

TEST_F(ToneFrameDialogTest, GammaProposesInput1sLevelAcceptsAnyGammaAndCancelRestores) {
  auto source = Source(1023.0);
  auto gamma = Create<ProcGammaDbl>(kGammaProcessId);
  gamma->Connect(0, source.get(), 0);
  auto& form = DialogOf<TFormGammaCorrection>(*gamma);
  gamma->ShowDialog();
  auto& value = Named<QLineEdit>(form, "gamma");
  auto& level = Named<QLineEdit>(form, "whiteLevel");
  QAbstractButton& fixed = Button(form, "WhiteLevel を固定する");
  EXPECT_EQ((QStringList{value.text(), level.text()}), (QStringList{"2.2", "1023"}));
  Enter(level, Qt::ActiveWindowFocusReason);  // the window coming back is no choice
  EXPECT_FALSE(fixed.isChecked());
  Enter(level);
  EXPECT_TRUE(fixed.isChecked());

  // Values read before a field that is no number stay stored.
  value.setText("3");
  Button(form, "Gamma").click();
  level.setText("w");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'w' is not a valid floating point value");
  const ProcGammaDbl::Params& p = gamma->params;
  EXPECT_EQ(std::tuple(p.gammaValue, p.direction, p.fixWhiteLevel, p.whiteLevelParam),
            std::tuple(3.0, 0, 1, 255.0));
  value.setText("-1");  // the process refuses it when it runs
  level.setText("1000");
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(std::tuple(p.gammaValue, p.whiteLevelParam), std::tuple(-1.0, 1000.0));

  gamma->ShowDialog();
  EXPECT_EQ(level.text(), "1000");  // a fixed level is shown as stored
  value.setText("1.8");
  fixed.click();
  Button(form, "Degamma").click();
  Button(form, "プレビュー").click();
  EXPECT_EQ(std::tuple(p.gammaValue, p.direction, p.fixWhiteLevel), std::tuple(1.8, 1, 0));
  Button(form, "キャンセル").click();
  EXPECT_EQ(std::tuple(p.gammaValue, p.direction, p.fixWhiteLevel), std::tuple(-1.0, 0, 1));
}

TEST_F(ToneFrameDialogTest, SineWaveRefusesSizesAndCyclesOutOfRangeAndStoresOnlyTheActivePage) {
  auto pattern = Create<ProcSineWave>(kSineWaveProcessId);
  auto& form = DialogOf<TFormSineWave>(*pattern);
  EXPECT_EQ(form.windowTitle(), "パターン生成");
  pattern->ShowDialog();
  auto& pages = *form.findChild<QTabWidget*>();
  EXPECT_EQ(pages.tabText(pages.currentIndex()), "SineWave");
  EXPECT_TRUE(Button(form, "Cos").isChecked() && Button(form, "原点を画像の中央に").isChecked());
  EXPECT_EQ(TextsOf(form, {"Width", "左端の周波数"}), (QStringList{"640", "0.01"}));
  Button(form, "キャンセル").click();

  const std::string badSize = "2～2048 の値を入力して下さい。";
  const std::string badCycles = "-1024～1024 の値を入力して下さい。";
  ExpectRefusals(*pattern, form,
                 {{{{"Width", "1"}}, badSize},
                  {{{"Height", "2049"}, {"cycle / width", "5000"}}, badSize},
                  {{{"Width", "abc"}}, "'abc' is not a valid integer value"},
                  {{{"cycle / width", "1024.5"}}, badCycles},
                  {{{"cycle / height", "-1025"}}, badCycles},
                  {{{"cycle / height", "x"}}, "'x' is not a valid floating point value"}});

  // The fields of the other pages are neither checked nor stored.
  pattern->ShowDialog();
  Type(form, {{"Width", "2"}, {"Height", "2048"}, {"cycle / width", "-1024"}});
  Type(form, {{"cycle / height", "1024"}, {"値", "0.7"}, {"位相調整", ""}});
  Button(form, "Sinc").click();
  Button(form, "Int型 0～255").click();
  Button(form, "原点を画像の中央に").click();
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  const ProcSineWave::Params& p = pattern->params;
  EXPECT_EQ(std::tuple(p.width, p.height, p.intOutput, p.centerOrigin), std::tuple(2, 2048, 1, 0));
  EXPECT_EQ(std::tuple(p.patternKind, p.waveform, p.cyclesPerWidth, p.cyclesPerHeight),
            std::tuple(1, 2, -1024.0, 1024.0));
  EXPECT_EQ(std::pair(p.flatValue, p.phaseShift), std::pair(0.0, 0.0));

  pattern->ShowDialog();
  pages.setCurrentIndex(ProcSineWave::kFlat);
  Type(form, {{"値", "0.7"}, {"cycle / width", "5000"}});
  Button(form, "OK").click();
  EXPECT_EQ(std::tuple(p.patternKind, p.flatValue, p.cyclesPerWidth), std::tuple(0, 0.7, -1024.0));

  pattern->ShowDialog();
  pages.setCurrentIndex(ProcSineWave::kChart);
  Type(form, {{"左端の周波数", "0.02"}, {"右端の周波数", "0.25"}, {"位相調整", "-3"}});
  Button(form, "プレビュー").click();
  EXPECT_EQ(std::tuple(p.patternKind, p.leftFrequency, p.rightFrequency, p.phaseShift),
            std::tuple(3, 0.02, 0.25, -3.0));
  Button(form, "キャンセル").click();
  EXPECT_EQ(std::tuple(p.patternKind, p.leftFrequency), std::tuple(0, 0.01));
}

TEST_F(ToneFrameDialogTest, Lesson2StoresEachWeightAsItIsReadWithoutARangeCheck) {
  auto lesson = Create<ProcLesson2>(kLesson2ProcessId);
  auto& form = DialogOf<TFormLesson2>(*lesson);
  EXPECT_EQ(form.windowTitle(), "パラメータ設定ダイアログ");
  EXPECT_EQ(TextsOf(form, {"入力 3", "Offset"}), (QStringList{"1", "0"}));
  for (QLabel* label : form.findChildren<QLabel*>()) {
    const bool note = label->text() == "これは Lesson2 の見本です。" ||
                      label->text() == "プログラマはこのダイアログを自由に設計して下さい。";
    EXPECT_EQ(label->palette().color(QPalette::WindowText) == Qt::red, note)
        << label->text().toStdString();
  }

  lesson->ShowDialog();
  EXPECT_EQ(Labelled(form, "入力 1").text(), "0.333333333333333");
  Type(form, {{"入力 1", "1e6"}, {"入力 2", "-2"}, {"入力 3", "x"}, {"Offset", "3"}});
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'x' is not a valid floating point value");
  EXPECT_TRUE(form.isVisible());
  const ProcLesson2::Params& p = lesson->params;
  EXPECT_EQ(std::tuple(p.weight1, p.weight2, p.weight3, p.offset),
            std::tuple(1e6, -2.0, 1.0 / 3.0, 0.0));
  Type(form, {{"入力 3", "-0.25"}, {"Offset", "-255"}});
  Button(form, "OK").click();
  EXPECT_EQ(std::pair(p.weight3, p.offset), std::pair(-0.25, -255.0));

  lesson->ShowDialog();
  Type(form, {{"入力 1", "0.5"}});
  Button(form, "プレビュー").click();
  Button(form, "キャンセル").click();
  EXPECT_EQ(p.weight1, 1e6);
}

}  // namespace
}  // namespace kandrel::testing
