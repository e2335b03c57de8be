#pragma once

#include <QString>

#include <string>
#include <vector>

namespace kotobane::test {

// One log shared by every fake, so that the order of calls across services
// can be asserted.
struct Recorder {
    std::vector<std::string> calls;
    void Add(const std::string& call) { calls.push_back(call); }
    void Clear() { calls.clear(); }
};

inline std::string Utf8(const QString& s)
{
    return s.toStdString();
}

}  // namespace kotobane::test
