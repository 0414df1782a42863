#include "io/video_sampler.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include "image/vector_clones.h"
#include "io/motion_jpeg.h"

namespace kandrel {

namespace {

// What the decoder reports of a damaged file can be any double: a count or position that no
// frame number can be (negative, not a number, beyond any file) reads as -1, a size as 0.
std::int64_t FrameNumber(double reported) {
  return reported >= 0 && reported < 1e15 ? static_cast<std::int64_t>(reported) : -1;
}
int Pixels(double reported) {
  return reported > 0 && reported < 1e9 ? static_cast<int>(reported) : 0;
}

// Only AVI files are played. Handed anything else, FFmpeg would guess a format from the bytes,
// and some of the guesses (a bare Motion JPEG stream, say) make OpenCV's frame copy read past
// FFmpeg's buffer.
bool IsAviFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  char header[12] = {};
  return file.read(header, sizeof header) && std::memcmp(header, "RIFF", 4) == 0 &&
         std::memcmp(header + 8, "AVI ", 4) == 0;
}

std::string& DeviceFolder() {
  static std::string folder = "/dev";
  return folder;
}

struct DeviceNode {
  int number;
  std::string path;
  std::string name;
};

// The video nodes of the folder that capture pictures (not metadata or output nodes), by number.
std::vector<DeviceNode> CaptureNodes(bool& listed) {
  std::vector<DeviceNode> nodes;
  std::error_code error;
  listed = false;
  std::filesystem::directory_iterator entries(DeviceFolder(), error);
  if (error) return nodes;
  listed = true;
  for (const auto& entry : entries) {
    const std::string file = entry.path().filename().string();
    if (file.rfind("video", 0) != 0 || file.size() == 5 ||
        !std::all_of(file.begin() + 5, file.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    const int fd = ::open(entry.path().c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) continue;
    v4l2_capability caps{};
    const bool queried = ::ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0;
    ::close(fd);
    const std::uint32_t kinds =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    if (!queried || !(kinds & V4L2_CAP_VIDEO_CAPTURE)) continue;
    DeviceNode node{std::stoi(file.substr(5)), entry.path().string(),
                    reinterpret_cast<const char*>(caps.card)};
    // The kernel's own name of the device, when it has one.
    std::ifstream sysName("/sys/class/video4linux/" + file + "/name");
    if (std::string line; sysName && std::getline(sysName, line) && !line.empty()) node.name = line;
    nodes.push_back(std::move(node));
  }
  std::sort(nodes.begin(), nodes.end(),
            [](const auto& a, const auto& b) { return a.number < b.number; });
  return nodes;
}

// One row of blue, green, red bytes into three planes.
KANDREL_VECTOR_CLONES void SplitRow(const std::uint8_t* __restrict pixels, int width,
                                    int* __restrict red, int* __restrict green,
                                    int* __restrict blue) {
  for (int x = 0; x < width; ++x) {
    blue[x] = pixels[3 * x];
    green[x] = pixels[3 * x + 1];
    red[x] = pixels[3 * x + 2];
  }
}

// Files are decoded sequentially; a frame this close ahead is reached by decoding forward
// rather than by seeking.
constexpr std::int64_t kDecodeForwardLimit = 16;

}  // namespace

struct ZelVideoSampler::Decoder {
  cv::VideoCapture capture;
  bool device = false;
  // Motion JPEG taken packet by packet and decoded here: OpenCV's conversion of FFmpeg's
  // picture can read past it when a damaged file's frame sizes disagree.
  bool jpegPackets = false;
  cv::Mat held;
  std::int64_t heldIndex = -1;
  std::int64_t nextIndex = 0;  // the frame the next read returns (files)

  // The next frame into held; false when there is none or it cannot be decoded.
  bool Read() {
    if (!jpegPackets) return capture.read(held) && held.type() == CV_8UC3;
    cv::Mat packet;
    if (!capture.read(packet) || packet.empty()) return false;
    held = cv::imdecode(WithHuffmanTables(packet.data, packet.total() * packet.elemSize()),
                        cv::IMREAD_COLOR);
    return !held.empty() && held.type() == CV_8UC3;
  }

  // Opens a file; Motion JPEG as packets.
  bool Open(const std::string& name) {
    if (!capture.open(name, cv::CAP_FFMPEG)) return false;
    const double tag = capture.get(cv::CAP_PROP_FOURCC);
    jpegPackets = (tag == cv::VideoWriter::fourcc('M', 'J', 'P', 'G') ||
                   tag == cv::VideoWriter::fourcc('m', 'j', 'p', 'g')) &&
                  capture.set(cv::CAP_PROP_FORMAT, -1);
    return true;
  }
};

ZelVideoSampler::ZelVideoSampler() = default;

ZelVideoSampler::~ZelVideoSampler() { Close(); }

void ZelVideoSampler::SetDeviceFolder(const std::string& folder) { DeviceFolder() = folder; }

bool ZelVideoSampler::ListDevices(std::vector<std::string>& list) const {
  list.clear();
  bool listed = false;
  for (const DeviceNode& node : CaptureNodes(listed)) list.push_back(node.name);
  return listed;
}

void ZelVideoSampler::Close() {
  Stop();
  decoder_.reset();
  firstFrame_ = endFrame_ = position_ = 0;
  framesPerSecond_ = 0;
}

bool ZelVideoSampler::OpenDevice(int index) {
  Close();
  bool listed = false;
  const std::vector<DeviceNode> nodes = CaptureNodes(listed);
  if (index < 0 || index >= static_cast<int>(nodes.size())) return false;
  auto decoder = std::make_unique<Decoder>();
  decoder->device = true;
  try {
    if (!decoder->capture.open(nodes[index].path, cv::CAP_V4L2)) return false;
    // One buffer, so that a read gives the newest picture rather than a queued older one.
    decoder->capture.set(cv::CAP_PROP_BUFFERSIZE, 1);
  } catch (const cv::Exception&) {
    return false;
  }
  decoder_ = std::move(decoder);
  return true;
}

bool ZelVideoSampler::OpenFile(const std::string& name) {
  Close();
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error) || !IsAviFile(name)) return false;
  auto decoder = std::make_unique<Decoder>();
  try {
    if (!decoder->Open(name)) return false;
    const std::int64_t count = FrameNumber(decoder->capture.get(cv::CAP_PROP_FRAME_COUNT));
    framesPerSecond_ = decoder->capture.get(cv::CAP_PROP_FPS);
    // A file that does not say how many frames it holds is counted through once.
    if (count <= 0) {
      std::int64_t counted = 0;
      while (decoder->capture.grab()) ++counted;
      endFrame_ = counted;
      decoder->capture.set(cv::CAP_PROP_POS_FRAMES, 0);
    } else {
      endFrame_ = count;
    }
  } catch (const cv::Exception&) {
    endFrame_ = 0;
    return false;
  }
  decoder_ = std::move(decoder);
  firstFrame_ = 0;
  position_ = 0;
  return true;
}

