// The structure of a cascade file checked before OpenCV's detector walks it: OpenCV trusts the
// file's feature numbers, tree links and rectangles, so a damaged file would make it read
// outside its own tables, or loop for ever. Both OpenCV's formats are checked: the current one
// ("stageType", "features") and the old Haar one ("size", "trees").
#pragma once

#include <string>

namespace kandrel {

// True when the file parses as a cascade whose every link, feature number and rectangle stays
// inside its tables and its window. OpenCV's own parser can crash on some damaged files, so
// the check runs in a throw-away child process: a crash there only refuses the file.
bool CascadeFileIsSound(const std::string& path);

}  // namespace kandrel
