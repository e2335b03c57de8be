// The phrase index on any bytes as its image and as its cache file (with the
// checksum made to match, so that the structure checks behind it are reached).
#include <cstring>

#include "FuzzFile.h"
#include "backends/PhraseIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kotobane;
    QByteArray image(reinterpret_cast<const char*>(data), qsizetype(size));
    constexpr qsizetype kHeader = 64, kChecksumAt = 56;
    if (image.size() >= kHeader) {
        const quint64 checksum = PhraseIndex::ImageChecksum(image);
        std::memcpy(image.data() + kChecksumAt, &checksum, sizeof checksum);
    }
    const QString text = fuzz::Utf16(data + size / 2, size - size / 2);
    QByteArray signature;
    if (const auto index = PhraseIndex::FromImage(image)) {
        std::vector<PhraseIndex::Match> matches;
        index->Prefixes(text, matches);
        index->Find(text.left(3));
        signature = index->Signature();
    }
    const QString path = fuzz::WriteInput(reinterpret_cast<const uint8_t*>(image.constData()), size_t(image.size()));
    if (const auto index = PhraseIndex::Open(path, signature.isEmpty() ? QByteArray("x") : signature,
                                             [] { return std::optional<std::vector<PhraseIndex::Entry>>(); })) {
        index->Longest(text);
    }
    return 0;
}
