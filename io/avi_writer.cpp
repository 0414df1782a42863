#include "io/avi_writer.h"

#include <cmath>
#include <limits>

#include "image/picture.h"

namespace kandrel {

namespace {

// Little-endian fields appended one by one.
class FieldWriter {
 public:
  explicit FieldWriter(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void Code(const char (&code)[5]) { bytes_.insert(bytes_.end(), code, code + 4); }

 private:
  std::vector<std::uint8_t>& bytes_;
};

constexpr std::uint32_t kHeadersSize = 224;  // RIFF, hdrl with avih and strl, the movi list head
constexpr std::uint32_t kIndexEntrySize = 16;
constexpr std::uint32_t kChunkHeadSize = 8;
constexpr std::uint32_t kHasIndex = 0x10;
constexpr std::uint32_t kKeyFrame = 0x10;
// One RIFF chunk holds below 2 GiB for the readers that take its size as signed.
constexpr std::uint64_t kLargestFile = std::numeric_limits<std::int32_t>::max();

}  // namespace

AviWriter::~AviWriter() { Close(); }

bool AviWriter::Open(const std::string& path, int width, int height, double fps) {
  Close();
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * 3 + 3) / 4 * 4;
  if (width <= 0 || height <= 0 || !(fps > 0) || fps > 1e6 ||
      stride * static_cast<std::uint64_t>(height) + kHeadersSize > kLargestFile)
    return false;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  width_ = width;
  height_ = height;
  frameBytes_ = static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(height));
  // The rate as a fraction in thousandths: 29.97 is 29970 / 1000.
  scale_ = 1000;
  rate_ = static_cast<std::uint32_t>(std::lround(fps * scale_));
  frames_ = 0;
  failed_ = false;
  row_.assign(stride, 0);
  const std::vector<std::uint8_t> headers = Headers();
  failed_ = std::fwrite(headers.data(), 1, headers.size(), file_) != headers.size();
  return !failed_;
}

bool AviWriter::WriteFrame(const Picture& picture) {
  if (file_ == nullptr || failed_ || picture.Width() != width_ || picture.Height() != height_)
    return false;
  const std::uint64_t grown =
      kHeadersSize +
      static_cast<std::uint64_t>(frames_ + 1) * (kChunkHeadSize + frameBytes_ + kIndexEntrySize) +
      kChunkHeadSize;
  if (grown > kLargestFile) return false;
  std::vector<std::uint8_t> head;
  FieldWriter chunk(head);
  chunk.Code("00db");
  chunk.U32(frameBytes_);
  failed_ = std::fwrite(head.data(), 1, head.size(), file_) != head.size();
  // DIB rows go bottom-up; the picture's pixels are blue, green, red, unused.
  for (int y = height_ - 1; y >= 0 && !failed_; --y) {
    const std::uint8_t* pixel = picture.ScanLine(y);
    for (int x = 0; x < width_; ++x, pixel += 4) {
      row_[3 * x] = pixel[0];
      row_[3 * x + 1] = pixel[1];
      row_[3 * x + 2] = pixel[2];
    }
    failed_ = std::fwrite(row_.data(), 1, row_.size(), file_) != row_.size();
  }
  if (failed_) return false;
  ++frames_;
  return true;
}

bool AviWriter::Close() {
  if (file_ == nullptr) return false;
  if (!failed_) {
    std::vector<std::uint8_t> index;
    FieldWriter entry(index);
    entry.Code("idx1");
    entry.U32(frames_ * kIndexEntrySize);
    for (std::uint32_t k = 0; k < frames_; ++k) {
      entry.Code("00db");
      entry.U32(kKeyFrame);
      entry.U32(4 + k * (kChunkHeadSize + frameBytes_));  // from the "movi" code
      entry.U32(frameBytes_);
    }
    const std::vector<std::uint8_t> headers = Headers();
    failed_ = std::fwrite(index.data(), 1, index.size(), file_) != index.size() ||
              std::fseek(file_, 0, SEEK_SET) != 0 ||
              std::fwrite(headers.data(), 1, headers.size(), file_) != headers.size();
  }
  failed_ = std::fclose(file_) != 0 || failed_;
  file_ = nullptr;
  return !failed_;
}

std::vector<std::uint8_t> AviWriter::Headers() const {
  const std::uint32_t moviSize = 4 + frames_ * (kChunkHeadSize + frameBytes_);
  const std::uint32_t indexSize = kChunkHeadSize + frames_ * kIndexEntrySize;
  const std::uint32_t microsecondsPerFrame =
      static_cast<std::uint32_t>(std::lround(1e6 * scale_ / static_cast<double>(rate_)));
  const auto w = static_cast<std::uint32_t>(width_), h = static_cast<std::uint32_t>(height_);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kHeadersSize);
  FieldWriter f(bytes);
  f.Code("RIFF");
  f.U32(kHeadersSize - 8 + moviSize - 4 + indexSize);
  f.Code("AVI ");
  f.Code("LIST");
  f.U32(192);
  f.Code("hdrl");
  f.Code("avih");
  f.U32(56);
  f.U32(microsecondsPerFrame);
  f.U32(static_cast<std::uint32_t>(
      std::min<double>(frameBytes_ * static_cast<double>(rate_) / scale_, 4e9)));
  f.U32(0);  // padding granularity
  f.U32(kHasIndex);
  f.U32(frames_);
  f.U32(0);  // initial frames
  f.U32(1);  // streams
  f.U32(frameBytes_);
  f.U32(w);
  f.U32(h);
  for (int i = 0; i < 4; ++i) f.U32(0);
  f.Code("LIST");
  f.U32(116);
  f.Code("strl");
  f.Code("strh");
  f.U32(56);
  f.Code("vids");
  f.Code("DIB ");
  f.U32(0);  // flags
  f.U16(0);  // priority
  f.U16(0);  // language
  f.U32(0);  // initial frames
  f.U32(scale_);
  f.U32(rate_);
  f.U32(0);  // start
  f.U32(frames_);
  f.U32(frameBytes_);
  f.U32(0xFFFFFFFF);  // quality: the default
  f.U32(0);           // sample size: varies per chunk
  f.U16(0);
  f.U16(0);
  f.U16(static_cast<std::uint16_t>(w));
  f.U16(static_cast<std::uint16_t>(h));
  f.Code("strf");
  f.U32(40);
  f.U32(40);  // BITMAPINFOHEADER
  f.U32(w);
  f.U32(h);   // positive: bottom-up
  f.U16(1);   // planes
  f.U16(24);  // bits per pixel
  f.U32(0);   // uncompressed
  f.U32(frameBytes_);
  for (int i = 0; i < 4; ++i) f.U32(0);  // resolution and palette
  f.Code("LIST");
  f.U32(moviSize);
  f.Code("movi");
  return bytes;
}

}  // namespace kandrel
