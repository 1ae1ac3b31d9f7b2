// Finding runs of plain lines: lines a bulk copy may pass on unread because no rule looks at them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trelvo {

// A plain line is not empty, ends in CR LF inside data[0, end), and begins with neither CR, LF
// nor a character of stop. Returns the end of the run of plain lines that starts at p (p itself
// when the line at p is not plain) and adds the number of lines in the run to lines.
std::size_t plainRunEnd(const char* data, std::size_t p, std::size_t end, std::string_view stop,
                        std::uint64_t& lines);

// The ways plainRunEnd can scan; it takes the fastest this machine has. All give the same.
enum class ScanPath { Scalar, Sse2, Avx2 };
bool scanPathAvailable(ScanPath path);
std::size_t plainRunEndWith(ScanPath path, const char* data, std::size_t p, std::size_t end,
                            std::string_view stop, std::uint64_t& lines);

}  // namespace trelvo
