#pragma once

#include <QtGlobal>

namespace kotobane {

// The program's own error codes, above the errno range, for failures that
// errno has no fitting word for.

// A key combination that another program has grabbed ("Device or resource
// busy" would tell the user nothing).
inline constexpr quint32 kErrorHotKeyAlreadyRegistered = 1409;

// A FIFO, socket or device where a file should be (no errno says that).
inline constexpr quint32 kErrorNotRegularFile = 1410;

// A FIFO written to that no program opened for reading in time (ENXIO says
// "No such device or address").
inline constexpr quint32 kErrorNoReader = 1411;

}  // namespace kotobane
