#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "backends/ReadingBackend.h"

namespace kotobane {

// A back-end listed by its handle and description and opened at its first
// reading, so that starting the program and listing the catalogue do no
// dictionary work; an index not built yet is built then, once.
class LazyBackend final : public ReadingBackend {
public:
    using Opener = std::function<std::unique_ptr<ReadingBackend>()>;
    LazyBackend(Hkl handle, QString description, Opener open, std::function<void(bool busy)> busy = {});

    Hkl Handle() const override { return m_handle; }
    QString Description() const override { return m_description; }
    QString Reading(const QString& phrase) override;
    bool Opened() const { return m_tried; }

private:
    Hkl m_handle;
    QString m_description;
    Opener m_open;
    std::function<void(bool)> m_busy;
    bool m_tried = false;
    std::unique_ptr<ReadingBackend> m_backend;
};

// The back-ends whose data is installed on this machine, in the stable
// order in which the catalogue lists them, each opened when first used.
// Missing data is skipped quietly. busy is told before (true) and after
// (false) a back-end opens, which can take a second or two the first time.
std::vector<std::unique_ptr<ReadingBackend>> CreateInstalledBackends(std::function<void(bool busy)> busy = {});

}  // namespace kotobane
