#include "window/GetText.h"

namespace kotobane {

namespace {

bool IsTrimSpace(char16_t c)
{
    if (c <= 255) {
        return c == u' ' || (c >= u'\t' && c <= u'\r');
    }
    return QChar::isSpace(c);
}

}  // namespace

QString TrimPhrase(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsTrimSpace(text[begin].unicode())) {
        ++begin;
    }
    while (end > begin && IsTrimSpace(text[end - 1].unicode())) {
        --end;
    }
    return text.mid(begin, end - begin);
}

LookupText ComposeLookup(const QString& captured, const std::function<QString(const QString&)>& getReading)
{
    LookupText result;
    result.phrase = TrimPhrase(captured);
    if (result.phrase.size() > kMaxPhraseUnits) {
        result.phrase = kTooLongMessage;
    } else {
        result.reading = getReading(result.phrase);
    }
    return result;
}

}  // namespace kotobane
