// The record reader's file position on Windows.
#include <stdio.h>

#include "file_position.h"

namespace lx40::records::platform {

bool ReadOnAfterEnd(std::FILE* file) { return _fseeki64(file, 0, SEEK_CUR) == 0; }

}  // namespace lx40::records::platform
