// ZelVideoSampler: single frames of a video file or of a capture device, for the video
// processes and their dialogs. Files are read frame-accurately: after SeekToFrame(k) the sampler
// holds frame k, also after stepping backwards. Devices always hold the newest picture taken.
// The decoding library stays behind this interface.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/array2d.h"

namespace kandrel {

class ZelVideoSampler {
 public:
  ZelVideoSampler();
  virtual ~ZelVideoSampler();
  ZelVideoSampler(const ZelVideoSampler&) = delete;
  ZelVideoSampler& operator=(const ZelVideoSampler&) = delete;

  // The names of the video capture devices, in the order OpenDevice counts them; false when the
  // devices cannot be listed.
  bool ListDevices(std::vector<std::string>& list) const;
  // Closes what is open, then opens the index-th device; false (nothing open) when it fails.
  bool OpenDevice(int index);
  // Closes what is open, then opens the file; false (nothing open) when it is missing or holds
  // no video the decoder can read.
  bool OpenFile(const std::string& name);
  bool IsOpen() const;
  bool IsDevice() const;

  // Files play from the current frame on in real time until Stop() or their end; devices take
  // pictures continuously.
  void Run();
  void Stop();
  bool IsRunning() const;
  // Files only: the sampler holds frame n afterwards (n is held to the file's range).
  void SeekToFrame(std::int64_t n);
  // Files only: d frames on (or back, by seeking).
  void StepFrames(std::int64_t d);
  std::int64_t CurrentFrame() const;
  std::int64_t FirstFrame() const { return firstFrame_; }
  // One past the last frame: the number of frames of the file.
  std::int64_t EndFrame() const { return endFrame_; }
  bool FrameSize(int& width, int& height) const;
  // The held frame as top-down R, G, B planes of 0..255; for a device, the newest picture. False
  // when no frame is held (past the end, a frame that cannot be decoded, a device that gives
  // no picture within its time-out).
  bool GetFrame(Array2D<int>& r, Array2D<int>& g, Array2D<int>& b);

  // Property pages of the open device: kind 0 source, 1 capture format, 2 crossbar, 3 tuner.
  // The capture devices here offer none of them.
  bool HasPropertyPage(int kind, std::string& caption) const;

  // Where the device nodes are looked for; "/dev" unless a test points elsewhere.
  static void SetDeviceFolder(const std::string& folder);

 private:
  struct Decoder;
  void Close();
  // Decodes frame n into the held frame; false when it cannot be had.
  bool Hold(std::int64_t n);
  // While a file runs, its position follows the clock.
  std::int64_t RunningPosition() const;

  std::unique_ptr<Decoder> decoder_;
  std::int64_t firstFrame_ = 0;
  std::int64_t endFrame_ = 0;
  std::int64_t position_ = 0;
  bool running_ = false;
  double framesPerSecond_ = 0;
  std::chrono::steady_clock::time_point runStart_;
  std::int64_t runStartFrame_ = 0;
};

}  // namespace kandrel
