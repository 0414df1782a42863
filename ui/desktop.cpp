#include "ui/desktop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "blocks/all_kinds.h"
#include "process/proc_module.h"
#include "ui/app_folders.h"
#include "ui/form_image_win.h"
#include "ui/form_time_pallete.h"
#include "ui/main_form.h"
#include "ui/qt_host.h"

namespace kandrel {

namespace {

constexpr int kScreenshotSettleMs = 1500;

// While the application object is made, Qt's messages are held back: when no platform can be
// opened (no display) Qt ends with a fatal message and an abort, and the user should see one
// plain line and a failure code instead.
std::vector<std::pair<QtMsgType, QString>> g_heldMessages;
QtMessageHandler g_previousHandler = nullptr;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtFatalMsg) {
    g_heldMessages.emplace_back(type, text);
    return;
  }
  std::fputs(kNoDisplayMessage, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::_Exit(2);
}

// The application object, or the end of the program when there is no display.
std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv) {
  g_previousHandler = qInstallMessageHandler(HoldStartupMessage);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(g_previousHandler);
  for (const auto& [type, text] : g_heldMessages) {
    const QMessageLogContext context;
    qt_message_output(type, context, text);
  }
  g_heldMessages.clear();
  return application;
}

// Steps a frame, lets the windows paint, photographs the screen and ends the program.
void ScheduleScreenshot(TForm1& mainForm, const QString& path, int& exitCode) {
  QTimer::singleShot(kScreenshotSettleMs, &mainForm, [&mainForm, path, &exitCode] {
    mainForm.ControllerWindow().ShowController(mainForm.frameGeometry());
    const int frame = mainForm.Controller().StepAll();
    QTimer::singleShot(kScreenshotSettleMs, &mainForm, [&mainForm, path, frame, &exitCode] {
      const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
      exitCode = frame != 0 ? 1 : (screen.save(path, "PNG") ? 0 : 2);
      // No questions on the way out: the screenshot run changes nothing the user keeps.
      if (mainForm.Root() != nullptr) mainForm.Root()->SetModified(false);
      mainForm.close();
    });
  });
}

}  // namespace

int RunDesktop(int argc, char** argv, const std::vector<std::string>& arguments) {
  const std::unique_ptr<QApplication> application = CreateApplication(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kandrel"));
  QtHost host;
  SetHost(&host);
  int exitCode = 0;
  {
    std::unique_ptr<TForm1> mainForm;
    try {
      RegisterAllKinds();
      mainForm = std::make_unique<TForm1>(AppFolders::FromEnvironment());
      host.SetMessageParent(mainForm.get());
      mainForm->show();
      QString screenshot;
      bool run = false;
      for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--screenshot" && i + 1 < arguments.size())
          screenshot = QString::fromStdString(arguments[++i]);
        else if (arguments[i] == "--run")
          run = true;
        else
          mainForm->OpenFile(arguments[i]);
      }
      if (!screenshot.isEmpty()) ScheduleScreenshot(*mainForm, screenshot, exitCode);
      if (run)
        QTimer::singleShot(0, mainForm.get(), [form = mainForm.get()] { form->RunCommand(); });
    } catch (const std::exception& error) {
      QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromUtf8(error.what()));
      exitCode = 2;
    }
    if (mainForm != nullptr) {
      const int loopResult = QApplication::exec();
      if (exitCode == 0) exitCode = loopResult;
    }
    host.SetMessageParent(nullptr);
  }
  DestroyToolWindows();
  SetHost(nullptr);
  return exitCode;
}

}  // namespace kandrel
