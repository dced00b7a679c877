#pragma once

#include <QString>

#include <array>
#include <iterator>
#include <vector>

namespace textcompare {

// State of a result row: the line exists only in file 2 ("追加"), only in file 1 ("削除"),
// the two lines have different keys ("変更"), or they are the same (empty text; with blanks
// or case ignored their shown texts may still differ).
enum class DiffState : quint8 { Same, Added, Deleted, Changed };

// "", "追加", "削除" or "変更".
QString DiffStateText(DiffState state);

// One result row: line[0] is the line number in file 1 and line[1] the one in file 2, 0
// where the row holds no line of that file.
struct DiffRow
{
    std::array<int, 2> line{};
    DiffState state = DiffState::Same;

    friend bool operator==(const DiffRow &, const DiffRow &) = default;
};

// The rows of a result, in order. They are kept as runs: a run is a stretch of rows of one
// state in which each side either has no line in any row or has the next line in every
// row. A stretch of equal lines, or the lines of one side of a changed block, is thus one
// entry of 16 bytes, whatever its length.
class DiffRowList
{
public:
    void append(const DiffRow &row);
    // The number of rows.
    int size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // Row `index`, from 0.
    DiffRow operator[](int index) const;
    DiffRow back() const { return (*this)[m_size - 1]; }

    // Rows in order, a step costing no search.
    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = DiffRow;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = DiffRow;

        const_iterator() = default;
        DiffRow operator*() const;
        const_iterator &operator++();
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator &left, const const_iterator &right)
        {
            return left.m_index == right.m_index;
        }

    private:
        friend class DiffRowList;
        const_iterator(const DiffRowList *list, int index, size_t run)
            : m_list(list)
            , m_index(index)
            , m_run(run)
        {
        }

        const DiffRowList *m_list = nullptr;
        int m_index = 0;
        size_t m_run = 0; // the run holding row m_index
    };
    const_iterator begin() const { return const_iterator(this, 0, 0); }
    const_iterator end() const { return const_iterator(this, m_size, m_runs.size()); }

private:
    struct Run
    {
        int firstIndex;             // index of the run's first row
        std::array<int, 2> lines;   // the line numbers of its first row
        DiffState state;
    };

    // Row `offset` of run `run`.
    DiffRow rowOf(size_t run, int offset) const;
    int endOf(size_t run) const { return run + 1 < m_runs.size() ? m_runs[run + 1].firstIndex : m_size; }

    std::vector<Run> m_runs;
    int m_size = 0;
};

} // namespace textcompare
