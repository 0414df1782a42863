// The super-resolution dialog as a real widget: the dictionary shown as folder and name, the file
// box it opens, the refusal of an empty name, and the reset that loads the chosen dictionary.
#include <gtest/gtest.h>

#include "blocks/analysis/sr_dictionary.h"
#include "tests/support/kandrel_test.h"
#include "tests/ui/dialog_probes.h"
#include "ui/form_super_resolution.h"

namespace kandrel::testing {
namespace {

using SuperResolutionDialogTest = DialogTest;

TEST_F(SuperResolutionDialogTest, ShowsBrowsesRefusesAnEmptyNameAndLoadsOnApply) {
  TempDir dir;
  DictionaryHeader header;
  header.scaleX = header.scaleY = header.patchWidth = header.patchHeight = 3;
  header.stepX = header.stepY = 1;
  auto root = std::make_unique<CNode>();
  root->key = root->value = KVector<float>(9);
  FileStream file;
  ASSERT_TRUE(file.Open(dir.File("three.dic"), FileStream::Mode::kWrite));
  WriteDictionary(header, CBiTree(std::move(root)), file);
  ASSERT_TRUE(file.Close());

  ProcSuperResolution process(kSuperResolutionProcessId);
  auto& form = DialogOf<TFormSuperResolution>(process);
  EXPECT_EQ(form.windowTitle(), "超解像");
  process.params.dictionaryPath = dir.File("none/SR.dic");
  process.ShowDialog();
  EXPECT_EQ(Labelled(form, "パス名").text().toStdString(), dir.File("none/"));
  EXPECT_TRUE(Labelled(form, "パス名").isReadOnly());
  EXPECT_EQ(Labelled(form, "辞書ファイル名").text(), "SR.dic");

  Labelled(form, "辞書ファイル名").clear();
  Button(form, "OK").click();
  EXPECT_EQ(host.LastMessage(), "ファイル名を指定して下さい。");

  host.QueueFileAnswer(dir.File("three.dic"));
  Button(form, "参照...").click();
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  const FileBoxRequest& asked = host.FileBoxesAsked()[0];
  EXPECT_EQ(asked.filter, "*.dic|*.dic");
  EXPECT_EQ(asked.defaultExtension, "dic");
  EXPECT_EQ(asked.initialDirectory, dir.File("none/"));
  EXPECT_EQ(asked.initialName, "NoName");
  EXPECT_EQ(Labelled(form, "辞書ファイル名").text(), "three.dic");
  Button(form, "OK").click();
  EXPECT_EQ(process.params.dictionaryPath, dir.File("three.dic"));
  EXPECT_EQ(process.Engine().Header().scaleX, 3);
}

}  // namespace
}  // namespace kandrel::testing
