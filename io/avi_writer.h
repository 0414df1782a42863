// AviWriter: an uncompressed AVI of 24-bit DIB frames (bottom-up rows of blue, green, red,
// padded to four bytes) with its index, the file that "DIB " stands for. The headers are
// completed when the writer is closed; a file left unclosed lacks its frame count and index.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kandrel {

class Picture;

class AviWriter {
 public:
  AviWriter() = default;
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Creates (or overwrites) path for frames of width × height at fps; false when it cannot.
  bool Open(const std::string& path, int width, int height, double fps);
  // Appends a picture of the opened size; false when it has another size, the disk refuses it
  // or the file would outgrow what an AVI of one RIFF chunk can hold.
  bool WriteFrame(const Picture& picture);
  // Writes the index, completes the headers and closes; false when any write failed.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

 private:
  std::vector<std::uint8_t> Headers() const;

  std::FILE* file_ = nullptr;
  bool failed_ = false;
  int width_ = 0, height_ = 0;
  std::uint32_t rate_ = 0, scale_ = 1;
  std::uint32_t frameBytes_ = 0;  // padded rows × height
  std::uint32_t frames_ = 0;
  std::vector<std::uint8_t> row_;
};

}  // namespace kandrel
