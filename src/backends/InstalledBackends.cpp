#include "backends/InstalledBackends.h"

#include "backends/ChineseBackend.h"
#include "backends/HanjaBackend.h"
#include "backends/MecabBackend.h"

namespace kotobane {

std::vector<std::unique_ptr<ReadingBackend>> CreateInstalledBackends()
{
    std::vector<std::unique_ptr<ReadingBackend>> backends;
    for (const MecabBackend::Kind kind : {MecabBackend::Kind::Ipadic, MecabBackend::Kind::Unidic}) {
        if (std::unique_ptr<MecabBackend> backend = MecabBackend::Open(kind)) {
            backends.push_back(std::move(backend));
        }
    }
    for (const ChineseBackend::Script script :
         {ChineseBackend::Script::Simplified, ChineseBackend::Script::Traditional}) {
        if (std::unique_ptr<ChineseBackend> backend = ChineseBackend::Open(script)) {
            backends.push_back(std::move(backend));
        }
    }
    if (std::unique_ptr<HanjaBackend> hanja = HanjaBackend::Open()) {
        backends.push_back(std::move(hanja));
    }
    return backends;
}

}  // namespace kotobane
