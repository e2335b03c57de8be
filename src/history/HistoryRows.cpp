#include "history/HistoryRows.h"

#include <QLocale>

#include <unicode/ucol.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace kotobane {

namespace {

// Copies of short cells share blocks of this many units.
constexpr qsizetype kSmallBlockUnits = 16 * 1024;

// The collator of the user's locale, opened once. Sort keys and direct
// comparisons come from the same one, so a sorted list and a row placed
// into it agree.
UCollator* Collator()
{
    struct Holder {
        UCollator* collator = nullptr;
        Holder()
        {
            UErrorCode status = U_ZERO_ERROR;
            const QByteArray name = QLocale::system().name().toLatin1();
            collator = ucol_open(name == "C" ? "" : name.constData(), &status);
            if (U_FAILURE(status)) {
                status = U_ZERO_ERROR;
                collator = ucol_open("", &status);
            }
        }
        ~Holder() { ucol_close(collator); }
    };
    static Holder holder;
    return holder.collator;
}

const UChar* Units(QStringView text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}

int LocaleCompare(QStringView x, QStringView y)
{
    if (UCollator* c = Collator()) {
        const UCollationResult r =
            ucol_strcoll(c, Units(x), int32_t(x.size()), Units(y), int32_t(y.size()));
        return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
    }
    const int r = x.compare(y);
    return (r > 0) - (r < 0);
}

enum class Shape : quint8 { Numeric, Date, Text };

Shape ShapeOf(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() || c == u'.'; })) {
        return Shape::Numeric;
    }
    if (text.size() == 10 && text[2] == u'/' && text[5] == u'/') {
        bool digits = true;
        for (int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
            digits = digits && text[i].isDigit();
        }
        if (digits) {
            return Shape::Date;
        }
    }
    return Shape::Text;
}

// Up to n units of text from pos; empty past its end.
QStringView Part(QStringView text, qsizetype pos, qsizetype n)
{
    return pos >= text.size() ? QStringView() : text.mid(pos, std::min(n, text.size() - pos));
}

struct DateValue {
    int year = 0;
    int month = 0;
    int day = 0;
    auto operator<=>(const DateValue&) const = default;
};

DateValue DateOf(QStringView text)
{
    return {IntegerPrefix(Part(text, 6, 4)), IntegerPrefix(Part(text, 3, 2)), IntegerPrefix(Part(text, 0, 2))};
}

template <typename T>
int Order(const T& a, const T& b)
{
    return a < b ? -1 : b < a ? 1 : 0;
}

// Everything a sort compares, taken once per row: a row's shape decides
// when it stands first, and its values serve whichever shape the other
// row chose.
struct SortKeys {
    std::vector<Shape> shape;
    std::vector<int> number;
    std::vector<DateValue> date;
    std::vector<qsizetype> keyOffset;  // into keys, when any row is text
    QByteArray keys;

    int Compare(quint32 a, quint32 b) const
    {
        switch (shape[a]) {
        case Shape::Numeric:
            return Order(number[a], number[b]);
        case Shape::Date:
            return Order(date[a], date[b]);
        case Shape::Text:
            break;
        }
        const int r = std::strcmp(keys.constData() + keyOffset[a], keys.constData() + keyOffset[b]);
        return (r > 0) - (r < 0);
    }
};

// A merge sort over natural runs: linear on a list already in order or in
// reverse order (a history file is in date order), and it never looks
// outside the array whatever the comparison answers.
template <typename Less>
void MergeSort(std::vector<quint32>& items, Less less)
{
    const size_t n = items.size();
    std::vector<size_t> runEnds;
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        if (j < n && less(items[j], items[j - 1])) {
            while (j < n && less(items[j], items[j - 1])) {
                ++j;
            }
            std::reverse(items.begin() + qsizetype(i), items.begin() + qsizetype(j));
        } else {
            while (j < n && !less(items[j], items[j - 1])) {
                ++j;
            }
        }
        runEnds.push_back(j);
        i = j;
    }
    std::vector<quint32> buffer(n);
    while (runEnds.size() > 1) {
        std::vector<size_t> merged;
        size_t start = 0;
        for (size_t r = 0; r < runEnds.size(); r += 2) {
            if (r + 1 == runEnds.size()) {
                std::copy(items.begin() + qsizetype(start), items.begin() + qsizetype(runEnds[r]),
                          buffer.begin() + qsizetype(start));
                merged.push_back(runEnds[r]);
                break;
            }
            size_t left = start;
            const size_t mid = runEnds[r];
            size_t right = mid;
            const size_t end = runEnds[r + 1];
            size_t out = start;
            while (left < mid && right < end) {
                buffer[out++] = less(items[right], items[left]) ? items[right++] : items[left++];
            }
            while (left < mid) {
                buffer[out++] = items[left++];
            }
            while (right < end) {
                buffer[out++] = items[right++];
            }
            merged.push_back(end);
            start = end;
        }
        items.swap(buffer);
        runEnds.swap(merged);
    }
}

}  // namespace

int IntegerPrefix(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i].isDigit(); ++i) {
        value = std::min<qint64>(value * 10 + text[i].digitValue(), qint64(INT_MAX) + 1);
    }
    value = negative ? -value : value;
    return int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

