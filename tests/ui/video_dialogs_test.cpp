// The dialogs of the video kinds, built by their processes: the saving dialog's codec and frame
// rate both ways and its refusals, the video-file dialog moving through a numbered AVI by its
// buttons and typed frames, the capture dialog without devices, and the preview layout.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>

#include "image/picture.h"
#include "io/avi_writer.h"
#include "io/save_video.h"
#include "io/video_file.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_save_video.h"
#include "ui/form_video_file.h"

namespace kandrel::testing {
namespace {

// Red of frame k.
int RedOf(std::int64_t frame) { return static_cast<int>(20 * frame + 7); }

// An uncompressed AVI of 8 × 6 frames, frame k all of red RedOf(k).
void WriteNumberedAvi(const std::string& path, int frames) {
  AviWriter writer;
  ASSERT_TRUE(writer.Open(path, 8, 6, 25));
  Picture picture;
  picture.Create(8, 6);
  for (int k = 0; k < frames; ++k) {
    for (int i = 0; i < 8 * 6; ++i)  // rows of 32-bit pixels follow each other unpadded
      std::copy_n(std::array<int, 3>{40, 90, RedOf(k)}.begin(), 3, picture.ScanLine(0) + 4 * i);
    ASSERT_TRUE(writer.WriteFrame(picture));
  }
  ASSERT_TRUE(writer.Close());
}

int PanelRed(QWidget& form) {
  const QImage shown = form.findChild<VideoPreview*>()->Panel().pixmap().toImage();
  return shown.isNull() ? -1 : qRed(shown.pixel(3, 2));
}

void LeaveEdit(QLineEdit& edit) {
  QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(&edit, &focusOut);
}

void ExpectSourceButtons(QWidget& form) {
  EXPECT_TRUE(Button(form, "閉じる").isVisible());
  EXPECT_TRUE(Button(form, "キャプチャ").isVisible());
  EXPECT_TRUE(Button(form, "キャンセル").isHidden());
  EXPECT_FALSE(Button(form, "キャンセル").isEnabled());
}

using VideoDialogTest = DialogTest;

TEST_F(VideoDialogTest, SaveVideoShowsAndAppliesCodecAndRateAndRefusesBadValues) {
  TempDir dir;
  TestSource source(kTestSourceId);  // outlives the saver linked to it
  auto saver = std::make_unique<ProcSaveVideo>(kSaveVideoProcessId);
  auto& form = DialogOf<TFormSaveVideo>(*saver);
  EXPECT_EQ(form.windowTitle(), "映像ファイルの保存");
  auto& codec = Labelled<QComboBox>(form, "コーデック");
  auto& rate = Labelled<QComboBox>(form, "フレームレート");

  // The rate's selection follows a listed value and stays otherwise; so does the codec's.
  struct Shown {
    std::int32_t fourcc;
    double fps;
    int codecRow, rateRow;
  };
  const Shown shown[] = {{FourCC("MJPG"), 15, 3, 4},
                         {FourCC("XVID"), 12.5, 3, 4},
                         {FourCC("DIB "), 29.97, 0, 0},
                         {FourCC("DIVX"), 24, 4, 3}};
  saver->params.fileName = dir.File("old.avi");
  for (const Shown& s : shown) {
    saver->params.fourcc = s.fourcc;
    saver->params.fps = s.fps;
    saver->ShowDialog();
    EXPECT_EQ(codec.currentIndex(), s.codecRow) << s.fps;
    EXPECT_EQ(rate.currentText(), QString::number(s.fps));
    EXPECT_EQ(rate.currentIndex(), s.rateRow) << s.fps;
    saver->ShowDialog();  // hides it
  }
  EXPECT_TRUE(Button(form, "プレビュー").isHidden());

  // Applying finishes the file being written.
  source.params.type = kTypeInt3;
  ASSERT_EQ(source.Step(), 0);
  saver->Connect(0, &source, 0);
  ASSERT_EQ(saver->Step(), 0);
  ASSERT_TRUE(saver->IsWriting());
  saver->ShowDialog();
  codec.setCurrentIndex(1);
  rate.setEditText("24.5");
  Labelled(form, "ファイル名").setText("clip");
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(saver->params.fourcc, FourCC("MSVC"));
  EXPECT_EQ(saver->params.fps, 24.5);
  EXPECT_EQ(saver->params.fileName, dir.File("clip"));
  EXPECT_FALSE(saver->IsWriting());

  struct Refusal {
    QString rate, file, message;
    double fpsAfter;
  };
  const Refusal refusals[] = {
      {"fast", "clip", "'fast' is not a valid floating point value", 24.5},
      {"-0.5", "clip", "フレームレートには正の数を指定して下さい。", 24.5},
      {"10", "", "ファイル名を指定して下さい。", 10}};  // taken over before the name's check
  saver->ShowDialog();
  codec.setCurrentIndex(2);
  for (const Refusal& r : refusals) {
    rate.setEditText(r.rate);
    Labelled(form, "ファイル名").setText(r.file);
    Button(form, "OK").click();
    EXPECT_EQ(host.LastMessage(), r.message.toStdString());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(saver->params.fourcc, FourCC("CVID"));
    EXPECT_EQ(saver->params.fps, r.fpsAfter);
  }

  Button(form, "参照...").click();  // from the empty name
  const FileBoxRequest& asked = host.FileBoxesAsked().at(0);
  EXPECT_EQ(asked.filter + asked.defaultExtension + asked.initialDirectory + asked.initialName,
            "映像|*.aviavi" + dir.Path() + "/NoName");
  EXPECT_TRUE(asked.confirmOverwrite);
}

TEST_F(VideoDialogTest, VideoFileOpensTheChosenFileAndMovesByButtonsAndTypedFrames) {
  TempDir dir;
  const std::string path = dir.File("count.avi");
  WriteNumberedAvi(path, 10);
  auto video = std::make_unique<ProcVideoFile>(kVideoFileProcessId);
  auto& form = DialogOf<TFormVideoFile>(*video);
  EXPECT_EQ(form.windowTitle(), "映像ファイルの選択");
  video->ShowDialog();
  ExpectSourceButtons(form);
  EXPECT_FALSE(video->IsOpened());
  QLineEdit& current = Labelled(form, "現在のフレーム");
  EXPECT_TRUE(Labelled(form, "ファイル名").isReadOnly());

  host.QueueFileAnswer(path);
  video->SetModified(false);
  Button(form, "参照...").click();
  EXPECT_TRUE(host.FileBoxesAsked().at(0).filter == "映像|*.avi" &&
              host.FileBoxesAsked()[0].mustExist);
  EXPECT_TRUE(video->IsModified());
  EXPECT_EQ(video->params.fileName, path);
  ASSERT_TRUE(video->IsOpened());
  EXPECT_EQ(Labelled(form, "最初のフレーム").text(), "0");
  EXPECT_EQ(Labelled(form, "最後のフレーム").text(), "9");
  EXPECT_EQ(current.text(), "0");  // the reset has taken frame 0 and rewound
  EXPECT_EQ(PanelRed(form), RedOf(0));

  struct Move {
    const char* button;  // a transport button, or none for a typed frame
    QString typed;
    std::int64_t frame;
  };
  const Move moves[] = {{"step", {}, 1},    {"step", {}, 2},     {"back", {}, 1},
                        {"rewind", {}, 0},  {nullptr, "7", 7},   {nullptr, "10", 7},
                        {nullptr, "-1", 7}, {nullptr, " 9 ", 9}, {nullptr, "nine", 0}};
  for (const Move& m : moves) {
    if (m.button != nullptr) {
      Named<QAbstractButton>(form, m.button).click();
    } else {
      Enter(current);
      current.setText(m.typed);
      LeaveEdit(current);
    }
    EXPECT_EQ(video->Sampler().CurrentFrame(), m.frame) << (m.button ? m.button : "typed");
    EXPECT_EQ(current.text(), QString::number(m.frame));
    EXPECT_EQ(PanelRed(form), RedOf(m.frame));
  }

  // Three captures after a reset take frames 0, 1 and 2; the refresh then shows 3.
  video->Reset();
  for (int k = 0; k < 3; ++k) {
    Button(form, "キャプチャ").click();
    const auto* out = As<Int3Image>(video->GetOutput(0));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->channels[0][0][0], RedOf(k));
  }
  QTest::qWait(300);
  EXPECT_EQ(current.text(), "3");
  EXPECT_EQ(PanelRed(form), RedOf(3));

