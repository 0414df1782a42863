#include "ui/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <cstring>

#include "image/picture.h"
#include "ui/form_factory.h"
#include "ui/form_image_win.h"
#include "ui/form_input_error.h"
#include "ui/form_module.h"
#include "ui/form_no_param.h"
#include "ui/form_query.h"
#include "ui/form_verilog.h"

namespace kandrel {

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';'))
      if (!pattern.trimmed().isEmpty()) patterns << pattern.trimmed();
    entries << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return entries.join(";;");
}

QtHost::QtHost() = default;
QtHost::~QtHost() = default;

void QtHost::ShowMessage(const std::string& text) {
  const QString message = QString::fromStdString(text);
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) {  // on the way out, after the windows are gone
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  if (QThread::currentThread() == application->thread()) {
    ShowMessageNow(message);
    return;
  }
  // A channel thread must not wait for the interface thread, which may be joining it: the box
  // comes up once the frame is done.
  QMetaObject::invokeMethod(application, [this, message] { ShowMessageNow(message); },
                            Qt::QueuedConnection);
}

void QtHost::ShowMessageNow(const QString& text) {
  QMessageBox::information(messageParent_, QApplication::applicationName(), text);
}

void QtHost::ShowInputError(const std::vector<std::string>& lines) {
  if (!inputError_) inputError_ = std::make_unique<TFormInputError>();
  inputError_->SetLines(lines);
  inputError_->exec();
}

std::unique_ptr<ProcessDialog> QtHost::CreateParameterDialog(ProcVirtual& process,
                                                             const std::string& formClass) {
  return CreateForm(formClass, process);
}

std::unique_ptr<ProcessDialog> QtHost::CreateNoParamDialog(ProcVirtual& process) {
  return std::make_unique<TFormNoParam>(process);
}

std::unique_ptr<ModuleEditor> QtHost::CreateModuleEditor(ProcModule& module) {
  return std::make_unique<TFormModule>(module);
}

std::unique_ptr<ProcessDialog> QtHost::CreateVerilogWindow(ProcModule& module) {
  return std::make_unique<TFormVerilog>(module);
}

std::unique_ptr<ImageWindow> QtHost::CreateImageWindow(Image& image) {
  return std::make_unique<TFormImageWin>(&image);
}

namespace {

std::optional<std::string> RunFileBox(const FileBoxRequest& request, QWidget* parent, bool save) {
  QFileDialog box(parent, QString::fromStdString(request.title),
                  QString::fromStdString(request.initialDirectory), QtFileFilter(request.filter));
  box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  box.setFileMode(!save && request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!request.defaultExtension.empty())
    box.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (!request.initialName.empty()) box.selectFile(QString::fromStdString(request.initialName));
  if (save && !request.confirmOverwrite) box.setOption(QFileDialog::DontConfirmOverwrite);
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return std::nullopt;
  return box.selectedFiles().front().toStdString();
}

}  // namespace

std::optional<std::string> QtHost::AskOpenFile(const FileBoxRequest& request) {
  return RunFileBox(request, messageParent_, false);
}

std::optional<std::string> QtHost::AskSaveFile(const FileBoxRequest& request) {
  return RunFileBox(request, messageParent_, true);
}

int QtHost::AskQuery(const QueryRequest& request) {
  TFormQuery query(request, messageParent_);
  return query.Ask();
}

bool QtHost::ClipboardHasBitmap() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasImage();
}

bool QtHost::ReadClipboardBitmap(Picture& picture) {
  const QImage image =
      QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) return false;
  picture.Create(image.width(), image.height());
  const auto lineBytes = static_cast<std::size_t>(image.width()) * 4;
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(picture.ScanLine(y), image.constScanLine(y), lineBytes);
  return true;
}

void QtHost::ClearClipboard() { QGuiApplication::clipboard()->clear(); }

void QtHost::ProcessPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace kandrel
