// The module editor as real widgets on the headless host, driven by simulated mouse input:
// linking and unlinking by drag, the loop refusal, moving icons, selecting icons and marking
// outputs, deleting with confirmations, the port dialog, renaming and the window's placement.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <stdexcept>

#include "process/process_file.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"
#include "hdl/verilog.h"
#include "ui/form_module.h"
#include "ui/form_verilog.h"
#include "ui/module_dialogs.h"

namespace kandrel::testing {
namespace {

// Gives every module the real editor window and the real Verilog window.
class EditorHost : public HeadlessHost {
 public:
  std::unique_ptr<ModuleEditor> CreateModuleEditor(ProcModule& module) override {
    return std::make_unique<TFormModule>(module);
  }
  std::unique_ptr<ProcessDialog> CreateVerilogWindow(ProcModule& module) override {
    return std::make_unique<TFormVerilog>(module);
  }
};

// The editor's menu command of that text.
QAction& Command(TFormModule& form, const QString& text) {
  for (QAction* action : form.findChildren<QAction*>())
    if (action->text() == text) return *action;
  throw std::logic_error("no command " + text.toStdString());
}

QPoint CentreOn(const TFormModule& form, const QWidget& part) {
  return part.mapTo(form.Canvas(), part.rect().center());
}

// Presses input k of icon, moves to the canvas point and releases there; the button keeps the
// mouse for the whole drag, as it would under a real pointer.
void DragInput(TFormModule& form, TProcFrame& icon, int k, QPoint canvasTarget) {
  QPushButton* button = icon.InputButton(k);
  QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
  const QPoint target = button->mapFrom(form.Canvas(), canvasTarget);
  QTest::mouseMove(button, target);
  QTest::mouseRelease(button, Qt::LeftButton, {}, target);
}

void ClickOutput(TProcFrame& icon, int k, Qt::KeyboardModifiers modifiers = {}) {
  QTest::mouseClick(icon.OutputPanel(k), Qt::LeftButton, modifiers);
}

class ModuleEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host);
    module = std::make_unique<ProcModule>();
    form = dynamic_cast<TFormModule*>(module->Editor());
    ASSERT_NE(form, nullptr);
    source = AddChild(*module, kTestSourceId);
    scale = AddChild(*module, kTestScaleId);
    add = AddChild(*module, kTestAddId);
    source->SetIconPosition(40, 20);
    scale->SetIconPosition(200, 20);
    add->SetIconPosition(360, 20);
    form->Show();
    form->RefreshEditor();
    source->Step();
    module->SetModified(false);
  }
  void TearDown() override {
    SetModalRunner({});
    module.reset();
    SetHost(nullptr);
  }

  QPoint OutputPoint(TProcFrame& icon, int k) const {
    return CentreOn(*form, *icon.OutputPanel(k));
  }
  ProcVirtual* SourceOf(ProcVirtual* p, int k) const { return p->GetInputLink(k).source; }

  EditorHost host;
  std::unique_ptr<ProcModule> module;
  TFormModule* form = nullptr;
  ProcVirtual* source = nullptr;
  ProcVirtual* scale = nullptr;
  ProcVirtual* add = nullptr;
};

TEST_F(ModuleEditorTest, DraggingFromAnInputLinksUnlinksOrRefuses) {
  TProcFrame& sourceIcon = *form->Icon(0);
  TProcFrame& addIcon = *form->Icon(2);

  DragInput(*form, addIcon, 1, OutputPoint(sourceIcon, 0));
  EXPECT_EQ(add->GetInputLink(1), (ProcessLink{source, 0}));
  EXPECT_EQ(source->GetOutputRefCount(0), 1);
  EXPECT_TRUE(module->IsModified());
  EXPECT_FALSE(form->IsDraggingWire());

  // A click on the button leaves the link and shows the image arriving there.
  source->GetOutput(0)->HideWindow();
  QTest::mouseClick(addIcon.InputButton(1), Qt::LeftButton);
  EXPECT_EQ(SourceOf(add, 1), source);
  EXPECT_TRUE(source->GetOutput(0)->IsWindowVisible());

  // Into empty canvas: unlinked.
  module->SetModified(false);
  DragInput(*form, addIcon, 1, {300, 300});
  EXPECT_EQ(SourceOf(add, 1), nullptr);
  EXPECT_EQ(source->GetOutputRefCount(0), 0);
  EXPECT_TRUE(module->IsModified());

  // Module inputs and outputs link like any other ports.
  DragInput(*form, addIcon, 0, OutputPoint(*form->InPorts(), 1));
  EXPECT_EQ(add->GetInputLink(0), (ProcessLink{module->InputPort(), 1}));
  DragInput(*form, *form->OutPorts(), 2, OutputPoint(sourceIcon, 0));
  EXPECT_EQ(module->OutputPort()->GetInputLink(2), (ProcessLink{source, 0}));

  // Onto its own output: the loop message, nothing linked.
  EXPECT_TRUE(host.Messages().empty());
  DragInput(*form, *form->Icon(1), 0, OutputPoint(*form->Icon(1), 0));
  EXPECT_EQ(host.LastMessage(), "ループ接続はFrameBufferを経由して下さい。");
  EXPECT_EQ(SourceOf(scale, 0), nullptr);
}

