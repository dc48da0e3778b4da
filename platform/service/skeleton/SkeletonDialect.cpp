#include "skeleton/SkeletonDialect.h"

namespace MeridianSpace::detail {

namespace {

// A spelling no engine accepts: a statement built with it fails when it is
// prepared, never runs something else.
const char* const kMissing = "/* not implemented */";

}  // namespace

const SkeletonDialect& SkeletonDialect::instance() {
    static const SkeletonDialect dialect;
    return dialect;
}

const char* SkeletonDialect::beginSql() const {
    return kMissing;
}

const char* SkeletonDialect::idColumnDefinition(bool /*neverReused*/) const {
    return kMissing;
}

const char* SkeletonDialect::declaredType(int /*dataType*/) const {
    return kMissing;
}

std::string SkeletonDialect::likeTest(const std::string& /*column*/, bool /*negated*/,
                                      const std::string& /*param*/) const {
    return kMissing;
}

std::string SkeletonDialect::equalsIgnoringCase(const std::string& /*column*/,
                                                const std::string& /*param*/) const {
    return kMissing;
}

std::string SkeletonDialect::caseFoldedIndex(const std::string& /*column*/) const {
    return kMissing;
}

std::string SkeletonDialect::tailExpression(const std::string& /*column*/, int /*bytes*/) const {
    return kMissing;
}

const char* SkeletonDialect::tableNamesQuery() const {
    return kMissing;
}

const char* SkeletonDialect::indexQuery() const {
    return kMissing;
}

const char* SkeletonDialect::columnIndexesQuery() const {
    return kMissing;
}

std::string SkeletonDialect::byteLength(const std::string& /*column*/) const {
    return kMissing;
}

}  // namespace MeridianSpace::detail
