#pragma once

// The standard names the platform has always made available unqualified.
// Generated DAO and mapper sources write list<...>, vector<string>, cout and
// endl without std:: and name ResultMsg, DAO and Mapper at global scope, so
// this one header brings those names into MeridianSpace and opens
// MeridianSpace for its includers. No other header does this.
#include <iostream>
#include <list>
#include <map>
#include <string>
#include <vector>

namespace MeridianSpace {
using std::cout;
using std::endl;
using std::list;
using std::map;
using std::string;
using std::vector;
}  // namespace MeridianSpace

using namespace MeridianSpace;
