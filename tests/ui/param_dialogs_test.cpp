// The parameter dialogs of the reading, saving, arithmetic, conversion and resizing kinds, as
// real widgets built by the processes themselves: what each shows, what "OK" stores, what it
// refuses and with which message, and the rules particular to each dialog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <stdexcept>

#include "blocks/geometry/resize.h"
#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/type_conversion.h"
#include "image/tiff_dump.h"
#include "io/read_file.h"
#include "io/save_file.h"
#include "process/process_file.h"
#include "process/text_codec.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_factory.h"
#include "ui/form_multi_adder.h"
#include "ui/form_multiplier.h"
#include "ui/form_read_file.h"
#include "ui/form_resize.h"
#include "ui/form_save_file.h"
#include "ui/form_to_int_double.h"
#include "ui/form_to_mono.h"
#include "ui/frm_track_edit.h"

namespace kandrel::testing {
namespace {

class ParamDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override { SetHost(nullptr); }

  // A Float 1ch source of the size, run once, whose image has the white level.
  std::unique_ptr<TestSource> Source(int width, int height, double whiteLevel) {
    auto source = std::make_unique<TestSource>(kTestSourceId);
    source->params.width = width;
    source->params.height = height;
    EXPECT_EQ(source->Step(), 0);
    source->GetOutput(0)->whiteLevel = whiteLevel;
    return source;
  }

  template <class P>
  std::unique_ptr<P> Create(int processId) {
    std::unique_ptr<ProcVirtual> process = CreateById(processId);
    EXPECT_NE(dynamic_cast<P*>(process.get()), nullptr);
    return std::unique_ptr<P>(dynamic_cast<P*>(process.release()));
  }

  DialogHost host;
};

TEST_F(ParamDialogTest, ReadFileSplitsTheNameAppliesWithAResetAndRefusesAnEmptyName) {
  TempDir dir;
  Int1Image picture;
  picture.Resize(3, 2);
  ASSERT_EQ(SaveImageTIFF(picture, dir.File("B.tif")), 0);
  auto reader = Create<ProcReadFile>(kReadFileProcessId);
  reader->params = {dir.File("A000.tif"), 1, {}, 0, 2};
  auto& form = DialogOf<TFormReadFile>(*reader);
  EXPECT_EQ(form.windowTitle(), "画像ファイルの（連続）読み込み");

  reader->ShowDialog();
  QLineEdit& path = Labelled(form, "パス名");
  QLineEdit& file = Labelled(form, "ファイル名");
  EXPECT_EQ(path.text().toStdString(), dir.Path() + "/");
  EXPECT_TRUE(path.isReadOnly());
  EXPECT_EQ(file.text(), "A000.tif");
  EXPECT_TRUE(Button(form, "ファイル名の末尾をカウントアップする。").isChecked());
  EXPECT_EQ(Labelled(form, "終了番号").text(), "2");
  ASSERT_NE(form.findChild<QPlainTextEdit*>(), nullptr);
  EXPECT_TRUE(form.findChild<QPlainTextEdit*>()->toPlainText().startsWith(
      "例： ファイル名が \"A000.bmp\" の場合\n第1フレーム：　A000.bmp\n"));

  // Numbers that are none keep their values; an empty name refuses after taking them.
  file.clear();
  Labelled(form, "開始番号").setText("x");
  Labelled(form, "終了番号").setText("4");
  Button(form, "ファイル名の末尾をカウントアップする。").click();
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "ファイル名を指定して下さい。");
  EXPECT_TRUE(form.IsVisible());
  EXPECT_FALSE(reader->params.numbered);
  EXPECT_EQ(reader->params.firstNumber, 0);
  EXPECT_EQ(reader->params.lastNumber, 4);
  EXPECT_EQ(reader->params.fileName, dir.File("A000.tif"));
  EXPECT_EQ(reader->GetOutput(0), nullptr);  // not reset: nothing read