TEST_F(ModuleEditorTest, WiresArePaintedInTheColourOfTheirType) {
  auto pixelAt = [this](QPoint p) { return form->Canvas()->grab().toImage().pixelColor(p); };
  const QColor background = pixelAt({170, 51});
  // Input 1 of the scaler (200, 51) fed by the source's output end (146, 51): a straight wire.
  scale->Connect(0, source, 0);
  form->Repaint();
  EXPECT_EQ(pixelAt({170, 51}), QColor(128, 128, 128));  // Float 1ch: grey
  EXPECT_EQ(pixelAt({170, 45}), background);
  // The scaler has not run: its wire takes the type inferred from its input.
  add->Connect(0, scale, 0);
  form->Repaint();
  EXPECT_EQ(pixelAt({330, 51}), QColor(128, 128, 128));
}

TEST_F(ModuleEditorTest, IconsMoveToEvenPositionsKeptInTheProcess) {
  TProcFrame& icon = *form->Icon(1);
  const QPoint body(53, 30);  // between the status field and the output panels
  QTest::mousePress(&icon, Qt::LeftButton, {}, body);
  QTest::mouseMove(&icon, body + QPoint(5, 0));
  QTest::mouseRelease(&icon, Qt::LeftButton, {}, body + QPoint(5, 0));
  EXPECT_EQ(scale->IconX(), 206);
  EXPECT_EQ(scale->IconY(), 20);
  EXPECT_EQ(icon.pos(), QPoint(206, 20));
  EXPECT_TRUE(module->IsModified());
  EXPECT_TRUE(form->IsIconSelected(1));

  // Dragged past the left edge, the icon stops at the canvas edge.
  QTest::mousePress(&icon, Qt::LeftButton, {}, body);
  QTest::mouseMove(&icon, body - QPoint(500, 0));
  QTest::mouseRelease(&icon, Qt::LeftButton, {}, body - QPoint(500, 0));
  EXPECT_EQ(scale->IconX(), 0);
  EXPECT_EQ(form->Icon(1)->x(), 0);
}

TEST_F(ModuleEditorTest, ClicksSelectIconsAndMarkOutputs) {
  QTest::mousePress(form->Icon(0), Qt::LeftButton, {}, {53, 30});
  EXPECT_TRUE(form->IsIconSelected(0));
  EXPECT_FALSE(form->IsIconSelected(2));  // the last added was selected before
  QTest::mousePress(form->Icon(0), Qt::LeftButton, Qt::ShiftModifier, {53, 30});
  EXPECT_FALSE(form->IsIconSelected(0));
  EXPECT_EQ(ActiveModule(), module.get());

  scale->Connect(0, source, 0);
  scale->Step();
  form->RefreshEditor();
  TProcFrame& sourceIcon = *form->Icon(0);
  TProcFrame& scaleIcon = *form->Icon(1);

  ClickOutput(sourceIcon, 0);
  EXPECT_TRUE(form->IsOutputMarked(0, 0));
  EXPECT_FALSE(form->IsOutputMarked(1, 0));
  EXPECT_EQ(sourceIcon.OutputPanel(0)->palette().color(QPalette::Window), QColor(0, 255, 0));
  ClickOutput(scaleIcon, 0, Qt::ShiftModifier);
  EXPECT_TRUE(form->IsOutputMarked(0, 0));
  EXPECT_TRUE(form->IsOutputMarked(1, 0));
  ClickOutput(scaleIcon, 0, Qt::ControlModifier);
  EXPECT_TRUE(form->IsOutputMarked(0, 0));
  EXPECT_FALSE(form->IsOutputMarked(1, 0));
  EXPECT_NE(scaleIcon.OutputPanel(0)->palette().color(QPalette::Window), QColor(0, 255, 0));
  ClickOutput(scaleIcon, 0);
  EXPECT_FALSE(form->IsOutputMarked(0, 0));
  EXPECT_TRUE(form->IsOutputMarked(1, 0));
  EXPECT_TRUE(scale->GetOutput(0)->IsWindowVisible());

  // The adder has made nothing: its output panel is grey and cannot be marked.
  EXPECT_EQ(form->Icon(2)->OutputPanel(0)->text(), "未作成");
  ClickOutput(*form->Icon(2), 0);
  EXPECT_FALSE(form->IsOutputMarked(2, 0));
  EXPECT_TRUE(form->IsOutputMarked(1, 0));

  // The marked output is what the next inserted process reads.
  ASSERT_EQ(module->InsertNewProcess(CreateById(kTestScaleId)), 0);
  EXPECT_EQ(module->Child(3)->GetInputLink(0), (ProcessLink{scale, 0}));
}

