// Motion JPEG frames as libjpeg reads them. Many cameras (and the AVI1 form of Motion JPEG) leave
// the Huffman tables out of every frame, relying on the typical tables the JPEG standard lists;
// a frame without its own gets those inserted before its scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kandrel {

// The frame's bytes, with the standard DHT segment before the first scan when no table precedes
// it; a frame whose markers cannot be followed comes back as it was.
std::vector<std::uint8_t> WithHuffmanTables(const std::uint8_t* frame, std::size_t size);

}  // namespace kandrel
