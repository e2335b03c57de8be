#pragma once

#include <QHash>

#include "backends/ReadingBackend.h"

namespace kotobane::test {

// A back-end with a fixed table of readings that counts its conversions.
class FakeBackend final : public ReadingBackend {
public:
    FakeBackend(Hkl handle, QString description) : m_handle(handle), m_description(std::move(description)) { }
    Hkl Handle() const override { return m_handle; }
    QString Description() const override { return m_description; }
    QString Reading(const QString& phrase) override
    {
        ++conversions;
        return readings.value(phrase);
    }
    QHash<QString, QString> readings;
    int conversions = 0;

private:
    Hkl m_handle;
    QString m_description;
};

}  // namespace kotobane::test
