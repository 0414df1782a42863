// The dialogs of non-local means and total-variation denoising: captions, notes and the warning,
// what a showing puts in the edits, the conversion rules, the refusals, and what "OK" leaves in
// the parameters.
#include <gtest/gtest.h>

#include <QLabel>

#include "blocks/filter/nlmeans.h"
#include "blocks/filter/total_variation.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_nlmeans.h"
#include "ui/form_total_variation.h"

namespace kandrel::testing {
namespace {

class DenoiseDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override { SetHost(nullptr); }

  // Sets the edits by their labels, presses "OK" and returns the message shown, if any.
  std::string Apply(QWidget& form, std::initializer_list<std::pair<QString, QString>> texts) {
    for (const auto& [label, text] : texts) Labelled(form, label).setText(text);
    host.ClearMessages();
    Button(form, "OK").click();
    return host.Messages().empty() ? std::string() : host.LastMessage();
  }

  DialogHost host;
};

QStringList Texts(QWidget& form, const QStringList& labels) {
  QStringList texts;
  for (const QString& label : labels) texts << Labelled(form, label).text();
  return texts;
}

void ExpectLabels(QWidget& form, const QStringList& texts) {
  QStringList all;
  for (QLabel* label : form.findChildren<QLabel*>()) all << label->text();
  for (const QString& text : texts) EXPECT_TRUE(all.contains(text)) << text.toStdString();
}

TEST_F(DenoiseDialogTest, NLMeansShowsConvertsRefusesAndStoresTogether) {
  ProcNLMeans nlm(kNLMeansProcessId);
  auto& form = DialogOf<TFormNLMeans>(nlm);
  EXPECT_EQ(form.windowTitle(), "NLMeans");
  ExpectLabels(form, {"照合ブロックのサイズ（奇数）", "類似ブロックの探索範囲（奇数）",
                      "この値が大きくなるほど平滑化されます。",
                      "注意！　この処理は数分かかる場合があります。"});
  nlm.params.h = 2.5;
  nlm.ShowDialog();
  EXPECT_EQ(Texts(form, {"Block size", "Search size", "h parameter"}),
            (QStringList{"5", "7", "2.5"}));
  // Refusals store nothing; a size that is no integer keeps its value; even sizes pass.
  EXPECT_EQ(Apply(form, {{"Block size", "x"}, {"Search size", "9"}, {"h parameter", "abc"}}),
            "'abc' is not a valid floating point value");
  EXPECT_EQ(Apply(form, {{"h parameter", "0"}}),
            "h parameter × Block size の絶対値を 1 以上にして下さい。");
  EXPECT_EQ(Apply(form, {{"h parameter", "3"}, {"Search size", "2048"}}),
            "Block size と Search size には 1～2047 の値を入力して下さい。");
  EXPECT_EQ(nlm.params.searchSize, 7);
  EXPECT_EQ(Apply(form, {{"Block size", "x"}, {"Search size", "10"}}), "");
  EXPECT_FALSE(form.IsVisible());
  EXPECT_EQ(std::tuple(nlm.params.blockSize, nlm.params.searchSize, nlm.params.h),
            std::tuple(5, 10, 3.0));
}

TEST_F(DenoiseDialogTest, TotalVariationShowsConvertsRefusesAndStoresTogether) {
  ProcTotalVariation tv(kTotalVariationProcessId);
  auto& form = DialogOf<TFormTotalVariation>(tv);
  EXPECT_EQ(form.windowTitle(), "TotalVariation");
  ExpectLabels(form,
               {"この値が大きい程、テクスチャとして", "削り取られる量が大きくなります。",
                "解に収束させるための計算回数。", "必要最小限に設定して下さい。",
                "１ループの計算における画素値の更新量", "に比例します。1/8以下に設定して下さい。"});
  tv.ShowDialog();
  EXPECT_EQ(Texts(form, {"λ=", "ループ回数", "τ="}), (QStringList{"1", "10", "0.125"}));
  EXPECT_EQ(Apply(form, {{"λ=", "2"}, {"ループ回数", "4"}, {"τ=", "t"}}),
            "'t' is not a valid floating point value");
  EXPECT_EQ(Apply(form, {{"τ=", "0.00001"}}), "τ には 0 以下か 1/65536 以上の値を入力して下さい。");
  EXPECT_EQ(Apply(form, {{"τ=", "0.5"}, {"ループ回数", "-1"}}),
            "ループ回数には 0 以上の値を入力して下さい。");
  EXPECT_EQ(Apply(form, {{"ループ回数", "3"}, {"λ=", "1e7"}}),
            "λ には 1000000 以下の値を入力して下さい。");
  EXPECT_EQ(tv.params.loopCount, 10);
  // τ above 1/8 is only advised against; a loop count that is no integer becomes 10.
  EXPECT_EQ(Apply(form, {{"λ=", "-2"}, {"ループ回数", "many"}}), "");
  EXPECT_EQ(std::tuple(tv.params.lambda, tv.params.loopCount, tv.params.tau),
            std::tuple(-2.0, 10, 0.5));
}

}  // namespace
}  // namespace kandrel::testing