  file.setText("B.tif");
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(reader->params.fileName, dir.File("B.tif"));
  ASSERT_NE(reader->GetOutput(0), nullptr);  // the reset has read the first frame
  EXPECT_EQ(reader->GetOutput(0)->name, "B.tif");
  EXPECT_EQ(host.Messages().size(), 1u);

  reader->ShowDialog();
  file.setText("C.tif");
  Button(form, "キャンセル").click();
  EXPECT_EQ(reader->params.fileName, dir.File("B.tif"));
  EXPECT_EQ(reader->params.lastNumber, 4);
}

TEST_F(ParamDialogTest, ReadFileBrowsesFromTheEditsAndCutsLongNamesOnWholeCharacters) {
  auto reader = Create<ProcReadFile>(kReadFileProcessId);
  reader->params.fileName = "/pictures/old.bmp";
  auto& form = DialogOf<TFormReadFile>(*reader);
  reader->ShowDialog();
  QLineEdit& file = Labelled(form, "ファイル名");
  file.clear();
  Button(form, "参照...").click();  // cancelled: only the empty name became "NoName"
  EXPECT_EQ(file.text(), "NoName");
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  const FileBoxRequest& asked = host.FileBoxesAsked()[0];
  EXPECT_EQ(asked.filter, "画像|*.bmp;*.jpg;*.png;*.gif;*.hdr;*.tif;*.yuv10;|全て|*.*");
  EXPECT_EQ(asked.initialDirectory, "/pictures/");
  EXPECT_EQ(asked.initialName, "NoName");
  EXPECT_TRUE(asked.mustExist);

  host.QueueFileAnswer("/other/place/new.png");
  Button(form, "参照...").click();
  EXPECT_EQ(Labelled(form, "パス名").text(), "/other/place/");
  EXPECT_EQ(file.text(), "new.png");

  // 2 bytes a character in cp932: 123 of them fit the 259 bytes after "/other/place/".
  QString longName;
  for (int i = 0; i < 200; ++i) longName += QStringLiteral("画");
  file.setText(longName);
  Button(form, "OK").click();
  const std::string stored = reader->params.fileName;
  EXPECT_EQ(EncodeCp932(stored).size(), 13u + 2u * 123u);
  EXPECT_EQ(QString::fromStdString(stored), "/other/place/" + longName.left(123));
}

TEST_F(ParamDialogTest, SaveFileMapsTheFormatRadiosAndDoesNotReset) {
  TempDir dir;
  const std::string lastUsed = LastUsedDirectory();
  SetLastUsedDirectory(dir.Path());
  auto source = Source(2, 2, 1.0);
  auto saver = Create<ProcSaveFile>(kSaveFileProcessId);
  EXPECT_EQ(saver->params.fileName, dir.File("NoName"));
  saver->params.format = ProcSaveFile::kTiff;
  saver->Connect(0, source.get(), 0);
  ASSERT_EQ(saver->Step(), 0);
  auto& form = DialogOf<TFormSaveFile>(*saver);
  EXPECT_EQ(form.windowTitle(), "画像ファイルの（連続）保存");

  saver->params.format = ProcSaveFile::kHdr;
  saver->params.firstNumber = 5;
  saver->ShowDialog();
  EXPECT_EQ(Labelled(form, "ファイル名").text(), "NoName");
  EXPECT_EQ(Labelled(form, "開始番号").text(), "5");
  EXPECT_TRUE(Button(form, "HDR (32 bit float) で保存").isChecked());

  Labelled(form, "開始番号").setText("5a");
  Button(form, "TIFF (内部演算精度のまま) で保存").click();
  Labelled(form, "ファイル名").setText("shot.png");
  Button(form, "OK").click();
  EXPECT_EQ(saver->params.format, ProcSaveFile::kTiff);
  EXPECT_EQ(saver->params.firstNumber, 5);
  EXPECT_EQ(saver->params.fileName, dir.File("shot.png"));
  EXPECT_EQ(saver->FrameCounter(), 1);
  EXPECT_TRUE(host.Messages().empty());

  // Any stored value but BMP and HDR is written as TIFF, and shown as such.
  saver->params.format = 7;
  saver->ShowDialog();
  EXPECT_TRUE(Button(form, "TIFF (内部演算精度のまま) で保存").isChecked());
  Button(form, "BMPに直して保存").click();
  Labelled(form, "ファイル名").clear();
  Button(form, "参照...").click();
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  EXPECT_EQ(host.FileBoxesAsked()[0].filter, "拡張子は自動で付与されます。|*.bmp;*.hdr;*.tif");
  EXPECT_TRUE(host.FileBoxesAsked()[0].confirmOverwrite);
  EXPECT_EQ(host.FileBoxesAsked()[0].initialName, "NoName");
  Labelled(form, "ファイル名").clear();
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "ファイル名を指定して下さい。");
  EXPECT_EQ(saver->params.format, ProcSaveFile::kBmp);  // taken over before the refusal
  EXPECT_EQ(saver->params.fileName, dir.File("shot.png"));
  Button(form, "キャンセル").click();
  EXPECT_EQ(saver->params.format, 7);
  SetLastUsedDirectory(lastUsed);
}