TEST_F(ModuleEditorTest, DeleteAsksForEachSelectedProcessFromTheLast) {
  scale->Connect(0, source, 0);
  form->SelectOnlyIcon(0);
  form->SetIconSelected(2, true);
  QStringList asked;
  SetModalRunner([&](QDialog& dialog) {
    auto& query = dynamic_cast<TFormQueryDelProc&>(dialog);
    EXPECT_EQ(query.windowTitle(), "削除");
    asked << query.ProcessName();
    query.DeleteButton()->click();
    return query.result();
  });
  form->Delete();
  EXPECT_EQ(asked, (QStringList{"Add", "Source"}));
  // The source feeds the scaler and is refused; the adder is gone.
  EXPECT_EQ(host.LastMessage(), "Sourceは他のプロセスから参照されているため、削除できません。");
  ASSERT_EQ(module->ChildCount(), 2);
  EXPECT_EQ(module->Child(0), source);
  EXPECT_EQ(module->Child(1), scale);
  EXPECT_EQ(form->IconCount(), 2);
  EXPECT_FALSE(form->Icon(2)->isVisible());

  SetModalRunner([](QDialog& dialog) {
    dynamic_cast<TFormQueryDelProc&>(dialog).CancelButton()->click();
    return dialog.result();
  });
  form->SelectOnlyIcon(1);
  form->Delete();
  EXPECT_EQ(module->ChildCount(), 2);
}

TEST_F(ModuleEditorTest, CutAndPasteMoveAProcessToTheEnd) {
  scale->SetName("Blur");
  form->SelectOnlyIcon(1);
  SetModalRunner([](QDialog& dialog) {
    dynamic_cast<TFormQueryDelProc&>(dialog).DeleteButton()->click();
    return dialog.result();
  });
  form->Cut();
  ASSERT_EQ(module->ChildCount(), 2);
  EXPECT_EQ(module->Child(1), add);

  form->Paste();
  ASSERT_EQ(module->ChildCount(), 3);
  EXPECT_EQ(module->Child(2)->Name(), "Blur");
  EXPECT_EQ(module->Child(2)->Status(), "Rst");
  EXPECT_TRUE(form->IsIconSelected(2));
  EXPECT_FALSE(form->IsIconSelected(1));
  EXPECT_TRUE(form->Icon(2)->isVisible());
}

TEST_F(ModuleEditorTest, PortDialogEnablesTypesBelowTheCountsAndTheModuleRefusesUsedPorts) {
  scale->Connect(0, module->InputPort(), 1);  // module input 2 is read inside
  module->InputPort()->SetOutputType(0, 4);
  SetModalRunner([&](QDialog& dialog) {
    auto& ports = dynamic_cast<TFormInOutCount&>(dialog);
    EXPECT_EQ(ports.InputCount()->currentText(), "3");
    EXPECT_EQ(ports.InputType(0)->currentText(), "整数型 × 3ch");
    EXPECT_EQ(ports.InputCount()->count(), 11);
    ports.InputCount()->setCurrentIndex(2);
    EXPECT_TRUE(ports.InputType(1)->isEnabled());
    for (int i = 2; i < kMaxPorts; ++i) EXPECT_FALSE(ports.InputType(i)->isEnabled()) << i;
    ports.InputCount()->setCurrentIndex(1);
    EXPECT_FALSE(ports.InputType(1)->isEnabled());
    ports.InputType(0)->setCurrentIndex(2);
    ports.OutputCount()->setCurrentIndex(2);
    ports.OutputType(1)->setCurrentIndex(3);
    ports.OkButton()->click();
    return dialog.result();
  });
  form->EditPortCounts();
  EXPECT_EQ(host.LastMessage(), "入力端子2番が接続されています。");
  EXPECT_EQ(module->InputCount(), 3);
  EXPECT_EQ(module->InputPort()->InputCount(), 3);
  EXPECT_EQ(module->InputPort()->GetOutputType(0), 2);
  EXPECT_EQ(module->OutputCount(), 2);
  EXPECT_EQ(module->OutputPort()->GetOutputType(1), 3);
  EXPECT_FALSE(form->OutPorts()->InputButton(2)->isVisibleTo(form->OutPorts()));
}

