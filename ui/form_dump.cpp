#include "ui/form_dump.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cstdio>
#include <memory>

#include "image/display.h"
#include "image/image.h"
#include "process/host.h"
#include "ui/image_view_rules.h"

namespace kandrel {

void MakeToolWindow(QWidget& tool, const QString& title) {
  tool.setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  tool.setWindowTitle(title);
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  tool.move(work.right() + 1 - tool.frameGeometry().width(), work.top());
}

void ShowToolWindowBeside(QWidget& tool, const QWidget* anchor) {
  if (anchor != nullptr)
    tool.move(ToolWindowPosition(anchor->frameGeometry(), tool.frameGeometry().size(),
                                 QGuiApplication::primaryScreen()->availableGeometry()));
  tool.show();
}

// The cells, drawn directly: a table widget of one item per pixel would be far too heavy for a
// full-HD frame. Row 0 and column 0 are headers that stay in place.
class DumpGrid : public QWidget {
 public:
  explicit DumpGrid(TFormDump& dump) : dump_(dump) {
    setMinimumSize(kDumpCellPitch * 9, kDumpCellPitch * 9);
  }

  int VisibleColumns() const { return std::max(1, width() / kDumpCellPitch - 1); }
  int VisibleRows() const { return std::max(1, height() / kDumpCellPitch - 1); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const ImageDisplay* display = dump_.ShownDisplay();
    if (display == nullptr) return;
    QFont headerFont = font();
    headerFont.setPointSize(9);
    QFont valueFont = font();
    valueFont.setPointSize(8);
    char text[16];
    painter.setFont(headerFont);
    for (int k = 0; k <= VisibleColumns() && dump_.FirstColumn() + k < dump_.ColumnCount(); ++k) {
      std::snprintf(text, sizeof text, "%3d", dump_.FirstColumn() + k - 1);
      DrawHeader(painter, Cell(k + 1, 0), text);
    }
    for (int k = 0; k <= VisibleRows() && dump_.FirstRow() + k < dump_.RowCount(); ++k) {
      std::snprintf(text, sizeof text, "%3d", dump_.FirstRow() + k - 1);
      DrawHeader(painter, Cell(0, k + 1), text);
    }
    DrawHeader(painter, Cell(0, 0), "");
    painter.setFont(valueFont);
    for (int j = 0; j <= VisibleRows() && dump_.FirstRow() + j < dump_.RowCount(); ++j)
      for (int i = 0; i <= VisibleColumns() && dump_.FirstColumn() + i < dump_.ColumnCount(); ++i)
        DrawValues(painter, Cell(i + 1, j + 1), *display, dump_.FirstColumn() + i - 1,
                   dump_.FirstRow() + j - 1);
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    pressAt_ = event->position().toPoint();
    pressCell_ = {dump_.FirstColumn(), dump_.FirstRow()};
    dragging_ = true;
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!dragging_) return;
    const QPoint delta = event->position().toPoint() - pressAt_;
    dump_.SetFirstCell(DumpFirstVisibleAfterPan(pressCell_.x(), delta.x(), dump_.ColumnCount()),
                       DumpFirstVisibleAfterPan(pressCell_.y(), delta.y(), dump_.RowCount()));
  }
  void mouseReleaseEvent(QMouseEvent*) override { dragging_ = false; }

 private:
  static QRect Cell(int i, int j) {
    return QRect(i * kDumpCellPitch, j * kDumpCellPitch, kDumpCellSize, kDumpCellSize);
  }

  void DrawHeader(QPainter& painter, const QRect& cell, const char* text) {
    painter.fillRect(cell, palette().button());
    painter.setPen(palette().buttonText().color());
    painter.drawText(cell, Qt::AlignCenter, QString::fromUtf8(text));
  }

  void DrawValues(QPainter& painter, const QRect& cell, const ImageDisplay& display, int x, int y) {
    const Picture& picture = display.GetPicture();
    QColor background(0xC0, 0xC0, 0xC0);  // silver outside the picture
    if (x >= 0 && y >= 0 && x < picture.Width() && y < picture.Height()) {
      const std::uint8_t* p = picture.ScanLine(y) + 4 * x;
      background = QColor(p[2], p[1], p[0]);
    }
    painter.fillRect(cell, background);
    const std::uint32_t bgr = DumpTextColour(static_cast<std::uint32_t>(
        background.red() | background.green() << 8 | background.blue() << 16));
    painter.setPen(QColor(bgr & 0xFF, bgr >> 8 & 0xFF, bgr >> 16 & 0xFF));
    const std::array<std::string, 3> texts = dump_.CellTexts(x, y);
    for (int line = 0; line < 3; ++line)
      if (!texts[line].empty())
        painter.drawText(QRect(cell.left() + 1, cell.top() + 10 * line, cell.width() - 1, 12),
                         Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(texts[line]));
  }

  TFormDump& dump_;
  bool dragging_ = false;
  QPoint pressAt_;
  QPoint pressCell_;
};

