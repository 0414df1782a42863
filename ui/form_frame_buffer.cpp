#include "ui/form_frame_buffer.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "blocks/pixel/frame_control.h"
#include "ui/form_fields.h"

namespace kandrel {

namespace {

bool WithinBufferSize(int length) { return length >= 1 && length <= 2048; }

}  // namespace

TFormFrameBuffer::TFormFrameBuffer(ProcFrameBuffer& process)
    : TFormVirtual(process), process_(process), type_(new QComboBox), size_(new ImageSizePanel) {
  setWindowTitle(QStringLiteral("フレームバッファ"));
  type_->addItems({QStringLiteral("Int"), QStringLiteral("Double"), QStringLiteral("Complex"),
                   QStringLiteral("Int 3ch"), QStringLiteral("Double 3ch"),
                   QStringLiteral("Complex 3ch")});
  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(NewBuddyLabel(QStringLiteral("型"), *type_));
  typeRow->addWidget(type_, 1);
  Body().addLayout(typeRow);
  Body().addWidget(size_);
}

void TFormFrameBuffer::ParamsToControls() {
  const ProcFrameBuffer::Params& p = process_.params;
  // A type no dialog stores leaves the box as it is.
  if (p.bufferType >= 1 && p.bufferType <= type_->count()) type_->setCurrentIndex(p.bufferType - 1);
  size_->Show(p.bufferWidth, p.bufferHeight);
}

int TFormFrameBuffer::ControlsToParams() {
  ProcFrameBuffer::Params block = process_.params;
  block.bufferType = type_->currentIndex() + 1;
  block.bufferWidth = size_->ReadWidth();
  block.bufferHeight = size_->ReadHeight();
  if (!WithinBufferSize(block.bufferWidth) || !WithinBufferSize(block.bufferHeight)) {
    GetHost().ShowMessage("サイズが 1～2048 を超えます。");
    return 1;
  }
  process_.params = block;
  return 0;
}

}  // namespace kandrel
