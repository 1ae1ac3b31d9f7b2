#include "files/long_path.h"

#include <algorithm>

namespace trelvo {

namespace {

bool isSlash(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool isLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

}  // namespace

bool isVerbatimPath(std::u16string_view path) {
    return path.size() >= 4 && isSlash(path[0]) && isSlash(path[1]) &&
           (path[2] == u'?' || path[2] == u'.') && isSlash(path[3]);
}

bool isFullPath(std::u16string_view path) {
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == u':' && isSlash(path[2]))
        return true;
    return path.size() >= 2 && isSlash(path[0]) && isSlash(path[1]);
}

std::u16string longPathForm(std::u16string_view fullPath) {
    if (fullPath.size() < kLongPathFrom || isVerbatimPath(fullPath) || !isFullPath(fullPath))
        return std::u16string(fullPath);
    // "\\server\share" -> "\\?\UNC\server\share"; "C:\x" -> "\\?\C:\x".
    const bool unc = isSlash(fullPath[0]);
    std::u16string out(unc ? u"\\\\?\\UNC" : u"\\\\?\\");
    out.append(fullPath.substr(unc ? 1 : 0));
    std::ranges::replace(out, u'/', u'\\');
    return out;
}

}  // namespace trelvo
