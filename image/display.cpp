#include "image/display.h"

#include <algorithm>
#include <cstdio>

#include "image/color_convert.h"
#include "image/conversions.h"
#include "image/image.h"
#include "image/resample.h"

namespace kandrel {

namespace {

bool IsThreeChannel(int type) {
  return type == kTypeInt3 || type == kTypeFloat3 || type == kTypeComplex3;
}

template <class Sample>
void ResizeZeroed(Array2D<Sample>& a, int width, int height) {
  a.Resize(width, height);
  std::fill(a.begin(), a.end(), Sample{});
}

void Resample(const IntArray& src, int width, int height, IntArray& dst) {
  NearestNeighbor(width, height).ResizeInt(src, dst);
}
void Resample(const FloatArray& src, int width, int height, FloatArray& dst) {
  NearestNeighbor(width, height).ResizeFloat(src, dst);
}

void ConvertToRgb(const ConvertColor& converter, const std::array<const IntArray*, 3>& in,
                  std::array<IntArray, 3>& out) {
  converter.ConvertIntArrays(*in[0], *in[1], *in[2], out[0], out[1], out[2]);
}
void ConvertToRgb(const ConvertColor& converter, const std::array<const FloatArray*, 3>& in,
                  std::array<FloatArray, 3>& out) {
  converter.ConvertFloatArrays(*in[0], *in[1], *in[2], out[0], out[1], out[2]);
}

}  // namespace

ImageDisplay::ImageDisplay(Image& image) : image_(image) {
  // A complex channel starts as its magnitude alone, in grey.
  if (image.TypeId() == kTypeComplex1) channelShown_ = {true, false, false};
}

template <class Sample>
void ImageDisplay::BuildPlanes(const std::array<const Array2D<Sample>*, 3>& sources,
                               std::array<Array2D<Sample>, 3>& planes,
                               std::array<Array2D<Sample>, 3>& scratch, int colorSpace) {
  const int width = sources[0]->Width();
  const int height = sources[0]->Height();
  std::array<const Array2D<Sample>*, 3> shown;
  // Each step below splits its picture into row bands of its own.
  for (int i = 0; i < 3; ++i) {
    const Array2D<Sample>& source = *sources[i];
    if (channelShown_[i] && source.SameSize(*sources[0])) {
      shown[i] = &source;
    } else if (channelShown_[i] && source.SampleCount() != 0) {
      Resample(source, width, height, scratch[i]);
      shown[i] = &scratch[i];
    } else {
      ResizeZeroed(scratch[i], width, height);
      shown[i] = &scratch[i];
    }
  }
  if (colorSpace == kRgb) {
    for (int i = 0; i < 3; ++i) planes[i] = *shown[i];
  } else if (const ConvertColor* converter = ConverterToRgb(colorSpace)) {
    ConvertToRgb(*converter, shown, planes);
  }
  // Any other tag keeps the planes as they were.
}

void ImageDisplay::BuildComplexPlanes() {
  std::array<FloatArray, 3>& sources = complexParts_;
  if (image_.TypeId() == kTypeComplex1) {
    // Magnitude, real and imaginary part read as Y, Cr and Cb: brightness shows the magnitude,
    // hue the phase.
    const auto& channel = As<Complex1Image>(&image_)->channels[0];
    ComplexMagnitude(channel, sources[0]);
    SplitComplex(channel, sources[1], sources[2]);
    BuildPlanes<float>({&sources[0], &sources[1], &sources[2]}, floatPlanes_, floatScratch_, kYCrCb);
  } else {
    const auto& channels = As<Complex3Image>(&image_)->channels;
    for (int i = 0; i < 3; ++i) ComplexMagnitude(channels[i], sources[i]);
    BuildPlanes<float>({&sources[0], &sources[1], &sources[2]}, floatPlanes_, floatScratch_,
                       image_.colorSpace);
  }
}

void ImageDisplay::Refresh(bool recompute) {
  if (recompute) {
    switch (image_.TypeId()) {
      case kTypeInt3: {
        const auto& c = As<Int3Image>(&image_)->channels;
        BuildPlanes<int>({&c[0], &c[1], &c[2]}, intPlanes_, intScratch_, image_.colorSpace);
        break;
      }
      case kTypeFloat3: {
        const auto& c = As<Float3Image>(&image_)->channels;
        BuildPlanes<float>({&c[0], &c[1], &c[2]}, floatPlanes_, floatScratch_, image_.colorSpace);
        break;
      }
      case kTypeComplex1:
      case kTypeComplex3:
        BuildComplexPlanes();
        break;
      default:
        break;  // one real channel is tone-mapped straight from the samples
    }
  }
  ToneMap();
  PlanesToPicture(displayPlanes_[0], displayPlanes_[1], displayPlanes_[2], picture_);
}

void ImageDisplay::ToneMap() {
  const ViewRect& v = image_.view;
  const auto mapInt = [&](const IntArray& src, ByteArray& dst) {
    MapToDisplayLevels(src, TruncateToInt(image_.whiteLevel), absolute_, v.left, v.top, v.right,
                       v.bottom, dst, image_.gamma);
  };
  const auto mapFloat = [&](const FloatArray& src, ByteArray& dst) {
    MapToDisplayLevels(src, image_.whiteLevel, absolute_, v.left, v.top, v.right, v.bottom, dst,
                       image_.gamma);
  };
  switch (image_.TypeId()) {
    case kTypeInt3:
      for (int i = 0; i < 3; ++i) mapInt(intPlanes_[i], displayPlanes_[i]);
      break;
    case kTypeFloat3:
    case kTypeComplex1:
    case kTypeComplex3:
      for (int i = 0; i < 3; ++i) mapFloat(floatPlanes_[i], displayPlanes_[i]);
      break;
    case kTypeInt1:
    case kTypeFloat1:
      if (image_.TypeId() == kTypeInt1)
        mapInt(As<Int1Image>(&image_)->channels[0], displayPlanes_[0]);
      else
        mapFloat(As<Float1Image>(&image_)->channels[0], displayPlanes_[0]);
      displayPlanes_[1] = displayPlanes_[0];
      displayPlanes_[2] = displayPlanes_[0];
      break;
    default:
      for (ByteArray& plane : displayPlanes_) plane.Resize(0, 0);
      break;
  }
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