bool ZelVideoSampler::IsOpen() const { return decoder_ != nullptr; }

bool ZelVideoSampler::IsDevice() const { return decoder_ != nullptr && decoder_->device; }

void ZelVideoSampler::Run() {
  if (decoder_ == nullptr) return;
  if (!decoder_->device) {
    runStart_ = std::chrono::steady_clock::now();
    runStartFrame_ = position_;
  }
  running_ = true;
}

void ZelVideoSampler::Stop() {
  if (!running_) return;
  if (decoder_ != nullptr && !decoder_->device) position_ = RunningPosition();
  running_ = false;
}

bool ZelVideoSampler::IsRunning() const { return running_; }

std::int64_t ZelVideoSampler::RunningPosition() const {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart_).count();
  const double rate = framesPerSecond_ > 0 && framesPerSecond_ < 1e6 ? framesPerSecond_ : 30;
  const double elapsedFrames = seconds * rate;
  if (elapsedFrames >= static_cast<double>(endFrame_ - runStartFrame_)) return endFrame_;
  return runStartFrame_ + static_cast<std::int64_t>(elapsedFrames);
}

std::int64_t ZelVideoSampler::CurrentFrame() const {
  if (decoder_ == nullptr || decoder_->device) return 0;
  return running_ ? RunningPosition() : position_;
}