TEST_F(ParamDialogTest, MultiAdderStepsTheOffsetByInput1sWhiteLevel) {
  auto source = Source(2, 2, 1020.0);
  auto adder = Create<ProcMultiAdder>(kMultiAdderProcessId);
  adder->Connect(0, source.get(), 0);
  adder->params.offset = 8;
  auto& form = DialogOf<TFormMultiAdder>(*adder);
  EXPECT_EQ(form.windowTitle(), "混合");
  adder->ShowDialog();

  auto& offset = *dynamic_cast<TFrmTrackEdit*>(Labelled(form, "Offset").parentWidget());
  EXPECT_DOUBLE_EQ(offset.Step(), 4.0);
  EXPECT_EQ(offset.TrackBar().minimum(), -255);
  EXPECT_EQ(offset.TrackBar().maximum(), 255);
  EXPECT_EQ(offset.TrackBar().tickInterval(), 5);
  EXPECT_EQ(offset.TrackBar().value(), 2);
  QLineEdit& weight2 = Labelled(form, "入力 2 ×");
  auto& weight2Row = *dynamic_cast<TFrmTrackEdit*>(weight2.parentWidget());
  EXPECT_DOUBLE_EQ(weight2Row.Step(), 0.05);
  EXPECT_EQ(weight2Row.TrackBar().maximum(), 40);
  EXPECT_EQ(weight2.text(), "0.5");
  EXPECT_EQ(weight2Row.TrackBar().value(), 10);

  Labelled(form, "入力 1 ×").setText("1.25");
  weight2.setText("half");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'half' is not a valid floating point value");
  EXPECT_TRUE(form.IsVisible());
  EXPECT_EQ(adder->params.weight2, 0.5);

  weight2.setText("0.75");
  Labelled(form, "入力 3 ×").setText("-1");
  Labelled(form, "Offset").setText("-16");
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(adder->params.weight1, 1.25);
  EXPECT_EQ(adder->params.weight2, 0.75);
  EXPECT_EQ(adder->params.weight3, -1.0);
  EXPECT_EQ(adder->params.offset, -16.0);

  adder->ShowDialog();
  weight2.setText("2");
  Button(form, "プレビュー").click();
  EXPECT_EQ(adder->params.weight2, 2.0);
  Button(form, "キャンセル").click();
  EXPECT_EQ(adder->params.weight2, 0.75);
}

