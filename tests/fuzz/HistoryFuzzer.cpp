// The history reader: the line walk and the field split; a save of what was
// read loads back as the same rows.
#include "FuzzFile.h"
#include "history/HistoryStore.h"

namespace {

struct QuietBox final : kotobane::MessageBoxService {
    int MessageBox(const QString&, unsigned) override { return kotobane::IDOK; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kotobane;
    QuietBox ui;
    const QString path = fuzz::WriteInput(data, size);
    // The first byte picks the separator, as an import of a .csv would.
    const QChar separator = size > 0 && data[0] % 2 ? u',' : u'\t';
    HistoryRows rows;
    HistoryFileMark mark;
    if (!LoadHistory(rows, path, separator, false, ui, &mark) || mark.length != qint64(size)) {
        __builtin_trap();
    }
    for (int r = 0; r < rows.Count(); ++r) {
        for (int c = 0; c < kHistoryColumns; ++c) {
            if (rows.Cell(r, c).contains(separator)) {
                __builtin_trap();  // a field never holds its separator
            }
        }
    }
    SplitFields(fuzz::Utf16(data, size), separator);
    rows.SortBy(int(size % 3), size % 2 == 0);
    const QString saved = path + QStringLiteral(".saved");
    if (!SaveHistory(rows, saved, separator, ui)) {
        __builtin_trap();
    }
    HistoryRows again;
    LoadHistory(again, saved, separator, false, ui);
    if (again.Count() != rows.Count()) {
        __builtin_trap();
    }
    for (int r = 0; r < rows.Count(); ++r) {
        for (int c = 0; c < kHistoryColumns; ++c) {
            if (again.Cell(r, c) != rows.Cell(r, c)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
