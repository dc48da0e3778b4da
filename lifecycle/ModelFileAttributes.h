#pragma once

// The attributes a model file gives each record, by their names in the file:
// the member of the record that holds each one, in the order the file
// writes them. The reader and the writer of model files both follow these
// lists, and the apply copies attributes by them. Internal to arx_qms.
#include <string>
#include <vector>

#include "ModelDescription.h"

namespace MeridianSpace {

/// One attribute: a text or an integer member of `T`.
template <class T>
struct FileAttribute {
    const char* name;
    std::string T::*text;
    int T::*integer;

    FileAttribute(const char* attribute, std::string T::*member)
        : name(attribute), text(member), integer(nullptr) {}
    FileAttribute(const char* attribute, int T::*member)
        : name(attribute), text(nullptr), integer(member) {}

    bool same(const T& a, const T& b) const {
        return text != nullptr ? a.*text == b.*text : a.*integer == b.*integer;
    }
    void copy(const T& from, T& to) const {
        if (text != nullptr) {
            to.*text = from.*text;
        } else {
            to.*integer = from.*integer;
        }
    }
};

/// The attributes written only where they differ from a new record's
/// (the name, the key and the data type have their own places).
const std::vector<FileAttribute<M_EntityModelDAO>>& modelAttributes();
const std::vector<FileAttribute<M_FolderDAO>>& folderAttributes();
const std::vector<FileAttribute<M_EntityTableDAO>>& tableAttributes();
const std::vector<FileAttribute<M_NormalColumnDAO>>& columnAttributes();
/// Of both kinds of definition; "sortType" only of query definitions.
const std::vector<FileAttribute<M_FindByInterfaceDAO>>& definitionAttributes();

/// A column data type as the file writes it: int, text, real, bytes, blob,
/// or the code in decimal for another one.
std::string dataTypeWord(int dataType);
/// The code of a word dataTypeWord gives, or of a decimal code; false for
/// anything else.
bool dataTypeOfWord(const std::string& word, int& dataType);

/// True when every attribute of the list is the same in `a` and `b`.
template <class T>
bool sameAttributes(const std::vector<FileAttribute<T>>& attributes, const T& a, const T& b) {
    for (const FileAttribute<T>& attribute : attributes) {
        if (!attribute.same(a, b)) return false;
    }
    return true;
}

}  // namespace MeridianSpace
