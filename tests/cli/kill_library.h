// What the kill tests of both systems run on: a library of a chosen size and its update with
// --layer 26:1, built side by side.
#pragma once

#include <cstddef>
#include <string>

namespace trelvo::test {

struct Library {
    std::string original, updated;
};

inline Library makeLibrary(std::size_t size) {
    Library lib;
    auto both = [&](const std::string& line) {
        lib.original += line + "\r\n";
        lib.updated += line + "\r\n";
    };
    both("*PADS-LIBRARY-PCB-DECALS-V9*");
    for (int i = 0; lib.original.size() < size; ++i) {
        both("");
        both("DEC" + std::to_string(i) + (i % 2 ? " M" : " I") + " 0 0 2 2 4 0 8 1 0");
        lib.original += "OPEN 2 10 26 -1\r\n";
        lib.updated += "OPEN  2  10  1  -1\r\n";
        both("-50 0");
        both("50 0");
        both("CLOSED 5 8 3 -1");
        both("0 0");
        both("T1 0 0 0 0 " + std::to_string(i * 7));
    }
    return lib;
}

}  // namespace trelvo::test
