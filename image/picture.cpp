#include "image/picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdint>

#include "image/parallel.h"
#include "image/replace_file.h"
#include "image/vector_clones.h"

namespace kandrel {

struct Picture::Impl {
  QImage image;
};

Picture::Picture() : impl_(std::make_unique<Impl>()) {}
Picture::~Picture() = default;
Picture::Picture(const Picture& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
Picture& Picture::operator=(const Picture& other) {
  if (this != &other) *impl_ = *other.impl_;
  return *this;
}
Picture::Picture(Picture&&) noexcept = default;
Picture& Picture::operator=(Picture&&) noexcept = default;

namespace {

// Palette, grey, 16-bit and alpha pictures all become 8-bit RGB; alpha is dropped, not blended.
bool TakeDecoded(const QImage& decoded, QImage& into) {
  if (decoded.isNull()) return false;
  into = decoded.convertToFormat(QImage::Format_RGB32);
  return !into.isNull();
}

}  // namespace

bool Picture::Load(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(false);
  QImage decoded;
  return reader.read(&decoded) && TakeDecoded(decoded, impl_->image);
}

bool Picture::SaveBmp(const std::string& path) const {
  const std::vector<std::uint8_t> bytes = EncodeBmp();
  if (bytes.empty()) return false;
  std::string error;
  return ReplaceFile(
      path,
      [&bytes](ByteStream& stream) {
        stream.Write(bytes.data(), bytes.size());
        return !stream.WriteFailed();
      },
      error);
}

bool Picture::LoadBmp(const std::vector<std::uint8_t>& bytes) {
  QImage decoded;
  decoded.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
  return TakeDecoded(decoded, impl_->image);
}

std::vector<std::uint8_t> Picture::EncodeBmp() const {
  QByteArray encoded;
  QBuffer buffer(&encoded);
  if (impl_->image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
      !impl_->image.save(&buffer, "BMP"))
    return {};
  return {encoded.begin(), encoded.end()};
}

void Picture::Create(int width, int height) {
  // A display refreshed many times a second keeps its bitmap instead of reallocating it.
  QImage& image = impl_->image;
  if (image.width() == width && image.height() == height && image.format() == QImage::Format_RGB32)
    return;
  image = QImage(width, height, QImage::Format_RGB32);
}

int Picture::Width() const { return impl_->image.width(); }
int Picture::Height() const { return impl_->image.height(); }
std::uint8_t* Picture::ScanLine(int y) { return impl_->image.scanLine(y); }
const std::uint8_t* Picture::ScanLine(int y) const { return impl_->image.constScanLine(y); }
int Picture::BytesPerLine() const { return static_cast<int>(impl_->image.bytesPerLine()); }

PictureLines PreparePictureFor(const ByteArray& p0, Picture& picture) {
  picture.Create(p0.Width(), p0.Height());
  // A bitmap still shared with a painter is copied here, once: asking for a writable line
  // from several threads at once would race on that copy.
  if (picture.IsEmpty()) return {};
  return {picture.ScanLine(0), picture.BytesPerLine()};
}

KANDREL_VECTOR_CLONES void PlanesToPictureRows(const ByteArray& p0, const ByteArray& p1,
                                               const ByteArray& p2, PictureLines lines,
                                               int rowBegin, int rowEnd) {
  // Whole 0xffRRGGBB pixels, as the 32-bit bitmap stores them (its lines are 32-bit aligned).
  const int width = p0.Width();
  for (int y = rowBegin; y < rowEnd; ++y) {
    const std::uint8_t* r = p0[y];
    const std::uint8_t* g = p1[y];
    const std::uint8_t* b = p2[y];
    auto* line = reinterpret_cast<std::uint32_t*>(lines[y]);
    for (int x = 0; x < width; ++x)
      line[x] = 0xFF000000u | std::uint32_t{r[x]} << 16 | std::uint32_t{g[x]} << 8 | b[x];
  }
}

void PlanesToPicture(const ByteArray& p0, const ByteArray& p1, const ByteArray& p2,
                     Picture& picture) {
  const PictureLines lines = PreparePictureFor(p0, picture);
  ForEachRowBand(p0.Height(), p0.Width(), [&](int rowBegin, int rowEnd) {
    PlanesToPictureRows(p0, p1, p2, lines, rowBegin, rowEnd);
  });
}

void PictureToPlanes(const Picture& picture, IntArray& a0, IntArray& a1, IntArray& a2) {
  const int width = picture.Width(), height = picture.Height();
  a0.Resize(width, height);
  a1.Resize(width, height);
  a2.Resize(width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* line = picture.ScanLine(y);
    int* r = a0[y];
    int* g = a1[y];
    int* b = a2[y];
    for (int x = 0; x < width; ++x, line += 4) {
      b[x] = line[0];
      g[x] = line[1];
      r[x] = line[2];
    }
  }
}

}  // namespace kandrel