  // While the user types, the refresh leaves the edit alone; hiding stops it.
  Enter(current);
  current.setText("5");
  QTest::qWait(300);
  EXPECT_EQ(current.text(), "5");
  Button(form, "閉じる").click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.findChild<QTimer*>()->isActive());
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(VideoDialogTest, CaptureWithoutDevicesListsNoneAndHidesThePageButtons) {
  TempDir devices;
  ZelVideoSampler::SetDeviceFolder(devices.Path());
  auto camera = std::make_unique<ProcCapture>(kCaptureProcessId);
  auto& form = DialogOf<TFormCapture>(*camera);
  EXPECT_EQ(form.windowTitle(), "キャプチャ");
  camera->ShowDialog();
  ExpectSourceButtons(form);
  EXPECT_EQ(Labelled<QComboBox>(form, "キャプチャデバイス：").count(), 0);
  EXPECT_FALSE(camera->IsStarted());
  const QList<QPushButton*> buttons = form.findChildren<QPushButton*>();
  EXPECT_EQ(std::count_if(buttons.begin(), buttons.end(),
                          [](auto* b) { return b->text() == "カメラ設定" && b->isHidden(); }),
            5);
  ZelVideoSampler::SetDeviceFolder("/dev");
}

TEST(VideoPreviewLayout, FitsTheBoxOrKeepsTheFrameSize) {
  struct Case {
    QSize frame, client;
    bool actualSize;
    PreviewLayout expected;
  };
  const Case cases[] = {
      {{640, 480}, {320, 320}, false, {{0, 40, 320, 240}, false}},
      {{640, 480}, {400, 200}, false, {{67, 0, 266, 200}, false}},  // too high: fitted by height
      {{333, 100}, {100, 100}, false, {{0, 35, 100, 30}, false}},   // no pixel lost to rounding
      {{640, 480}, {320, 320}, true, {{0, 0, 640, 480}, true}},
      {{0, 0}, {320, 320}, false, {{0, 0, 0, 0}, true}},
      {{640, 480}, {0, 0}, false, {{}, false}},
  };
  for (const Case& c : cases) {
    const PreviewLayout layout = LayOutPreview(c.frame, c.client, c.actualSize);
    EXPECT_EQ(layout.panel, c.expected.panel) << c.frame.width() << "x" << c.client.width();
    EXPECT_EQ(layout.scrolls, c.expected.scrolls);
  }
}

}  // namespace
}  // namespace kandrel::testing
