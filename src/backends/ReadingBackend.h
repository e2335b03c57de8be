#pragma once

#include <QString>

#include "platform/ImeService.h"

namespace kotobane {

// One reading back-end, listed by the input-method service as a layout.
class ReadingBackend {
public:
    virtual ~ReadingBackend() = default;
    // The layout handle under which the back-end is listed (low 16 bits:
    // the language identifier).
    virtual Hkl Handle() const = 0;
    // The text shown for the back-end in the catalogue, e.g. "MeCab IPADIC".
    virtual QString Description() const = 0;
    // The reading of phrase (the first and only candidate); an empty
    // string when there is none. phrase may hold lone surrogates.
    virtual QString Reading(const QString& phrase) = 0;
};

}  // namespace kotobane
