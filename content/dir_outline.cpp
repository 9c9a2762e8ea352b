#include "content/dir_outline.h"

#include "content/paths.h"

namespace tavelo {

TDirectoryOutline::TDirectoryOutline() : directory_(RememberStartDirectory()) {}

}  // namespace tavelo