TFormDump::TFormDump(QWidget* parent) : QWidget(parent), grid_(new DumpGrid(*this)) {
  auto* controls = new QHBoxLayout;
  const char* channelCaptions[] = {"Ch1", "Ch2", "Ch3"};
  for (int c = 0; c < 3; ++c) {
    channelBoxes_[c] = new QCheckBox(QString::fromUtf8(channelCaptions[c]));
    channelBoxes_[c]->setChecked(true);
    connect(channelBoxes_[c], &QCheckBox::toggled, grid_, qOverload<>(&QWidget::update));
    controls->addWidget(channelBoxes_[c]);
  }
  const QStringList formats[] = {{QStringLiteral("Pixel value"), QStringLiteral("Hexadecimal"),
                                  QStringLiteral("Character code")},
                                 {QStringLiteral("Pixel value")},
                                 {QStringLiteral("Absolute value"), QStringLiteral("Real part"),
                                  QStringLiteral("Imaginary part")}};
  for (int k = 0; k < 3; ++k) {
    formatBoxes_[k] = new QComboBox;
    formatBoxes_[k]->addItems(formats[k]);
    formatBoxes_[k]->setVisible(k == 0);
    connect(formatBoxes_[k], &QComboBox::currentIndexChanged, grid_, qOverload<>(&QWidget::update));
    controls->addWidget(formatBoxes_[k]);
  }
  auto* save = new QPushButton(QStringLiteral("Save text file..."));
  connect(save, &QPushButton::clicked, this, &TFormDump::SaveTextFile);
  controls->addWidget(save);
  controls->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addWidget(grid_, 1);
  resize(kDumpCellPitch * 12, kDumpCellPitch * 12);
  MakeToolWindow(*this, QStringLiteral("Pixel values"));
}

void TFormDump::SetImage(ImageDisplay* display) {
  display_ = display;
  if (display_ != nullptr) {
    const int kind = static_cast<int>(SampleKindOf(display_->GetImage()));
    for (int k = 0; k < 3; ++k) formatBoxes_[k]->setVisible(k == kind);
  }
  SetFirstCell(firstColumn_, firstRow_);
  grid_->update();
}

int TFormDump::ColumnCount() const {
  return display_ != nullptr ? display_->GetImage().Width() + 2 : 2;
}

int TFormDump::RowCount() const {
  return display_ != nullptr ? display_->GetImage().Height() + 2 : 2;
}

void TFormDump::CentreOn(int x, int y) {
  SetFirstCell(DumpFirstVisibleForCentre(x, grid_->VisibleColumns(), ColumnCount()),
               DumpFirstVisibleForCentre(y, grid_->VisibleRows(), RowCount()));
}

void TFormDump::SetFirstCell(int column, int row) {
  firstColumn_ = std::clamp(column, 1, std::max(1, ColumnCount() - 2));
  firstRow_ = std::clamp(row, 1, std::max(1, RowCount() - 2));
  grid_->update();
}

QComboBox* TFormDump::FormatBox() const {
  const SampleKind kind =
      display_ != nullptr ? SampleKindOf(display_->GetImage()) : SampleKind::kInt;
  return formatBoxes_[static_cast<int>(kind)];
}

int TFormDump::Format() const { return std::max(0, FormatBox()->currentIndex()); }

std::array<bool, 3> TFormDump::ChannelsShown() const {
  return {channelBoxes_[0]->isChecked(), channelBoxes_[1]->isChecked(),
          channelBoxes_[2]->isChecked()};
}

std::array<std::string, 3> TFormDump::CellTexts(int x, int y) const {
  if (display_ == nullptr) return {};
  return DumpCellTexts(display_->GetImage(), x, y, Format(), ChannelsShown());
}

void TFormDump::SaveTextFile() {
  if (display_ == nullptr) return;
  FileBoxRequest request;
  request.title = "Save Pixel Values as \".csv\"";
  request.filter = "*.csv|*.csv";
  request.defaultExtension = "csv";
  request.initialName = "PixelValues";
  request.confirmOverwrite = true;
  const std::optional<std::string> path = GetHost().AskSaveFile(request);
  if (!path) return;
  const std::string text = DumpCsvText(display_->GetImage(), Format(), ChannelsShown());
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path->c_str(), "w"), std::fclose);
  const bool written = file != nullptr && std::fputs(text.c_str(), file.get()) >= 0;
  const bool closed = file != nullptr && std::fclose(file.release()) == 0;
  if (!written || !closed) GetHost().ShowMessage(SaveFailureMessage(*path));
}

void TFormDump::wheelEvent(QWheelEvent* event) {
  if (event->angleDelta().y() < 0) hide();
  event->accept();
}

void TFormDump::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Save text file (.csv)..."), this, &TFormDump::SaveTextFile);
  menu.exec(event->globalPos());
}

}  // namespace kandrel