TEST_F(ModuleEditorTest, NamesAreEditedInPlaceAndByDialog) {
  QLineEdit& cell = *form->Icon(1)->NameCell();
  cell.clear();
  QTest::keyClicks(&cell, "Blur");
  EXPECT_EQ(scale->Name(), "Blur");
  EXPECT_TRUE(module->IsModified());

  // While the cell has the focus, refreshes leave what is being typed.
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form));
  cell.setFocus();
  ASSERT_TRUE(cell.hasFocus());
  cell.setText("Blu");
  form->RefreshEditor();
  EXPECT_EQ(cell.text(), "Blu");
  cell.clearFocus();
  form->RefreshEditor();
  EXPECT_EQ(cell.text(), "Blur");

  const QString oldName = QString::fromStdString(module->Name());
  SetModalRunner([&](QDialog& dialog) {
    auto& rename = dynamic_cast<TFormChangeName&>(dialog);
    EXPECT_EQ(rename.windowTitle(), "プロセス名の変更");
    EXPECT_EQ(rename.NameEdit()->text(), oldName);
    rename.NameEdit()->setText("Stage");
    rename.OkButton()->click();
    return dialog.result();
  });
  form->RenameModule();
  EXPECT_EQ(module->Name(), "Stage");
  EXPECT_EQ(form->windowTitle(), "Stage");
}

TEST_F(ModuleEditorTest, WindowsCascadeAndKeepTheirGeometryOnlyOncePlaced) {
  ProcModule second;
  auto& secondForm = dynamic_cast<TFormModule&>(*second.Editor());
  EXPECT_EQ(secondForm.Slot(), form->Slot() + 1);
  const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
  const int cascade = secondForm.Slot() % 10;
  EXPECT_EQ(secondForm.pos(), workArea.topLeft() + QPoint(cascade * 30, cascade * 20 + 495));
  // Never shown and never loaded: nothing to store in a file.
  EXPECT_EQ(secondForm.Geometry(), DialogGeometry{});
  secondForm.RestoreGeometry({120, 140, 500, 300}, true);
  EXPECT_EQ(secondForm.Geometry(), (DialogGeometry{120, 140, 500, 300}));
  EXPECT_NE(form->Geometry(), DialogGeometry{});
}

TEST_F(ModuleEditorTest, DroppedFilesAreInsertedInOrder) {
  TempDir dir;
  for (const char* name : {"First", "Second"}) {
    source->SetName(name);
    ASSERT_FALSE(SaveProcessFile(source, dir.File(std::string(name) + ".knd")).empty());
  }
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("Second.knd"))),
                QUrl::fromLocalFile(QString::fromStdString(dir.File("First.knd")))});
  // Qt delivers a drop only to the widget that accepted the drag entering it.
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(form, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(form, &drop);
  ASSERT_EQ(module->ChildCount(), 5) << host.LastMessage();
  EXPECT_EQ(module->Child(3)->Name(), "Second");
  EXPECT_EQ(module->Child(4)->Name(), "First");
  EXPECT_EQ(form->IconCount(), 5);
}

// The two Verilog commands: the window shows the module's text as the file would hold it and
// follows the graph; the file goes where the box says, named after the module.
TEST_F(ModuleEditorTest, TheVerilogCommandsShowAndSaveTheText) {
  module->SetName("Demo 1");
  QAction& show = Command(*form, "Verilogを表示");
  QAction& save = Command(*form, "Verilogファイルを出力...");
  EXPECT_TRUE(show.isVisible() && show.isEnabled() && save.isVisible() && save.isEnabled());
  show.trigger();
  auto* window = dynamic_cast<TFormVerilog*>(module->VerilogWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Demo 1");
  QString expected = QString::fromStdString(VerilogText(*module)).replace("\r\n", "\n");
  expected.chop(1);
  EXPECT_EQ(window->Text(), expected);
  module->SetName("Demo 2");
  window->Refresh();
  EXPECT_TRUE(window->Text().startsWith("//===") && window->Text().contains("module Demo_2("));

  TempDir dir;
  host.QueueFileAnswer(dir.File("chosen.sv"));
  save.trigger();
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  EXPECT_TRUE(host.FileBoxesAsked()[0].initialName.ends_with("Demo_2.sv"));
  const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("chosen.sv"));
  const std::string text = VerilogText(*module);
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace
}  // namespace kandrel::testing
