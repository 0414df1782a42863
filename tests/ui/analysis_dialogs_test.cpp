// The dialogs of the analysis kinds: the matcher's drop-downs both ways, the PSNR window that
// follows the result list and stores its boxes and peaks, and the cascade file and sizes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>

#include "blocks/analysis/haar_detect.h"
#include "blocks/analysis/psnr.h"
#include "blocks/analysis/stereo_matching.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_haar_detect.h"
#include "ui/form_psnr.h"
#include "ui/form_stereo_matching.h"

namespace kandrel::testing {
namespace {

using AnalysisDialogTest = DialogTest;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? "\n" : "") + lines[i];
  return text;
}

TEST_F(AnalysisDialogTest, StereoMatchingShowsSevenFieldsAndKeepsThoseNotIntegers) {
  ProcStereoMatching matcher(kStereoMatchingProcessId);
  auto& form = DialogOf<TFormStereoMatching>(matcher);
  EXPECT_EQ(form.windowTitle(), "StereoMatching");
  matcher.params = {1, 7, 63, 11, 0, 32, 20, 5};
  matcher.ShowDialog();
  EXPECT_EQ(Labelled<QComboBox>(form, "preFilterSize").count(), 9);
  EXPECT_EQ(Labelled<QComboBox>(form, "numberOfDisparities").itemText(2), "64");
  EXPECT_EQ(Labelled<QComboBox>(form, "SADWindowSize").currentText(), "11");
  EXPECT_EQ(Labelled<QComboBox>(form, "uniquenessRatio").currentText(), "5");
  Labelled<QComboBox>(form, "preFilterCap").setEditText("x");
  Labelled<QComboBox>(form, "minDisparity").setEditText(" -4 ");
  Labelled<QComboBox>(form, "textureThreshold").setEditText("2.5");
  Labelled<QComboBox>(form, "numberOfDisparities").setCurrentIndex(0);
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  const ProcStereoMatching::Params& p = matcher.params;
  EXPECT_EQ(
      (std::array{p.preFilterType, p.preFilterSize, p.preFilterCap, p.SADWindowSize, p.minDisparity,
                  p.numberOfDisparities, p.textureThreshold, p.uniquenessRatio}),
      (std::array{1, 7, 63, 11, -4, 16, 20, 5}));
}

TEST_F(AnalysisDialogTest, PsnrFollowsTheResultListAndStoresBoxesAndPeaks) {
  HeldImages held;
  held.Hold(0, Row<Int1Image>({10, 20, 30})).name = "left";
  held.Hold(1, Row<Int1Image>({10, 20, 31})).whiteLevel = 510;
  ProcPSNR psnr(kPsnrProcessId);
  auto& form = DialogOf<TFormPSNR>(psnr);
  EXPECT_EQ(form.windowTitle(), "PSNR 計測");
  auto& memo = *form.findChild<QPlainTextEdit*>();
  for (int k = 0; k < 3; ++k) ASSERT_EQ(RunFrame(psnr, held), 0);
  psnr.ShowDialog();
  EXPECT_EQ(memo.toPlainText().toStdString(), Joined(psnr.Results()));
  EXPECT_EQ(Named<QLabel>(form, "image1").text(), "left");
  EXPECT_EQ(Named<QLabel>(form, "image2").text(), "NoName?");  // neither window nor name
  EXPECT_EQ(Named<QLineEdit>(form, "peak1").text() + Named<QLineEdit>(form, "peak2").text(),
            "255510");
  EXPECT_TRUE(Button(form, "キャンセル").isHidden() && !Button(form, "キャンセル").isEnabled());

  // A list started again and grown past the shown lines is shown afresh.
  psnr.Reset();
  held.Hold(1, Row<Int1Image>({10, 20, 30}));
  for (int k = 0; k < 4; ++k) ASSERT_EQ(RunFrame(psnr, held), 0);
  Button(form, "Frame No.").click();
  EXPECT_EQ(psnr.params.showFrameNumber, 0);
  Button(form, "実行").click();
  EXPECT_EQ(psnr.params.peak2, 510);
  ASSERT_EQ(psnr.Results().size(), 5u);
  EXPECT_EQ(psnr.Results()[0], "0000, ∞   , ");
  QTest::qWait(300);
  EXPECT_EQ(memo.toPlainText().toStdString(), Joined(psnr.Results()));

  TempDir dir;
  host.QueueFileAnswer(dir.File("psnr.txt"));
  Button(form, "保存...").click();
  const FileBoxRequest& asked = host.FileBoxesAsked().at(0);
  EXPECT_TRUE(asked.filter == "テキスト|*.txt" && asked.defaultExtension == "txt" &&
              asked.confirmOverwrite);
  const std::vector<std::uint8_t> saved = ReadFileBytes(dir.File("psnr.txt"));
  EXPECT_EQ(std::string(saved.begin(), saved.end()), Joined(psnr.Results()) + "\n");
  Button(form, "クリア").click();
  EXPECT_TRUE(memo.toPlainText().isEmpty());
  EXPECT_TRUE(psnr.Results().empty());

  const std::pair<QString, std::string> refusals[] = {
      {"peak", "'peak' is not a valid floating point value"},
      {"0", "Peak(WhiteLevel)には正の数を指定して下さい。"},
      {"-255", "Peak(WhiteLevel)には正の数を指定して下さい。"}};
  for (const auto& [text, message] : refusals) {
    Named<QLineEdit>(form, "peak1").setText(text);
    Button(form, "閉じる").click();
    EXPECT_EQ(host.LastMessage(), message);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(psnr.params.peak1, 255);
  }
  EXPECT_TRUE(psnr.Results().empty());
}