TEST_F(ParamDialogTest, MultiplierProposesTheProductAndDividerTheQuotient) {
  auto in1 = Source(2, 2, 255.0);
  auto in2 = Source(2, 2, 4.0);
  auto multiplier = Create<ProcMultiplier>(kMultiplierProcessId);
  multiplier->Connect(0, in1.get(), 0);
  auto& form = DialogOf<TFormMultiplier>(*multiplier);
  multiplier->ShowDialog();
  EXPECT_EQ(Labelled(form, "入力2").text(), "1");  // unlinked
  multiplier->ShowDialog();

  multiplier->Connect(1, in2.get(), 0);
  multiplier->params.outputWhiteLevel = 100;
  multiplier->ShowDialog();
  EXPECT_EQ(Labelled(form, "入力1").text(), "255");
  EXPECT_EQ(Labelled(form, "入力2").text(), "4");
  QLineEdit& output = Labelled(form, "出力");
  EXPECT_EQ(output.text(), "100");
  EXPECT_TRUE(output.isReadOnly());
  QAbstractButton& recompute = Button(form, "WhiteLevelも再計算する...");
  EXPECT_FALSE(recompute.isChecked());
  recompute.click();
  EXPECT_EQ(output.text(), "1020");
  recompute.click();
  EXPECT_EQ(output.text(), "255");
  recompute.click();
  Button(form, "OK").click();
  EXPECT_EQ(multiplier->params.recomputeWhiteLevel, 1);
  EXPECT_EQ(multiplier->params.outputWhiteLevel, 1020.0);

  multiplier->ShowDialog();
  EXPECT_TRUE(recompute.isChecked());
  output.setText("abc");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'abc' is not a valid floating point value");
  EXPECT_TRUE(form.IsVisible());

  auto divider = Create<ProcDivider>(kDividerProcessId);
  divider->Connect(0, in1.get(), 0);
  divider->Connect(1, in2.get(), 0);
  auto& divide = DialogOf<TFormMultiplier>(*divider);
  divider->ShowDialog();
  Button(divide, "WhiteLevelも再計算する...").click();
  EXPECT_EQ(Labelled(divide, "出力").text(), "63.75");
  in2->GetOutput(0)->whiteLevel = 0;
  divider->ShowDialog();
  divider->ShowDialog();
  Button(divide, "WhiteLevelも再計算する...").click();
  EXPECT_EQ(Labelled(divide, "出力").text(), "255");
}

TEST_F(ParamDialogTest, ToIntDoubleProposesInput1sLevelAndRefusesRescalingFromZero) {
  auto source = Source(2, 2, 1023.0);
  auto toInt = Create<ProcToInt>(kToIntProcessId);
  toInt->Connect(0, source.get(), 0);
  auto& form = DialogOf<TFormToIntDouble>(*toInt);
  EXPECT_EQ(form.windowTitle(), "Scale");
  toInt->ShowDialog();
  QLineEdit& input = Labelled(form, "入力のWhiteLevel");
  QLineEdit& output = Labelled(form, "出力のWhiteLevel");
  QAbstractButton& rescale = Button(form, "スケールを変換する...");
  EXPECT_EQ(input.text(), "1023");
  EXPECT_EQ(output.text(), "255");
  EXPECT_FALSE(rescale.isChecked());

  input.setText("0");  // accepted while not rescaling
  Button(form, "OK").click();
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(toInt->params.inputWhiteLevel, 0.0);

  toInt->ShowDialog();
  input.setText("0");
  Enter(input, Qt::ActiveWindowFocusReason);  // the window coming back, not the user's choice
  EXPECT_FALSE(rescale.isChecked());
  Enter(output);
  EXPECT_TRUE(rescale.isChecked());
  output.setText("1");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "0以外の数値を指定して下さい。");
  EXPECT_TRUE(form.IsVisible());
  EXPECT_EQ(toInt->params.rescale, 0);
  EXPECT_EQ(toInt->params.outputWhiteLevel, 255.0);

  input.setText("1e");
  Button(form, "プレビュー").click();
  EXPECT_EQ(host.LastMessage(), "'1e' is not a valid floating point value");
  input.setText("1023");
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(toInt->params.rescale, 1);
  EXPECT_EQ(toInt->params.inputWhiteLevel, 1023.0);
  EXPECT_EQ(toInt->params.outputWhiteLevel, 1.0);

  toInt->params.inputWhiteLevel = 4095;  // while rescaling, the stored level is shown
  toInt->ShowDialog();
  EXPECT_EQ(input.text(), "4095");
  Button(form, "キャンセル").click();

  for (int kind : {kToDoubleProcessId, kToComplexProcessId})
    EXPECT_NE(dynamic_cast<TFormToIntDouble*>(CreateById(kind)->Dialog()), nullptr) << kind;
}

