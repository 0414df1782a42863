#include "image/display.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "image/color_convert.h"
#include "image/conversions.h"
#include "image/image.h"
#include "image/parallel.h"
#include "image/resample.h"

namespace kandrel {

namespace {

bool IsThreeChannel(int type) {
  return type == kTypeInt3 || type == kTypeFloat3 || type == kTypeComplex3;
}

void ConvertSpan(const ConvertColor& converter, const std::array<const int*, 3>& in,
                 const std::array<int*, 3>& out, std::size_t count) {
  converter.ConvertIntSpan(in[0], in[1], in[2], out[0], out[1], out[2], count);
}
void ConvertSpan(const ConvertColor& converter, const std::array<const float*, 3>& in,
                 const std::array<float*, 3>& out, std::size_t count) {
  converter.ConvertFloatSpan(in[0], in[1], in[2], out[0], out[1], out[2], count);
}

template <class Sample>
void CopyRows(const Array2D<Sample>& from, Array2D<Sample>& to, int rowBegin, int rowEnd) {
  if (rowEnd > rowBegin) std::copy(from[rowBegin], from[rowEnd - 1] + from.Width(), to[rowBegin]);
}

// The tone mapping of src into dst, prepared for the whole picture, as work on rows.
template <class Sample>
std::function<void(int, int)> ToneMapWork(const Array2D<Sample>& src, double white, bool absolute,
                                          double gamma, const ViewRect& view, ByteArray& dst) {
  dst.Resize(src.Width(), src.Height());
  auto levels =
      std::make_shared<const DisplayLevels<Sample>>(white, absolute, gamma, src.SampleCount());
  return [levels, &src, &dst, view](int rowBegin, int rowEnd) {
    levels->MapRows(src, view.left, view.top, view.right, view.bottom, dst, rowBegin, rowEnd);
  };
}

// Rows per step of a band: every stage of a refresh runs on the same few rows while they are in
// the processor's cache.
constexpr int kRowsPerStep = 4;

}  // namespace

ImageDisplay::ImageDisplay(Image& image) : image_(image) {
  // A complex channel starts as its magnitude alone, in grey.
  if (image.TypeId() == kTypeComplex1) channelShown_ = {true, false, false};
}

template <class Sample>
ImageDisplay::RowWork ImageDisplay::BuildPlanes(
    const std::array<const Array2D<Sample>*, 3>& sources, std::array<Array2D<Sample>, 3>& planes,
    int colorSpace) {
  const ConvertColor* converter = colorSpace == kRgb ? nullptr : ConverterToRgb(colorSpace);
  if (colorSpace != kRgb && !converter) return {};  // any other tag keeps the planes as they were
  const int width = sources[0]->Width();
  const int height = sources[0]->Height();
  // How each channel reaches the planes, a row at a time: read as it is, widened from a smaller
  // channel into a row of its own, or (switched off, or empty) as a row of zeros. Only rows are
  // made, so nothing the size of the picture is written on the way.
  std::array<std::optional<NearestNeighbor>, 3> widen;
  std::array<bool, 3> zero{};
  for (int i = 0; i < 3; ++i) {
    const Array2D<Sample>& source = *sources[i];
    zero[i] = !channelShown_[i] || source.SampleCount() == 0;
    if (zero[i] || source.SameSize(*sources[0])) continue;
    widen[i].emplace(width, height);
    widen[i]->PrepareFor(source.Width(), source.Height());
  }
  for (Array2D<Sample>& plane : planes) plane.Resize(width, height);
  return [sources, widen, zero, converter, width, &planes](int rowBegin, int rowEnd) {
    const std::size_t count = static_cast<std::size_t>(width);
    std::array<std::vector<Sample>, 3> rows;
    for (int i = 0; i < 3; ++i)
      if (zero[i] || widen[i]) rows[i].assign(count, Sample{});
    for (int y = rowBegin; y < rowEnd; ++y) {
      std::array<const Sample*, 3> in;
      for (int i = 0; i < 3; ++i) {
        if (widen[i] && !zero[i]) widen[i]->ResizeRow(*sources[i], y, rows[i].data());
        in[i] = rows[i].empty() ? (*sources[i])[y] : rows[i].data();
      }
      const std::array<Sample*, 3> out = {planes[0][y], planes[1][y], planes[2][y]};
      if (converter)
        ConvertSpan(*converter, in, out, count);
      else
        for (int i = 0; i < 3; ++i) std::copy(in[i], in[i] + count, out[i]);
    }
  };
}

ImageDisplay::RowWork ImageDisplay::BuildComplexPlanes() {
  std::array<FloatArray, 3>& sources = complexParts_;
  if (image_.TypeId() == kTypeComplex1) {
    // Magnitude, real and imaginary part read as Y, Cr and Cb: brightness shows the magnitude,
    // hue the phase.
    const auto& channel = As<Complex1Image>(&image_)->channels[0];
    ComplexMagnitude(channel, sources[0]);
    SplitComplex(channel, sources[1], sources[2]);
    return BuildPlanes<float>({&sources[0], &sources[1], &sources[2]}, floatPlanes_, kYCrCb);
  }
  const auto& channels = As<Complex3Image>(&image_)->channels;
  for (int i = 0; i < 3; ++i) ComplexMagnitude(channels[i], sources[i]);
  return BuildPlanes<float>({&sources[0], &sources[1], &sources[2]}, floatPlanes_,
                            image_.colorSpace);
}

ImageDisplay::RowWork ImageDisplay::BuildPlanes() {
  switch (image_.TypeId()) {
    case kTypeInt3: {
      const auto& c = As<Int3Image>(&image_)->channels;
      return BuildPlanes<int>({&c[0], &c[1], &c[2]}, intPlanes_, image_.colorSpace);
    }
    case kTypeFloat3: {
      const auto& c = As<Float3Image>(&image_)->channels;
      return BuildPlanes<float>({&c[0], &c[1], &c[2]}, floatPlanes_, image_.colorSpace);
    }
    case kTypeComplex1:
    case kTypeComplex3:
      return BuildComplexPlanes();
    default:
      return {};  // one real channel is tone-mapped straight from the samples
  }
}

std::vector<ImageDisplay::RowWork> ImageDisplay::ToneMap() {
  const ViewRect& v = image_.view;
  const double intWhite = TruncateToInt(image_.whiteLevel);
  const double floatWhite = image_.whiteLevel;
  std::vector<RowWork> work;
  switch (image_.TypeId()) {
    case kTypeInt3:
      for (int i = 0; i < 3; ++i)
        work.push_back(
            ToneMapWork(intPlanes_[i], intWhite, absolute_, image_.gamma, v, displayPlanes_[i]));
      break;
    case kTypeFloat3:
    case kTypeComplex1:
    case kTypeComplex3:
      for (int i = 0; i < 3; ++i)
        work.push_back(ToneMapWork(floatPlanes_[i], floatWhite, absolute_, image_.gamma, v,
                                   displayPlanes_[i]));
      break;
    case kTypeInt1:
    case kTypeFloat1:
      if (image_.TypeId() == kTypeInt1)
        work.push_back(ToneMapWork(As<Int1Image>(&image_)->channels[0], intWhite, absolute_,
                                   image_.gamma, v, displayPlanes_[0]));
      else
        work.push_back(ToneMapWork(As<Float1Image>(&image_)->channels[0], floatWhite, absolute_,
                                   image_.gamma, v, displayPlanes_[0]));
      // Grey: the one plane three times.
      for (int i = 1; i < 3; ++i) {
        displayPlanes_[i].Resize(displayPlanes_[0].Width(), displayPlanes_[0].Height());
        work.push_back([this, i](int rowBegin, int rowEnd) {
          CopyRows(displayPlanes_[0], displayPlanes_[i], rowBegin, rowEnd);
        });
      }
      break;
    default:
      for (ByteArray& plane : displayPlanes_) plane.Resize(0, 0);
      break;
  }
  return work;
}

void ImageDisplay::Refresh(bool recompute) {
  // Everything is prepared for the whole picture first; then each band of rows goes through
  // every stage a few rows at a time.
  const RowWork build = recompute ? BuildPlanes() : RowWork{};
  const std::vector<RowWork> toneMap = ToneMap();
  const ByteArray& first = displayPlanes_[0];
  const PictureLines lines = PreparePictureFor(first, picture_);
  ForEachRowBand(first.Height(), first.Width(), [&](int bandBegin, int bandEnd) {
    for (int rowBegin = bandBegin; rowBegin < bandEnd; rowBegin += kRowsPerStep) {
      const int rowEnd = std::min(rowBegin + kRowsPerStep, bandEnd);
      if (build) build(rowBegin, rowEnd);
      for (const RowWork& work : toneMap) work(rowBegin, rowEnd);
      PlanesToPictureRows(displayPlanes_[0], displayPlanes_[1], displayPlanes_[2], lines, rowBegin,
                          rowEnd);
    }
  });
}

void ImageDisplay::DrawOutline(int offset) {
  const ViewRect& v = image_.view;
  const int left = std::max(v.left, 0);
  const int top = std::max(v.top, 0);
  const int right = std::min(v.right, picture_.Width());
  const int bottom = std::min(v.bottom, picture_.Height());
  if (left >= right || top >= bottom) return;
  const auto mark = [&](int x, int y) {
    std::uint8_t* pixel = picture_.ScanLine(y) + 4 * x;
    // The picture's bytes are blue, green, red.
    for (int c = 0; c < 3; ++c)
      pixel[2 - c] = static_cast<std::uint8_t>((displayPlanes_[c][y][x] + offset) & 0xFF);
  };
  for (int x = left; x < right; ++x) {
    mark(x, top);
    mark(x, bottom - 1);
  }
  for (int y = top; y < bottom; ++y) {
    mark(left, y);
    mark(right - 1, y);
  }
}

bool ImageDisplay::ViewIsProperPart() const {
  const ViewRect& v = image_.view;
  const ViewRect whole{0, 0, picture_.Width(), picture_.Height()};
  return v.left >= 0 && v.top >= 0 && v.left < v.right && v.top < v.bottom &&
         v.right <= whole.right && v.bottom <= whole.bottom && !(v == whole);
}

bool ImageDisplay::Blink() {
  if (!ViewIsProperPart()) return false;
  blinkPhase_ = blinkPhase_ == kOutlineOff ? kOutlineOn : kOutlineOff;
  DrawOutline(blinkPhase_);
  return true;
}

bool ImageDisplay::ColorSpaceSelectable() const { return IsThreeChannel(image_.TypeId()); }

bool ImageDisplay::ChannelsSelectable() const {
  return IsThreeChannel(image_.TypeId()) || image_.TypeId() == kTypeComplex1;
}

std::array<std::string, 3> ImageDisplay::ChannelCaptions() const {
  static const std::array<std::string, 3> kByColorSpace[] = {
      {"R", "G", "B"}, {"Y", "Cr", "Cb"}, {"H", "S", "V"}, {"X", "Y", "Z"}, {"L", "a", "b"}};
  if (image_.TypeId() == kTypeComplex1) return {"絶対値", "実数Cr", "虚数Cb"};
  const int space = image_.colorSpace;
  return space >= kRgb && space <= kLab ? kByColorSpace[space] : kByColorSpace[kYCrCb];
}

std::array<std::string, 3> ImageDisplay::StatusTexts() const {
  char size[32];
  std::snprintf(size, sizeof size, "%d x %d", image_.Width(), image_.Height());
  return {size, ImageTypeName(image_.TypeId()), image_.name};
}

}  // namespace kandrel
