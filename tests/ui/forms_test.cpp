// Parameter dialogs as real widgets on the headless host: what a showing, "プレビュー", "OK" and
// "キャンセル" do to the process, the conversion messages, the dialog of a process without
// parameters, and the shared input-error window.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"
#include "ui/form_factory.h"
#include "ui/form_input_error.h"
#include "ui/form_no_param.h"
#include "ui/number_text.h"

namespace kandrel::testing {
namespace {

// The dialog of the test source: its width as an integer (below 1 refused) and its value as a
// real number.
class SourceForm : public TFormVirtual {
 public:
  explicit SourceForm(TestSource& source) : TFormVirtual(source), source_(source) {
    Body().addWidget(width);
    Body().addWidget(value);
  }

  QLineEdit* width = new QLineEdit;
  QLineEdit* value = new QLineEdit;

 protected:
  void ParamsToControls() override {
    width->setText(QString::number(source_.params.width));
    value->setText(FloatToStr(source_.params.value));
  }
  int ControlsToParams() override {
    const int w = StrToInt(width->text());
    if (w < 1) return 1;
    source_.params.width = w;
    source_.params.value = StrToFloat(value->text());
    return 0;
  }

 private:
  TestSource& source_;
};

// Gives processes the real parameter-less dialog.
class FormHost : public HeadlessHost {
 public:
  std::unique_ptr<ProcessDialog> CreateNoParamDialog(ProcVirtual& process) override {
    return CreateForm("TFormNoParam", process);
  }
};

QPushButton& Button(QWidget& dialog, const QString& text) {
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (button->text() == text) return *button;
  throw std::logic_error("no button " + text.toStdString());
}

QStringList VisibleButtons(QWidget& dialog) {
  QStringList texts;
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (button->isVisible()) texts << button->text();
  return texts;
}

float FirstSample(const Image* image) {
  const auto* typed = As<Float1Image>(image);
  return typed != nullptr ? *typed->channels[0].begin() : -1.0f;
}

class SourceFormTest : public KandrelTest {
 protected:
  TestSource source{kTestSourceId};
  SourceForm form{source};
};

TEST_F(SourceFormTest, CancelAfterPreviewRestoresTheParametersAndFlagOfTheShowing) {
  form.Show();
  form.width->setText("7");
  form.value->setText("5");
  Button(form, "プレビュー").click();
  EXPECT_TRUE(form.IsVisible());
  ASSERT_NE(source.GetOutput(0), nullptr);  // the preview ran with the new values
  EXPECT_EQ(source.GetOutput(0)->Width(), 7);
  EXPECT_EQ(FirstSample(source.GetOutput(0)), 5.0f);
  EXPECT_TRUE(source.IsModified());

  Button(form, "キャンセル").click();
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(source.params.width, 4);
  EXPECT_EQ(source.params.value, 1.0);
  EXPECT_FALSE(source.IsModified());

  source.SetName("Src");  // an edit not yet saved survives a showing and its cancel
  form.Show();
  Button(form, "キャンセル").click();
  EXPECT_TRUE(source.IsModified());
}

TEST_F(SourceFormTest, EveryShowingRenamesRefillsAndTakesANewSnapshot) {
  EXPECT_EQ(form.windowTitle(), "パラメータ");
  form.Show();
  EXPECT_EQ(form.windowTitle(), "Source");
  form.value->setText("2");
  Button(form, "OK").click();
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(source.params.value, 2.0);
  EXPECT_EQ(source.FrameCounter(), 0);  // "OK" runs no frame

  source.SetName("Zweite");
  form.Show();
  EXPECT_EQ(form.windowTitle(), "Zweite");
  EXPECT_EQ(form.value->text(), "2");
  form.value->setText("3");
  form.close();  // closing only hides: nothing stored, nothing restored
  EXPECT_EQ(source.params.value, 2.0);
  form.Show();
  EXPECT_EQ(form.value->text(), "2");
  form.value->setText("3");
  Button(form, "キャンセル").click();
  EXPECT_EQ(source.params.value, 2.0);
  EXPECT_EQ(source.Name(), "Zweite");
}

TEST_F(SourceFormTest, ARefusalKeepsTheDialogOpenAndWhatWasStoredBeforeIt) {
  form.Show();
  form.width->setText("12");
  form.value->setText("abc");
  Button(form, "OK").click();
  EXPECT_TRUE(form.IsVisible());
  EXPECT_EQ(host.LastMessage(), "'abc' is not a valid floating point value");
  EXPECT_EQ(source.params.width, 12);
  EXPECT_EQ(source.params.value, 1.0);

  form.width->setText("1.5");
  Button(form, "プレビュー").click();
  EXPECT_EQ(host.LastMessage(), "'1.5' is not a valid integer value");
  form.width->setText("0");  // the range check refuses silently: its message is the dialog's
  Button(form, "プレビュー").click();
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(source.FrameCounter(), 0);
  EXPECT_TRUE(form.IsVisible());
}

TEST_F(SourceFormTest, GeometryIsEmptyUntilTheDialogIsPlaced) {
  EXPECT_EQ(form.Geometry(), DialogGeometry{});
  const QSize designed = form.size();
  form.RestoreGeometry({30, 40, 500, 300}, false);
  EXPECT_EQ(form.Geometry(), (DialogGeometry{30, 40, designed.width(), designed.height()}));
  form.RestoreGeometry({50, 60, 500, 300}, true);
  EXPECT_EQ(form.Geometry(), (DialogGeometry{50, 60, 500, 300}));
}

class NoParamFormTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override { SetHost(nullptr); }

