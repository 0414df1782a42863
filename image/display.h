// What an image window shows, without the window: the image's samples turned into an 8-bit RGB
// picture. Three channels are read in the image's colour space (smaller chroma channels are
// brought to the first channel's size), channels can be switched off, values are tone-mapped with
// the image's white level and gamma, and everything outside the view rectangle is dimmed. The
// desktop window paints this picture; the BMP and video savers write it, so the same pixels come
// out with or without a display.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "image/array2d.h"
#include "image/picture.h"

namespace kandrel {

class Image;

class ImageDisplay {
 public:
  static constexpr int kOutlineOff = 0;
  static constexpr int kOutlineOn = 128;

  explicit ImageDisplay(Image& image);

  // Recompute rebuilds the RGB planes from the samples (needed after the samples, the colour
  // space or the channel selection changed); otherwise only the tone mapping is re-run from the
  // cached planes (white level, gamma, "Abs." or the view changed). Either way the picture is
  // refilled without an outline.
  void Refresh(bool recompute);

  // Draws the one-pixel edges of the view rectangle onto the picture with every component
  // (display level + offset) mod 256: kOutlineOff restores the picture, kOutlineOn marks it.
  void DrawOutline(int offset);
  // The blink timer's step: while the view is a proper part of the picture, toggles the outline
  // phase and draws it; false (nothing drawn) otherwise.
  bool Blink();
  int BlinkPhase() const { return blinkPhase_; }

  // The check boxes: channel i shown, or replaced by 0.
  void SetChannelShown(int channel, bool shown) { channelShown_[channel] = shown; }
  bool ChannelShown(int channel) const { return channelShown_[channel]; }
  // "Abs.": negative samples shown by their magnitude instead of as 0.
  void SetAbsolute(bool absolute) { absolute_ = absolute; }
  bool Absolute() const { return absolute_; }

  // Which controls apply to the image's type.
  bool ColorSpaceSelectable() const;
  bool ChannelsSelectable() const;
  // Captions of the three check boxes: those of the colour space, or of the complex parts.
  std::array<std::string, 3> ChannelCaptions() const;
  // "W x H", the type name and the image's name.
  std::array<std::string, 3> StatusTexts() const;

  const Picture& GetPicture() const { return picture_; }
  const ByteArray& DisplayPlane(int i) const { return displayPlanes_[i]; }
  Image& GetImage() const { return image_; }

 private:
  // Work on rows rowBegin … rowEnd − 1 of the picture, prepared for the whole picture.
  using RowWork = std::function<void(int rowBegin, int rowEnd)>;

  // The RGB planes from the samples (empty work when the planes stay as they are).
  RowWork BuildPlanes();
  template <class Sample>
  RowWork BuildPlanes(const std::array<const Array2D<Sample>*, 3>& sources,
                      std::array<Array2D<Sample>, 3>& planes, int colorSpace);
  RowWork BuildComplexPlanes();
  // The display planes from the RGB planes or the one channel.
  std::vector<RowWork> ToneMap();
  bool ViewIsProperPart() const;

  Image& image_;
  std::array<bool, 3> channelShown_ = {true, true, true};
  bool absolute_ = true;
  int blinkPhase_ = kOutlineOff;

  // RGB planes of int images, of float and complex images, and the 8-bit display planes.
  std::array<IntArray, 3> intPlanes_;
  std::array<FloatArray, 3> floatPlanes_;
  std::array<ByteArray, 3> displayPlanes_;
  // Magnitudes (and real and imaginary parts) of complex channels, kept between refreshes.
  std::array<FloatArray, 3> complexParts_;
  Picture picture_;
};

}  // namespace kandrel
