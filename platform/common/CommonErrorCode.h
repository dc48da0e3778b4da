#pragma once

// Failure codes of the common library (the range 2001-2999, see
// ResultReturnCode.h). Callers pass them on unchanged.
namespace MeridianSpace {

/// The platform is not started or has no current database of the kind needed.
constexpr int COM_ERR_NOT_STARTED = 2001;
/// No factory is registered under the class name.
constexpr int COM_ERR_UNKNOWN_CLASS = 2002;
/// A finder attribute matches no column that the class's mapper writes.
constexpr int COM_ERR_ATTRIBUTE = 2003;
/// An argument was refused (null object, unsaved owner, mismatched vectors).
constexpr int COM_ERR_ARGUMENT = 2004;
/// The class gives no mapper, or its mapper refused the object.
constexpr int COM_ERR_MAPPER = 2005;

}  // namespace MeridianSpace