TEST_F(ParamDialogTest, ToMonoSelectsAnExtractionOnlyForItsExactTuple) {
  auto toMono = Create<ProcToMono>(kToMonoProcessId);
  auto& form = DialogOf<TFormToMono>(*toMono);
  EXPECT_EQ(form.windowTitle(), "グレースケールへ");
  const std::pair<ProcToMono::Params, const char*> cases[] = {
      {{1, 0, 0, 0}, "Ch1 のみ抽出"},
      {{0, 1, 0, 0}, "Ch2 のみ抽出"},
      {{0, 0, 1, 0}, "Ch3 のみ抽出"},
      {{0, 0, 1, 0.5}, "ミックス"},
      {{1, 0, 0, 1e-9}, "ミックス"},
  };
  for (const auto& [params, button] : cases) {
    toMono->params = params;
    toMono->ShowDialog();
    EXPECT_TRUE(Button(form, button).isChecked()) << button;
    toMono->ShowDialog();
  }
  EXPECT_EQ(Labelled(form, "Offset").text(), "1E-9");

  toMono->params = {0, 0, 1, 0};  // an extraction leaves the mix's edits alone
  toMono->ShowDialog();
  EXPECT_EQ(Labelled(form, "Ch1").text(), "1");
  Button(form, "Ch2 のみ抽出").click();
  Button(form, "OK").click();
  EXPECT_EQ((std::array{toMono->params.weight1, toMono->params.weight2, toMono->params.weight3,
                        toMono->params.offset}),
            (std::array{0.0, 1.0, 0.0, 0.0}));

  toMono->ShowDialog();
  Button(form, "ミックス").click();
  Labelled(form, "Ch1").setText("0.25");
  Labelled(form, "Ch3").setText("-");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'-' is not a valid floating point value");
  EXPECT_TRUE(form.IsVisible());
  Labelled(form, "Ch3").setText("0.5");
  Labelled(form, "Offset").setText("10");
  Button(form, "OK").click();
  EXPECT_EQ((std::array{toMono->params.weight1, toMono->params.weight2, toMono->params.weight3,
                        toMono->params.offset}),
            (std::array{0.25, 0.0, 0.5, 10.0}));
}

