// Registers every process kind of the program in the catalogue, family by family.
#pragma once

namespace kandrel {

void RegisterAllKinds();

}  // namespace kandrel
