#include "history/HistoryRows.h"

#include <QLocale>

#include <algorithm>
#include <climits>
#include <cstring>
#include <thread>

#include <unicode/ucol.h>

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
    x = Leading(x, kCollatedUnits);
    y = Leading(y, kCollatedUnits);
    if (UCollator* c = Collator()) {
        const UCollationResult r = ucol_strcoll(c, Units(x), int32_t(x.size()), Units(y), int32_t(y.size()));
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

// What the sort moves: a row index, and the first bytes of its text key so
// that most comparisons of text need not fetch the key.
struct SortItem {
    quint64 prefix = 0;
    quint32 index = 0;
};

// Everything a sort compares, taken once per row: a row's shape decides
// when it stands first, and its values serve whichever shape the other
// row chose.
struct SortKeys {
    std::vector<Shape> shape;
    std::vector<int> number;
    std::vector<DateValue> date;
    // Text keys, when any row is text: the rows before split in keys[0],
    // the others in keys[1] (made on two threads).
    size_t split = 0;
    std::array<QByteArray, 2> keys;
    std::vector<qsizetype> keyOffset;
    bool prefixDecides = false;  // the prefixes are the whole keys

    const char* Key(quint32 row) const { return keys[row < split ? 0 : 1].constData() + keyOffset[row]; }

    int Compare(const SortItem& a, const SortItem& b) const
    {
        switch (shape[a.index]) {
        case Shape::Numeric:
            return Order(number[a.index], number[b.index]);
        case Shape::Date:
            return Order(date[a.index], date[b.index]);
        case Shape::Text:
            break;
        }
        if (a.prefix != b.prefix) {
            return a.prefix < b.prefix ? -1 : 1;
        }
        if (prefixDecides) {
            return 0;
        }
        const int r = std::strcmp(Key(a.index), Key(b.index));
        return (r > 0) - (r < 0);
    }
};

// The key's first eight bytes, most significant first, zero after its end:
// ordered as the keys are.
quint64 KeyPrefix(const char* key)
{
    quint64 prefix = 0;
    bool ended = false;
    for (int i = 0; i < 8; ++i) {
        ended = ended || key[i] == 0;
        prefix = (prefix << 8) | (ended ? 0 : quint8(key[i]));
    }
    return prefix;
}

// When every cell has the length and the characters of the first except
// for ASCII digits, the collation orders them as their digits, position by
// position (no locale tailors the digits): their keys are those digits,
// four bits each, when there are at most 16. A date column is such a one.
bool DigitKeys(const std::vector<QStringView>& cells, std::vector<quint64>& keys)
{
    const QStringView first = cells.front();
    if (first.size() > kCollatedUnits) {
        return false;  // digits past the collated units do not count
    }
    std::vector<qsizetype> digits;
    for (qsizetype i = 0; i < first.size(); ++i) {
        if (first[i] >= u'0' && first[i] <= u'9') {
            digits.push_back(i);
        }
    }
    if (digits.empty() || digits.size() > 16) {
        return false;
    }
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    keys.resize(cells.size());
    for (size_t r = 0; r < cells.size(); ++r) {
        const QStringView cell = cells[r];
        if (cell.size() != first.size()) {
            return false;
        }
        size_t d = 0;
        quint64 key = 0;
        for (qsizetype i = 0; i < cell.size(); ++i) {
            if (d < digits.size() && digits[d] == i) {
                if (!isDigit(cell[i])) {
                    return false;
                }
                key = (key << 4) | quint64(cell[i].unicode() - u'0');
                ++d;
            } else if (cell[i] != first[i]) {
                return false;
            }
        }
        keys[r] = key << (4 * (16 - digits.size()));
    }
    return true;
}

// A merge sort over natural runs: linear on a list already in order or in
// reverse order (a history file is in date order), and it never looks
// outside the array whatever the comparison answers.
template <typename Item, typename Less>
void MergeSort(std::vector<Item>& items, Less less)
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
    std::vector<Item> buffer(n);
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

// The shape of every cell and the values the shapes ask for; true when
// some cell is text and so needs text keys.
bool TakeValues(const std::vector<QStringView>& cells, SortKeys& keys)
{
    const size_t n = cells.size();
    keys.shape.resize(n);
    bool anyNumeric = false;
    bool anyDate = false;
    bool anyText = false;
    for (size_t i = 0; i < n; ++i) {
        keys.shape[i] = ShapeOf(cells[i]);
        anyNumeric = anyNumeric || keys.shape[i] == Shape::Numeric;
        anyDate = anyDate || keys.shape[i] == Shape::Date;
        anyText = anyText || keys.shape[i] == Shape::Text;
    }
    // Only the values some row's shape asks for.
    if (anyNumeric) {
        keys.number.resize(n);
        for (size_t i = 0; i < n; ++i) {
            keys.number[i] = IntegerPrefix(cells[i]);
        }
    }
    if (anyDate) {
        keys.date.resize(n);
        for (size_t i = 0; i < n; ++i) {
            keys.date[i] = DateOf(cells[i]);
        }
    }
    return anyText;
}

// The collation keys of cells [from, to), end to end in arena, each of the
// units that LocaleCompare compares.
void MakeCollationKeys(const std::vector<QStringView>& cells, size_t from, size_t to, SortKeys& keys, QByteArray& arena)
{
    const UCollator* collator = Collator();
    QByteArray key(256, Qt::Uninitialized);
    for (size_t i = from; i < to; ++i) {
        const QStringView cell = Leading(cells[i], kCollatedUnits);
        keys.keyOffset[i] = arena.size();
        int32_t length = 0;
        if (collator != nullptr) {
            const auto make = [&] {
                return ucol_getSortKey(collator, Units(cell), int32_t(cell.size()),
                                       reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
            };
            length = make();
            if (length > key.size()) {
                key.resize(length);
                length = make();
            }
        }
        // The key ends with its zero byte; without a collator, none.
        arena.append(key.constData(), std::max(0, length - 1));
        arena.append('\0');
    }
}

// The text keys: the digits alone where they decide (digitKeys), otherwise
// collation keys.
void TakeTextKeys(const std::vector<QStringView>& cells, SortKeys& keys, std::vector<quint64>& digitKeys)
{
    keys.prefixDecides = DigitKeys(cells, digitKeys);
    if (keys.prefixDecides) {
        return;
    }
    const size_t n = cells.size();
    keys.keyOffset.resize(n);
    keys.split = n / 2;
    // Making the keys is most of a sort's work; a collator may be used by
    // two threads at once.
    std::thread second(MakeCollationKeys, std::cref(cells), keys.split, n, std::ref(keys), std::ref(keys.keys[1]));
    MakeCollationKeys(cells, 0, keys.split, keys, keys.keys[0]);
    second.join();
}

// The rows' order under keys: the row that goes first, then the next, ...
std::vector<quint32> SortedOrder(SortKeys& keys, std::vector<quint64>& digitKeys, size_t n, bool ascending)
{
    std::vector<SortItem> items(n);
    for (size_t i = 0; i < n; ++i) {
        items[i].index = quint32(i);
        if (keys.prefixDecides) {
            items[i].prefix = digitKeys[i];
        } else if (!keys.keyOffset.empty()) {
            items[i].prefix = KeyPrefix(keys.Key(quint32(i)));
        }
    }
    MergeSort(items, [&keys, ascending](const SortItem& a, const SortItem& b) {
        const int r = keys.Compare(a, b);
        return ascending ? r < 0 : r > 0;
    });
    keys = SortKeys();
    digitKeys = {};
    std::vector<quint32> order(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = items[i].index;
    }
    return order;
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

QStringView Leading(QStringView text, qsizetype n)
{
    if (text.size() <= n) {
        return text;
    }
    if (n > 0 && text[n - 1].isHighSurrogate() && text[n].isLowSurrogate()) {
        --n;
    }
    return text.first(std::max<qsizetype>(n, 0));
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

QStringView HistoryRows::DeletedCell(int row, int column) const
{
    if (row < 0 || row >= DeletedCount() || column < 0 || column >= kHistoryColumns) {
        return {};
    }
    return Slice(m_deleted[size_t(row)], column);
}

void HistoryRows::DeleteRow(int row)
{
    if (row >= 0 && row < Count()) {
        m_deleted.push_back(m_rows[size_t(row)]);
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
            m_deleted.push_back(m_rows[i]);
            continue;
        }
        m_rows[out++] = m_rows[i];
    }
    m_rows.resize(out);
}

void HistoryRows::DeleteAllRows()
{
    m_rows.clear();
    m_deleted.clear();
    m_blocks.clear();
    m_small = nullptr;
}

bool HistoryRows::InOneRun(int column, bool ascending)
{
    const auto less = [&](size_t a, size_t b) {
        return CompareRows(Slice(m_rows[a], column), Slice(m_rows[b], column), ascending) < 0;
    };
    const size_t n = m_rows.size();
    if (less(1, 0)) {
        for (size_t i = 2; i < n; ++i) {
            if (!less(i, i - 1)) {
                return false;
            }
        }
        std::reverse(m_rows.begin(), m_rows.end());
        return true;
    }
    for (size_t i = 2; i < n; ++i) {
        if (less(i, i - 1)) {
            return false;
        }
    }
    return true;
}

void HistoryRows::SortBy(int column, bool ascending)
{
    const size_t n = m_rows.size();
    if (n < 2 || column < 0 || column >= kHistoryColumns) {
        return;
    }
    // A list in order or in reverse order (a history opened newest first, a
    // second click on a header) needs no keys: one pass settles it, and
    // any other list leaves that pass after a few rows.
    if (InOneRun(column, ascending)) {
        return;
    }
    std::vector<QStringView> cells(n);
    for (size_t i = 0; i < n; ++i) {
        cells[i] = Slice(m_rows[i], column);
    }
    SortKeys keys;
    std::vector<quint64> digitKeys;
    if (TakeValues(cells, keys)) {
        TakeTextKeys(cells, keys, digitKeys);
    }
    cells = {};
    Permute(SortedOrder(keys, digitKeys, n, ascending));
}

void HistoryRows::Permute(std::vector<quint32> order)
{
    // Rows move along the permutation's cycles, without a second copy.
    const size_t n = order.size();
    for (size_t i = 0; i < n; ++i) {
        if (order[i] == i) {
            continue;
        }
        const Row first = m_rows[i];
        size_t j = i;
        while (order[j] != i) {
            const size_t next = order[j];
            m_rows[j] = m_rows[next];
            order[j] = quint32(j);
            j = next;
        }
        m_rows[j] = first;
        order[j] = quint32(j);
    }
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