TEST_F(ParamDialogTest, ResizeFollowsTheReferenceSizeAndStoresTheBlockOnlyWhenAccepted) {
  auto source = Source(200, 100, 1.0);
  auto resize = Create<ProcResize>(kResizeProcessId);
  resize->Connect(0, source.get(), 0);
  auto& form = DialogOf<TFormResize>(*resize);
  EXPECT_EQ(form.windowTitle(), "Resolution");
  resize->ShowDialog();
  auto& interpolation = Labelled<QComboBox>(form, "Interpolation");
  EXPECT_TRUE(interpolation.isVisibleTo(&form));
  EXPECT_EQ(interpolation.currentText(), "Bi Linear");
  EXPECT_FALSE(Named<QAbstractButton>(form, "anchor11").isVisibleTo(&form));
  auto& widthPixels = Named<QLineEdit>(form, "widthPixels");
  auto& widthPercent = Named<QLineEdit>(form, "widthPercent");
  auto& heightPixels = Named<QLineEdit>(form, "heightPixels");
  auto& heightPercent = Named<QLineEdit>(form, "heightPercent");
  EXPECT_EQ(widthPixels.text(), "200");  // 100 % of the input
  EXPECT_EQ(heightPixels.text(), "100");

  widthPercent.setText("50");
  EXPECT_EQ(widthPixels.text(), "100");
  Enter(heightPixels);
  heightPixels.setText("25");
  EXPECT_EQ(heightPercent.text(), "25");
  interpolation.setCurrentIndex(3);
  Button(form, "プレビュー").click();
  const ProcResize::Params& p = resize->params;
  EXPECT_EQ(std::tuple(p.widthByRatio, p.widthPercent, p.width, p.referenceWidth),
            std::tuple(1, 50.0, 100, 200));
  EXPECT_EQ(std::tuple(p.heightByRatio, p.heightPercent, p.height, p.referenceHeight),
            std::tuple(0, 25.0, 25, 100));
  EXPECT_EQ(p.interpolation, 3);
  ASSERT_NE(resize->GetOutput(0), nullptr);
  EXPECT_EQ(resize->GetOutput(0)->Width(), 100);
  EXPECT_EQ(resize->GetOutput(0)->Height(), 25);

  heightPixels.setText("2049");
  widthPercent.setText("10");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "サイズが 1～2048 を超えます。");
  EXPECT_EQ(p.widthPercent, 50.0);  // nothing of a refused block is stored
  heightPixels.setText("1.5");
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "'1.5' is not a valid integer value");
  Enter(heightPercent);
  heightPercent.setText("0.5");  // half a pixel
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "サイズが 1～2048 を超えます。");
  EXPECT_EQ(host.Messages().size(), 3u);
  EXPECT_TRUE(form.IsVisible());
  Button(form, "キャンセル").click();
  EXPECT_EQ(std::tuple(p.heightByRatio, p.height, p.interpolation), std::tuple(1, 480, 1));
}

TEST_F(ParamDialogTest, CanvasSizeShowsTheAnchorAndAcceptsRatiosWithoutAnInput) {
  auto canvas = Create<ProcCanvasSize>(kCanvasSizeProcessId);
  auto& form = DialogOf<TFormResize>(*canvas);
  canvas->ShowDialog();
  EXPECT_FALSE(Labelled<QComboBox>(form, "Interpolation").isVisibleTo(&form));
  EXPECT_TRUE(Named<QAbstractButton>(form, "anchor11").isVisibleTo(&form));
  EXPECT_TRUE(Named<QAbstractButton>(form, "anchor11").isChecked());
  Named<QAbstractButton>(form, "anchor02").click();
  Named<QLineEdit>(form, "widthPercent").setText("300");
  // No input, so no reference: the ratio is taken and the frame will check the size.
  Button(form, "OK").click();
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(std::tuple(canvas->params.anchorX, canvas->params.anchorY), std::tuple(0, 2));
  EXPECT_EQ(std::tuple(canvas->params.widthPercent, canvas->params.width), std::tuple(300.0, 640));

  canvas->params.anchorX = 2;
  canvas->params.anchorY = 0;
  canvas->ShowDialog();
  EXPECT_TRUE(Named<QAbstractButton>(form, "anchor20").isChecked());
  EXPECT_FALSE(Named<QAbstractButton>(form, "anchor02").isChecked());
}

TEST_F(ParamDialogTest, ADialogIsBuiltOnlyForItsOwnProcessClass) {
  TestScale scale(kTestScaleId);
  for (const char* form : {"TFormReadFile", "TFormSaveFile", "TFormMultiAdder", "TFormMultiplier",
                           "TFormToIntDouble", "TFormToMono", "TFormResize"})
    EXPECT_EQ(CreateForm(form, scale), nullptr) << form;
}

}  // namespace
}  // namespace kandrel::testing
