#pragma once

// The first step of reading a model file: its text checked (size, UTF-8)
// and parsed into a tree of maps, lists and values that each know where
// they stand. Whatever YAML could make a reader expand or recurse without
// bound (anchors and aliases, tags, deep nesting, too many values) is
// refused here. Internal to arx_qms.
#include <stdexcept>
#include <string>
#include <vector>

#include "ModelDescription.h"

namespace MeridianSpace {

/// A refusal of a model file at `place`; `message` is GBK. Thrown inside
/// the reader only.
struct ModelFileRefusal : std::runtime_error {
    ModelFileRefusal(FilePlace at, const std::string& what)
        : std::runtime_error(what), place(at), message(what) {}
    FilePlace place;
    std::string message;
};

/// A value (its UTF-8 text), a map or a list, or nothing (an empty value).
struct FileNode {
    enum class Kind { Empty, Text, Map, List };
    Kind kind = Kind::Empty;
    std::string text;
    FilePlace place;
    /// The entries of a list, or the values of a map.
    std::vector<FileNode> items;
    /// The keys of a map and where they stand, beside `items`.
    std::vector<std::string> keys;
    std::vector<FilePlace> keyPlaces;
};

/// The tree of `text`; throws ModelFileRefusal.
FileNode parseModelFileTree(const std::string& text);

/// The message of a refusal at `place` (GBK): "模型文件第L行第C列：" and
/// `what` ("模型文件：" and `what` for an item the file does not hold).
std::string refusalText(FilePlace place, const std::string& what);

}  // namespace MeridianSpace
