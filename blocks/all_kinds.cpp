#include "blocks/all_kinds.h"

#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/type_conversion.h"
#include "io/read_file.h"

namespace kandrel {

void RegisterAllKinds() {
  RegisterReadFileKinds();
  RegisterArithmeticKinds();
  RegisterTypeConversionKinds();
}

}  // namespace kandrel
