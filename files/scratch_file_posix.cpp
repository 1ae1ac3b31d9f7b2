#include "files/scratch_file.h"

namespace trelvo {

std::FILE* openScratchFile() {
    return std::tmpfile();  // unlinked as soon as it is made
}

}  // namespace trelvo
