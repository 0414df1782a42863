# Imported targets for the OpenCV modules Kandrel uses (OpenCV::core, OpenCV::imgcodecs, …).
# Debian ships OpenCV's CMake package only with the all-modules libopencv-dev; the per-module
# -dev packages give headers and libraries, which is all we need.
find_path(OpenCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
function(kandrel_opencv_module name)
  find_library(OpenCV_${name}_LIBRARY opencv_${name} REQUIRED)
  add_library(OpenCV::${name} UNKNOWN IMPORTED)
  set_target_properties(OpenCV::${name} PROPERTIES
    IMPORTED_LOCATION ${OpenCV_${name}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${OpenCV_INCLUDE_DIR})
endfunction()
foreach(module IN ITEMS ${OpenCV_MODULES})
  kandrel_opencv_module(${module})
endforeach()
