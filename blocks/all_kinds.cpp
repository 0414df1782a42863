#include "blocks/all_kinds.h"

#include "blocks/analysis/haar_detect.h"
#include "blocks/analysis/psnr.h"
#include "blocks/analysis/stereo_matching.h"
#include "blocks/analysis/super_resolution.h"
#include "blocks/filter/convolution.h"
#include "blocks/filter/gabor.h"
#include "blocks/filter/nlmeans.h"
#include "blocks/filter/total_variation.h"
#include "blocks/geometry/resize.h"
#include "blocks/geometry/xy_transform.h"
#include "blocks/motion/motion_search.h"
#include "blocks/motion/movable_tiling.h"
#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/color_space.h"
#include "blocks/pixel/frame_control.h"
#include "blocks/pixel/lessons.h"
#include "blocks/pixel/pattern.h"
#include "blocks/pixel/tone.h"
#include "blocks/pixel/type_conversion.h"
#include "blocks/transform/dct8x8.h"
#include "blocks/transform/fft.h"
#include "blocks/transform/subband.h"
#include "io/read_file.h"
#include "io/save_file.h"
#include "io/save_video.h"
#include "io/video_file.h"

namespace kandrel {

void RegisterAllKinds() {
  RegisterReadFileKinds();
  RegisterSaveFileKinds();
  RegisterVideoFileKinds();
  RegisterSaveVideoKinds();
  RegisterArithmeticKinds();
  RegisterTypeConversionKinds();
  RegisterColorSpaceKinds();
  RegisterResizeKinds();
  RegisterXYTransformKinds();
  RegisterMovableTilingKinds();
  RegisterMotionSearchKinds();
  RegisterStereoMatchingKinds();
  RegisterPsnrKinds();
  RegisterHaarDetectKinds();
  RegisterToneKinds();
  RegisterFrameControlKinds();
  RegisterPatternKinds();
  RegisterLessonKinds();
  RegisterFftKinds();
  RegisterDct8x8Kinds();
  RegisterSubbandKinds();
  RegisterConvolutionKinds();
  RegisterGaborKinds();
  RegisterNLMeansKinds();
  RegisterTotalVariationKinds();
  RegisterSuperResolutionKinds();
}

}  // namespace kandrel
