// The platform bitmap: a picture of 32-bit pixels (bytes blue, green, red, unused) that the
// picture codecs decode from BMP, JPEG, PNG and GIF files and encode as BMP. Qt's QImage stands
// behind it; no other image code sees Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/array2d.h"

namespace kandrel {

class Picture {
 public:
  Picture();
  ~Picture();
  Picture(const Picture& other);
  Picture& operator=(const Picture& other);
  Picture(Picture&&) noexcept;
  Picture& operator=(Picture&&) noexcept;

  // Decodes a picture file (the first frame of an animated GIF); false when it cannot.
  bool Load(const std::string& path);
  bool SaveBmp(const std::string& path) const;
  // The same in memory: the bytes of a BMP file, decoded or encoded as the file would be.
  bool LoadBmp(const std::vector<std::uint8_t>& bytes);
  std::vector<std::uint8_t> EncodeBmp() const;
  // A picture of width × height pixels with undefined contents.
  void Create(int width, int height);

  int Width() const;
  int Height() const;
  bool IsEmpty() const { return Width() == 0 || Height() == 0; }
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  int BytesPerLine() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A picture of p0's size with red = p0, green = p1, blue = p2 (all of p0's size).
void PlanesToPicture(const ByteArray& p0, const ByteArray& p1, const ByteArray& p2,
                     Picture& picture);
// The same a band of rows at a time, for callers that fuse it with other work on those rows:
// PreparePictureFor gives the picture p0's size and a bitmap of its own (not shared with a
// painter) and says where its lines are; PlanesToPictureRows then fills rows rowBegin …
// rowEnd − 1 there, from any number of threads at once.
struct PictureLines {
  std::uint8_t* first = nullptr;
  std::ptrdiff_t stride = 0;
  std::uint8_t* operator[](int y) const { return first + y * stride; }
};
PictureLines PreparePictureFor(const ByteArray& p0, Picture& picture);
void PlanesToPictureRows(const ByteArray& p0, const ByteArray& p1, const ByteArray& p2,
                         PictureLines lines, int rowBegin, int rowEnd);
// The picture's red, green and blue (0..255) into three arrays of its size.
void PictureToPlanes(const Picture& picture, IntArray& a0, IntArray& a1, IntArray& a2);

}  // namespace kandrel
