// ProcHaarDetect: objects (frontal faces unless another cascade is chosen) found by OpenCV's
// cascade detector; the output is the input inside every detected rectangle and 0 elsewhere.
// The cascade is loaded when the process is reset.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "process/proc_standard_out.h"

namespace cv {
class CascadeClassifier;
}

namespace kandrel {

constexpr int kHaarDetectProcessId = 20001;

// Where Debian's opencv-data puts its cascades.
constexpr const char* kSystemCascadeFolder = "/usr/share/opencv4/haarcascades";

struct DetectedRect {
  int x, y, width, height;
};

class ProcHaarDetect : public ProcStandardOut {
 public:
  struct Params {
    std::string cascadePath;  // absolute in memory, relative to the process file when stored
    std::int32_t minWidth = 30;
    std::int32_t minHeight = 30;
    template <class F>
    void Fields(F& f) {
      f.Text(cascadePath, 260);
      f.I32(minWidth);
      f.I32(minHeight);
    }
  };

  explicit ProcHaarDetect(int processId);
  ~ProcHaarDetect() override;

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ResetOutputs(OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  // The rectangles found in the low 8 bits of samples; false (with a message) without a cascade.
  bool Detect(const Array2D<int>& samples, std::vector<DetectedRect>& found);

  Params params;

 private:
  std::unique_ptr<cv::CascadeClassifier> cascade_;
};

void RegisterHaarDetectKinds();

}  // namespace kandrel
