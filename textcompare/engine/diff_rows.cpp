#include "textcompare/engine/diff_rows.h"

#include <algorithm>

namespace textcompare {

QString DiffStateText(DiffState state)
{
    switch (state) {
    case DiffState::Added:
        return QStringLiteral("追加");
    case DiffState::Deleted:
        return QStringLiteral("削除");
    case DiffState::Changed:
        return QStringLiteral("変更");
    case DiffState::Same:
        break;
    }
    return QString();
}

void DiffRowList::append(const DiffRow &row)
{
    if (!m_runs.empty()) {
        const Run &last = m_runs.back();
        const int offset = m_size - last.firstIndex;
        bool continues = last.state == row.state;
        for (size_t side = 0; side < 2 && continues; ++side)
            continues = last.lines[side] == 0 ? row.line[side] == 0 : row.line[side] == last.lines[side] + offset;
        if (continues) {
            ++m_size;
            return;
        }
    }
    m_runs.push_back(Run{m_size, row.line, row.state});
    ++m_size;
}

DiffRow DiffRowList::rowOf(size_t run, int offset) const
{
    const Run &found = m_runs[run];
    DiffRow row{found.lines, found.state};
    for (int &line : row.line)
        line = line == 0 ? 0 : line + offset;
    return row;
}

DiffRow DiffRowList::operator[](int index) const
{
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                        [](int wanted, const Run &run) { return wanted < run.firstIndex; });
    const size_t run = size_t(after - m_runs.begin()) - 1;
    return rowOf(run, index - m_runs[run].firstIndex);
}

DiffRow DiffRowList::const_iterator::operator*() const
{
    return m_list->rowOf(m_run, m_index - m_list->m_runs[m_run].firstIndex);
}

DiffRowList::const_iterator &DiffRowList::const_iterator::operator++()
{
    ++m_index;
    if (m_index == m_list->endOf(m_run))
        ++m_run;
    return *this;
}

} // namespace textcompare
