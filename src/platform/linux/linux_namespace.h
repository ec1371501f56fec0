#pragma once
// GNU dialects of C++ predefine the macro `linux` as 1, which would turn the namespace
// platform::linux into platform::1. The project builds with strict C++20, where it is not
// defined; this keeps the headers usable from a GNU-dialect build as well.
#ifdef linux
#undef linux
#endif
