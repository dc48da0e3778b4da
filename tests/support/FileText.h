#pragma once

// Whole-file reading and writing for tests.
#include <fstream>
#include <iterator>
#include <string>

namespace arxtest {

inline void writeText(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace arxtest