int CompareRows(QStringView x, QStringView y, bool ascending)
{
    int r = 0;
    switch (ShapeOf(x)) {
    case Shape::Numeric:
        r = Order(IntegerPrefix(x), IntegerPrefix(y));
        break;
    case Shape::Date:
        r = Order(DateOf(x), DateOf(y));
        break;
    case Shape::Text:
        r = LocaleCompare(x, y);
        break;
    }
    return ascending ? r : -r;
}

HistoryRows::HistoryRows() = default;
HistoryRows::~HistoryRows() = default;

QStringView HistoryRows::Slice(const Row& row, int column) const
{
    return QStringView(row.text[size_t(column)], row.length[size_t(column)]);
}

QStringView HistoryRows::Cell(int row, int column) const
{
    if (row < 0 || row >= Count() || column < 0 || column >= kHistoryColumns) {
        return {};
    }
    return Slice(m_rows[size_t(row)], column);
}

const QChar* HistoryRows::AdoptBlock(QString block)
{
    m_blocks.push_back(std::make_unique<QString>(std::move(block)));
    return m_blocks.back()->constData();
}

int HistoryRows::AddSlices(const std::array<QStringView, kHistoryColumns>& cells)
{
    Row row;
    for (size_t i = 0; i < cells.size(); ++i) {
        row.text[i] = cells[i].data();
        row.length[i] = qint32(std::min<qsizetype>(cells[i].size(), INT_MAX));
    }
    m_rows.push_back(row);
    return Count() - 1;
}

int HistoryRows::AddRow(const QStringList& fields)
{
    InsertRow(Count(), fields);
    return Count() - 1;
}

void HistoryRows::InsertRow(int index, const QStringList& fields)
{
    qsizetype units = 0;
    for (int i = 0; i < kHistoryColumns && i < fields.size(); ++i) {
        units += fields[i].size();
    }
    // A block is never grown, so the cells pointing into it stay valid.
    if (m_small == nullptr || m_small->capacity() - m_small->size() < units) {
        QString block;
        block.reserve(std::max(units, kSmallBlockUnits));
        m_blocks.push_back(std::make_unique<QString>(std::move(block)));
        m_small = m_blocks.back().get();
    }
    Row row;
    for (int i = 0; i < kHistoryColumns && i < fields.size(); ++i) {
        const qsizetype start = m_small->size();
        m_small->append(fields[i]);
        row.text[size_t(i)] = m_small->constData() + start;
        row.length[size_t(i)] = qint32(fields[i].size());
    }
    m_rows.insert(m_rows.begin() + std::clamp(index, 0, Count()), row);
}

void HistoryRows::DeleteRow(int row)
{
    if (row >= 0 && row < Count()) {
        m_rows.erase(m_rows.begin() + row);
    }
}

void HistoryRows::DeleteRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    size_t out = 0;
    qsizetype next = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        while (next < rows.size() && rows[next] < int(i)) {
            ++next;
        }
        if (next < rows.size() && rows[next] == int(i)) {
            continue;
        }
        m_rows[out++] = m_rows[i];
    }
    m_rows.resize(out);
}

void HistoryRows::DeleteAllRows()
{
    m_rows.clear();
    m_blocks.clear();
    m_small = nullptr;
}

void HistoryRows::SortBy(int column, bool ascending)
{
    const size_t n = m_rows.size();
    if (n < 2 || column < 0 || column >= kHistoryColumns) {
        return;
    }
    SortKeys keys;
    keys.shape.resize(n);
    keys.number.resize(n);
    keys.date.resize(n);
    bool anyText = false;
    for (size_t i = 0; i < n; ++i) {
        const QStringView cell = Slice(m_rows[i], column);
        keys.shape[i] = ShapeOf(cell);
        keys.number[i] = IntegerPrefix(cell);
        keys.date[i] = DateOf(cell);
        anyText = anyText || keys.shape[i] == Shape::Text;
    }
    if (anyText) {
        keys.keyOffset.resize(n);
        UCollator* collator = Collator();
        QByteArray key(256, Qt::Uninitialized);
        for (size_t i = 0; i < n; ++i) {
            const QStringView cell = Slice(m_rows[i], column);
            keys.keyOffset[i] = keys.keys.size();
            int32_t length = 0;
            if (collator != nullptr) {
                length = ucol_getSortKey(collator, Units(cell), int32_t(cell.size()), reinterpret_cast<uint8_t*>(key.data()),
                                         int32_t(key.size()));
                if (length > key.size()) {
                    key.resize(length);
                    length = ucol_getSortKey(collator, Units(cell), int32_t(cell.size()),
                                             reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
                }
            }
            // The key ends with its zero byte; without a collator, none.
            keys.keys.append(key.constData(), std::max(0, length - 1));
            keys.keys.append('\0');
        }
    }
    std::vector<quint32> order(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = quint32(i);
    }
    MergeSort(order, [&keys, ascending](quint32 a, quint32 b) {
        const int r = keys.Compare(a, b);
        return ascending ? r < 0 : r > 0;
    });
    std::vector<Row> sorted(n);
    for (size_t i = 0; i < n; ++i) {
        sorted[i] = m_rows[order[i]];
    }
    m_rows.swap(sorted);
}

int HistoryRows::SortedPosition(const QStringList& fields, int column, bool ascending) const
{
    const QStringView x = column >= 0 && column < fields.size() ? QStringView(fields[column]) : QStringView();
    int low = 0;
    int high = Count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (CompareRows(x, Cell(mid, column), ascending) < 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return low;
}

}  // namespace kotobane
