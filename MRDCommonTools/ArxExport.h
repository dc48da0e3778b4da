#pragma once

// Marks a class or function as part of the exported interface of a shared
// library; everything else stays hidden (-fvisibility=hidden).
#ifndef ARX
#define ARX __attribute__((visibility("default")))
#endif
