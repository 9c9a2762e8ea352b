// TEMPORARY (see CMakeLists.txt): declared, never defined or called.
#pragma once
#include <dirent.h>
extern "C" int dirfd(DIR*);