void ZelVideoSampler::SeekToFrame(std::int64_t n) {
  if (decoder_ == nullptr || decoder_->device) return;
  Stop();
  position_ = std::clamp(n, firstFrame_, endFrame_);
  Hold(position_);
}

void ZelVideoSampler::StepFrames(std::int64_t d) {
  if (decoder_ == nullptr || decoder_->device) return;
  Stop();
  if (d < 0) {
    SeekToFrame(position_ + d);
    return;
  }
  position_ = std::min(position_ + d, endFrame_);
  Hold(position_);
}

bool ZelVideoSampler::Hold(std::int64_t n) {
  Decoder& d = *decoder_;
  if (d.heldIndex == n) return true;
  d.heldIndex = -1;
  if (n < firstFrame_ || n >= endFrame_) return false;
  try {
    bool seeked = false;
    if (n < d.nextIndex || n - d.nextIndex > kDecodeForwardLimit) {
      d.capture.set(cv::CAP_PROP_POS_FRAMES, static_cast<double>(n));
      d.nextIndex = FrameNumber(d.capture.get(cv::CAP_PROP_POS_FRAMES));
      seeked = true;
    }
    // Where the decoder's seek fell short (or overshot), go back to the start and decode forward.
    if (d.nextIndex > n || d.nextIndex < 0) {
      d.capture.set(cv::CAP_PROP_POS_FRAMES, 0);
      d.nextIndex = 0;
    }
    for (; d.nextIndex < n; ++d.nextIndex)
      if (!d.capture.grab()) return false;
    if (!d.Read()) return false;
    d.nextIndex = n + 1;
    if (seeked && FrameNumber(d.capture.get(cv::CAP_PROP_POS_FRAMES)) != n + 1) {
      // The seek landed on another frame than it said: decode forward from the start.
      d.capture.set(cv::CAP_PROP_POS_FRAMES, 0);
      for (std::int64_t k = 0; k < n; ++k)
        if (!d.capture.grab()) return false;
      if (!d.Read()) return false;
    }
  } catch (const cv::Exception&) {
    return false;
  }
  d.heldIndex = n;
  return true;
}

bool ZelVideoSampler::FrameSize(int& width, int& height) const {
  if (decoder_ == nullptr) return false;
  width = Pixels(decoder_->capture.get(cv::CAP_PROP_FRAME_WIDTH));
  height = Pixels(decoder_->capture.get(cv::CAP_PROP_FRAME_HEIGHT));
  return width > 0 && height > 0;
}

bool ZelVideoSampler::GetFrame(Array2D<int>& r, Array2D<int>& g, Array2D<int>& b) {
  if (decoder_ == nullptr) return false;
  Decoder& d = *decoder_;
  if (d.device) {
    try {
      if (!d.Read()) return false;
    } catch (const cv::Exception&) {
      return false;
    }
  } else if (!Hold(CurrentFrame())) {
    return false;
  }
  const int w = d.held.cols, h = d.held.rows;
  r.Resize(w, h);
  g.Resize(w, h);
  b.Resize(w, h);
  // On the calling thread: the decoder's own threads keep the cores busy already.
  for (int y = 0; y < h; ++y) SplitRow(d.held.ptr<std::uint8_t>(y), w, r[y], g[y], b[y]);
  return true;
}

bool ZelVideoSampler::HasPropertyPage(int kind, std::string& caption) const {
  static const char* const kCaptions[] = {"Source Property", "Capture Property",
                                          "Crossbar Property", "TV Tuner Property"};
  if (kind < 0 || kind > 3) return false;
  caption = kCaptions[kind];
  return false;
}

}  // namespace kandrel
