#include "ui/form_factory.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

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
#include "ui/form_contrast.h"
#include "ui/form_convolution.h"
#include "ui/form_custom_filter5x5.h"
#include "ui/form_dct8x8.h"
#include "ui/form_fft.h"
#include "ui/form_frame_buffer.h"
#include "ui/form_gabor_filter.h"
#include "ui/form_gamma_correction.h"
#include "ui/form_haar_detect.h"
#include "ui/form_lesson2.h"
#include "ui/form_motion_search.h"
#include "ui/form_movable_tiling.h"
#include "ui/form_multi_adder.h"
#include "ui/form_multiplier.h"
#include "ui/form_nlmeans.h"
#include "ui/form_no_param.h"
#include "ui/form_period_switch.h"
#include "ui/form_psnr.h"
#include "ui/form_read_file.h"
#include "ui/form_resize.h"
#include "ui/form_save_file.h"
#include "ui/form_save_video.h"
#include "ui/form_sine_wave.h"
#include "ui/form_stereo_matching.h"
#include "ui/form_subband.h"
#include "ui/form_super_resolution.h"
#include "ui/form_to_int_double.h"
#include "ui/form_to_mono.h"
#include "ui/form_xy_transform.h"
#include "ui/form_total_variation.h"
#include "ui/form_video_file.h"
#include "ui/form_wavelet.h"

namespace kandrel {

namespace {

using FormMaker = std::unique_ptr<TFormVirtual> (*)(ProcVirtual&);

// A dialog edits the parameters of its own process class; asked for another, there is none.
template <class Form, class Proc = ProcVirtual>
std::unique_ptr<TFormVirtual> Make(ProcVirtual& process) {
  auto* typed = dynamic_cast<Proc*>(&process);
  return typed != nullptr ? std::make_unique<Form>(*typed) : nullptr;
}

constexpr std::pair<std::string_view, FormMaker> kForms[] = {
    {"TFormNoParam", Make<TFormNoParam>},
    {"TFormReadFile", Make<TFormReadFile, ProcReadFile>},
    {"TFormSaveFile", Make<TFormSaveFile, ProcSaveFile>},
    {"TFormVideoFile", Make<TFormVideoFile, ProcVideoFile>},
    {"TFormCapture", Make<TFormCapture, ProcCapture>},
    {"TFormSaveVideo", Make<TFormSaveVideo, ProcSaveVideo>},
    {"TFormMultiAdder", Make<TFormMultiAdder, ProcMultiAdder>},
    {"TFormMultiplier", Make<TFormMultiplier, ProcMultiplier>},
    {"TFormToIntDouble", Make<TFormToIntDouble, ProcToInt>},
    {"TFormToMono", Make<TFormToMono, ProcToMono>},
    {"TFormResize", Make<TFormResize, ProcResize>},
    {"TFormMove", Make<TFormMove, ProcMove>},
    {"TFormExpand", Make<TFormExpand, ProcExpand>},
    {"TFormJulia", Make<TFormJulia, ProcJulia>},
    {"TFormXYMapping", Make<TFormXYMapping, ProcXYMapping>},
    {"TFormMovableTiling", Make<TFormMovableTiling, ProcMovableTiling>},
    {"TFormMotionSearch", Make<TFormMotionSearch, ProcMotionSearch>},
    {"TFormStereoMatching", Make<TFormStereoMatching, ProcStereoMatching>},
    {"TFormPSNR", Make<TFormPSNR, ProcPSNR>},
    {"TFormHaarDetect", Make<TFormHaarDetect, ProcHaarDetect>},
    {"TFormContrast", Make<TFormContrast, ProcContrast>},
    {"TFormGammaCorrection", Make<TFormGammaCorrection, ProcGammaDbl>},
    {"TFormFrameBuffer", Make<TFormFrameBuffer, ProcFrameBuffer>},
    {"TFormPeriodSwitch", Make<TFormPeriodSwitch, ProcPeriodSwitch>},
    {"TFormSineWave", Make<TFormSineWave, ProcSineWave>},
    {"TFormLesson2", Make<TFormLesson2, ProcLesson2>},
    {"TFormFFT", Make<TFormFFT, ProcFFT>},
    {"TFormDCT8x8", Make<TFormDCT8x8, ProcDCT8x8>},
    {"TFormSubband", Make<TFormSubband, ProcSubband>},
    {"TFormWavelet", Make<TFormWavelet, ProcWavelet>},
    {"TFormConvolution", Make<TFormConvolution, ProcConvolution>},
    {"TFormCustomFilter5x5", Make<TFormCustomFilter5x5, ProcCustomFilter5x5>},
    {"TFormGaborFilter", Make<TFormGaborFilter, ProcGaborFilter>},
    {"TFormNLMeans", Make<TFormNLMeans, ProcNLMeans>},
    {"TFormTotalVariation", Make<TFormTotalVariation, ProcTotalVariation>},
    {"TFormSuperResolution", Make<TFormSuperResolution, ProcSuperResolution>},
};

}  // namespace

std::unique_ptr<TFormVirtual> CreateForm(const std::string& formClass, ProcVirtual& process) {
  const auto* form = std::find_if(std::begin(kForms), std::end(kForms),
                                  [&](const auto& entry) { return entry.first == formClass; });
  return form != std::end(kForms) ? form->second(process) : nullptr;
}

}  // namespace kandrel