  FormHost host;
};

TEST_F(NoParamFormTest, AProcessWithoutParametersCanPreviewAndCancelOnly) {
  TestSource source(kTestSourceId);
  TestScale scale(kTestScaleId);
  scale.Connect(0, &source, 0);
  ASSERT_EQ(source.Step(), 0);
  EXPECT_FALSE(scale.HasDialog());

  scale.ShowDialog();
  auto* form = dynamic_cast<TFormNoParam*>(scale.Dialog());
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->IsVisible());
  EXPECT_EQ(form->windowTitle(), "Scale");
  EXPECT_EQ(VisibleButtons(*form), (QStringList{"プレビュー", "キャンセル"}));
  EXPECT_TRUE(Button(*form, "プレビュー").isDefault());
  ASSERT_NE(form->findChild<QLabel*>(), nullptr);
  EXPECT_EQ(form->findChild<QLabel*>()->text(), "この処理にパラメータ設定はありません。");

  Button(*form, "プレビュー").click();
  EXPECT_EQ(scale.FrameCounter(), 1);
  Button(*form, "キャンセル").click();
  EXPECT_FALSE(form->IsVisible());
  scale.ShowDialog();  // the same dialog again
  EXPECT_EQ(scale.Dialog(), form);
  EXPECT_TRUE(form->IsVisible());
}

TEST_F(NoParamFormTest, OnlyKnownFormClassesHaveADialog) {
  TestScale scale(kTestScaleId);
  EXPECT_NE(dynamic_cast<TFormNoParam*>(CreateForm("TFormNoParam", scale).get()), nullptr);
  EXPECT_EQ(CreateForm("TFormNoSuchDialog", scale), nullptr);
}

TEST(InputErrorFormTest, ShowsOnlyTheLatestLinesReadOnly) {
  TFormInputError form;
  EXPECT_EQ(form.windowTitle(), "入力エラー");
  form.SetLines({"old"});
  form.SetLines({"Scaleへの入力エラー。", "　　入力1 = (Unknown)", " "});
  auto* text = form.findChild<QPlainTextEdit*>();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->toPlainText(), "Scaleへの入力エラー。\n　　入力1 = (Unknown)\n ");
  EXPECT_TRUE(text->isReadOnly());

  form.show();
  Button(form, "OK").click();
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace kandrel::testing
