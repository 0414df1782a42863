// The drag edit and the track edit driven by simulated input, and the platform's number
// conversions they and every dialog use.
#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>

#include "tests/support/kandrel_test.h"
#include "ui/frm_medit.h"
#include "ui/frm_track_edit.h"
#include "ui/number_text.h"

namespace kandrel::testing {
namespace {

constexpr int kY = 5;

void Press(QLineEdit& edit) { QTest::mousePress(&edit, Qt::LeftButton, {}, QPoint(5, kY)); }
void Release(QLineEdit& edit) { QTest::mouseRelease(&edit, Qt::LeftButton, {}, QPoint(5, kY)); }
// A move with the button held, pointer at x relative to the edit.
void DragTo(QLineEdit& edit, int x) { QTest::mouseMove(&edit, QPoint(x, kY)); }
// A move with no button held, which QTest would only turn into a cursor move.
void HoverTo(QLineEdit& edit, int x) {
  QMouseEvent move(QEvent::MouseMove, QPointF(x, kY), edit.mapToGlobal(QPointF(x, kY)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&edit, &move);
}
void Leave(QLineEdit& edit, Qt::FocusReason reason) {
  QFocusEvent focusOut(QEvent::FocusOut, reason);
  QCoreApplication::sendEvent(&edit, &focusOut);
}
void Type(QLineEdit& edit, const QString& text) {
  edit.clear();
  QTest::keyClicks(&edit, text);
}

class MEditTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    frame.resize(120, 24);
    frame.show();
    frame.SetStep(0.02);
  }
  TFrmMEdit frame;
  QLineEdit& edit = frame.Edit();
};

TEST_F(MEditTest, DraggingBeyondEitherSideChangesByStepPerPixelAndInsideShowsTheStart) {
  ASSERT_EQ(edit.text(), "1");
  const int width = edit.width();
  Press(edit);
  DragTo(edit, width + 7);  // 3 pixels of slack: 10 pixels beyond
  EXPECT_EQ(edit.text(), "1.2");
  DragTo(edit, width / 2);
  EXPECT_EQ(edit.text(), "1");
  DragTo(edit, -8);
  EXPECT_EQ(edit.text(), "0.9");
  DragTo(edit, -3);  // the slack on the left ends here
  EXPECT_EQ(edit.text(), "1");
  Release(edit);
  HoverTo(edit, width + 50);
  EXPECT_EQ(edit.text(), "1");

  edit.setText("x");  // no number: the drag starts at 0
  Press(edit);
  DragTo(edit, width + 7);
  EXPECT_EQ(edit.text(), "0.2");
}

class TrackEditTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    frame.resize(240, 24);
    frame.show();
    frame.SetStep(0.05);
  }
  TFrmTrackEdit frame;
  QLineEdit& edit = frame.Edit();
  QSlider& track = frame.TrackBar();
};

TEST_F(TrackEditTest, TypedNumbersMoveTheTrackBarRoundedAndTheTrackBarWritesTheEdit) {
  ASSERT_EQ(track.value(), 20);
  Type(edit, "0.52");
  EXPECT_EQ(track.value(), 10);    // 10.4
  EXPECT_EQ(edit.text(), "0.52");  // not written back while the edit moved the track bar
  track.setValue(11);
  EXPECT_EQ(edit.text(), "0.55");

  frame.SetStep(0.5);
  track.setRange(-40, 40);
  edit.setText("1.25");
  EXPECT_EQ(track.value(), 3);  // half away from zero
  edit.setText("-1.25");
  EXPECT_EQ(track.value(), -3);
  edit.setText("1000");
  EXPECT_EQ(track.value(), 40);
}

TEST_F(TrackEditTest, ANonNumberIsIgnoredWhileTypingAndReportedWhenTheEditIsLeft) {
  track.setValue(8);
  Type(edit, "abc");
  EXPECT_EQ(track.value(), 8);
  EXPECT_TRUE(Messages().empty());
  Leave(edit, Qt::ActiveWindowFocusReason);  // another window became active: not leaving
  EXPECT_TRUE(Messages().empty());
  Leave(edit, Qt::TabFocusReason);
  EXPECT_EQ(Messages(), std::vector<std::string>{"'abc' is not a valid floating point value"});
}

TEST_F(TrackEditTest, DraggingChangesTheNumberOnlyBeyondTheDeadZone) {
  frame.SetStep(1.0);
  edit.setText("3");
  const int left = edit.x() - 20;
  const int right = edit.x() + edit.width();
  Press(edit);
  DragTo(edit, left - 4);
  EXPECT_EQ(edit.text(), "-1");
  DragTo(edit, left);  // inside the dead zone the text stays as it is
  EXPECT_EQ(edit.text(), "-1");
  DragTo(edit, right + 6);
  EXPECT_EQ(edit.text(), "9");
  EXPECT_EQ(track.value(), 9);
  Release(edit);
  HoverTo(edit, right + 20);
  EXPECT_EQ(edit.text(), "9");
}

TEST(NumberTextTest, ConversionsAcceptWhatThePlatformAcceptsAndNameWhatItRefuses) {
  EXPECT_EQ(StrToInt(" -12 "), -12);
  EXPECT_EQ(StrToFloat(" 1e3 "), 1000.0);
  EXPECT_EQ(StrToFloat(".5"), 0.5);
  for (const char* text : {"", "1.5", "0x10", "2147483648", "12abc"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << text;
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
  for (const char* text : {"", "abc", "1,5", "inf", "nan", "1e999"}) {
    EXPECT_EQ(TryStrToFloat(text), std::nullopt) << text;
    EXPECT_THROW(StrToFloat(text), ConversionError) << text;
  }
}

TEST(NumberTextTest, NumbersShowFifteenDigitsInFixedNotationWithinItsRange) {
  const std::pair<double, const char*> cases[] = {
      {-0.0, "0"},        {1.0 / 3, "0.333333333333333"},
      {-2.5, "-2.5"},     {0.00001, "0.00001"},
      {0.000001, "1E-6"}, {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},     {-1.5e20, "-1.5E20"},
      {1200.0, "1200"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FloatToStr(value), text) << value;
}

}  // namespace
}  // namespace kandrel::testing