TEST_F(AnalysisDialogTest, HaarDetectTakesTheCascadeFileAndTheSmallestSize) {
  ProcHaarDetect detect(kHaarDetectProcessId);
  auto& form = DialogOf<TFormHaarDetect>(detect);
  EXPECT_EQ(form.windowTitle(), "物体検出　cvHaarDetectObjects()");
  detect.params = {"/no/such/a.xml", 24, 40};
  detect.ShowDialog();
  EXPECT_EQ(Labelled(form, "パス名").text(), "/no/such/");
  EXPECT_EQ(Labelled(form, "縦").text(), "40");
  EXPECT_EQ(Labelled(form, "横").text(), "24");

  struct Refusal {
    QString name, height, message;
  };
  const Refusal refusals[] = {{"", "40", "ファイル名を指定して下さい。"},
                              {"b.xml", "4o", "'4o' is not a valid integer value"},
                              {"b.xml", "-1", "最小サイズには0以上の値を指定して下さい。"}};
  for (const Refusal& r : refusals) {
    Labelled(form, "定義ファイル名").setText(r.name);
    Labelled(form, "縦").setText(r.height);
    Button(form, "OK").click();
    EXPECT_EQ(host.LastMessage(), r.message.toStdString());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(detect.params.minHeight, 40);
  }
  EXPECT_EQ(detect.params.cascadePath, "/no/such/b.xml");  // stored before the sizes' checks

  host.QueueFileAnswer(std::string(kSystemCascadeFolder) + "/haarcascade_eye.xml");
  Labelled(form, "定義ファイル名").clear();
  Button(form, "参照...").click();
  const FileBoxRequest& asked = host.FileBoxesAsked().at(0);
  EXPECT_EQ(asked.filter + asked.initialName, "*.xml|*.xmlNoName");
  Labelled(form, "縦").setText("12");
  host.ClearMessages();
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(detect.params.cascadePath, std::string(kSystemCascadeFolder) + "/haarcascade_eye.xml");
  EXPECT_EQ(detect.params.minHeight, 12);
  EXPECT_EQ(detect.params.minWidth, 24);
  // The reset has loaded the chosen cascade: no complaint about a missing or unread file.
  EXPECT_TRUE(host.Messages().empty()) << host.LastMessage();
}

}  // namespace
}  // namespace kandrel::testing
