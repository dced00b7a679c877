#include "common/code_conversion.h"

#include "common/non_code_class.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

namespace common {

namespace {

// Pieces of a text converted at once, cut behind the first LF from this many bytes on.
constexpr qsizetype PieceBytes = qsizetype(4) << 20;

// Codes in which an LF byte is always a character of its own, and codes whose bytes for
// a text are those of its pieces one behind the other.
bool readsInPieces(const QString &code)
{
    return code == u"SJIS" || code == u"EUC" || code == u"UTF8";
}

bool writesInPieces(const QString &code)
{
    return readsInPieces(code) || code == u"UNICODE";
}

// `bytes` cut behind an LF about every PieceBytes bytes; one piece when they are short.
std::vector<QByteArrayView> piecesOf(QByteArrayView bytes)
{
    std::vector<QByteArrayView> pieces;
    qsizetype start = 0;
    while (bytes.size() - start > 2 * PieceBytes) {
        const qsizetype lineEnd = bytes.indexOf('\n', start + PieceBytes);
        if (lineEnd < 0)
            break;
        pieces.push_back(bytes.sliced(start, lineEnd + 1 - start));
        start = lineEnd + 1;
    }
    pieces.push_back(bytes.sliced(start));
    return pieces;
}

struct Piece
{
    bool read = false;
    bool encoded = false;
    QByteArray bytes;
};

Piece convertPiece(const QString &code, QByteArrayView piece, const QString &targetCode, QStringView lineEnd)
{
    Piece converted;
    NonCodeClass codes;
    const QString text = codes.ToVbUnicode(code, piece);
    converted.read = codes.lastConversionClean();
    if (converted.read)
        converted.bytes = EncodeText(targetCode, NonCodeClass::ChangeLineEnds(text, lineEnd), converted.encoded);
    return converted;
}

// One attempt at the conversion in one code: the pieces are converted on as many threads
// as there are processors, each taking the next piece not yet taken, and handed to `take`
// in order on the calling thread. Ends at the first piece that is not read or not
// encoded, or that `take` refuses.
class PieceRun
{
public:
    PieceRun(const QString &code, const std::vector<QByteArrayView> &pieces, const QString &targetCode,
             QStringView lineEnd)
        : m_code(code), m_pieces(pieces), m_targetCode(targetCode), m_lineEnd(lineEnd), m_converted(pieces.size())
    {
    }

    // Returns the piece that ended the run (its bytes gone to `take`), or the last one.
    template <typename Take>
    Piece run(Take take)
    {
        const size_t threads = std::min<size_t>(m_pieces.size(), size_t(std::max(1, QThread::idealThreadCount())));
        // A single thread converts every piece before the first is taken.
        m_ahead = threads > 1 ? 2 * threads : m_pieces.size();
        std::vector<std::future<void>> workers;
        for (size_t worker = 0; worker + 1 < threads; ++worker)
            workers.push_back(std::async(std::launch::async, [this] { work(); }));
        if (workers.empty())
            work();
        Piece ended;
        for (size_t index = 0; index < m_pieces.size(); ++index) {
            std::unique_lock lock(m_mutex);
            m_done.wait(lock, [&] { return m_converted[index].has_value(); });
            ended = std::move(*m_converted[index]);
            m_converted[index].reset();
            lock.unlock();
            const bool good = ended.read && ended.encoded && take(QByteArrayView(ended.bytes));
            lock.lock();
            m_takenCount = index + 1;
            if (!good)
                m_stopAt = std::min(m_stopAt, index);
            m_taken.notify_all();
            if (!good)
                break;
        }
        for (std::future<void> &worker : workers)
            worker.get();
        return ended;
    }

private:
    void work()
    {
        for (size_t index = m_next++; index < m_pieces.size(); index = m_next++) {
            {
                // No further ahead of the taking than a few pieces per thread, so that
                // memory holds a few pieces rather than the whole text converted.
                // Pieces behind one that ended the run are left; those before it are
                // converted, for the taking reaches it through them.
                std::unique_lock lock(m_mutex);
                m_taken.wait(lock, [&] { return index > m_stopAt || index < m_takenCount + m_ahead; });
                if (index > m_stopAt)
                    break;
            }
            Piece piece = convertPiece(m_code, m_pieces[index], m_targetCode, m_lineEnd);
            const std::lock_guard lock(m_mutex);
            if (!piece.read || !piece.encoded)
                m_stopAt = std::min(m_stopAt, index);
            m_converted[index] = std::move(piece);
            m_done.notify_all();
            m_taken.notify_all();
        }
    }

    const QString &m_code;
    const std::vector<QByteArrayView> &m_pieces;
    const QString &m_targetCode;
    QStringView m_lineEnd;
    std::vector<std::optional<Piece>> m_converted;
    std::atomic<size_t> m_next = 0;
    // Guarded by m_mutex: the first piece that ended the run (none: the largest size_t).
    size_t m_stopAt = std::numeric_limits<size_t>::max();
    size_t m_ahead = 0;
    size_t m_takenCount = 0;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::condition_variable m_taken;
};

} // namespace

CodeConversion ConvertCode(const QStringList &codes, QByteArrayView bytes, const QString &targetCode,
                           QStringView lineEnd, const ConvertedPiece &deliver)
{
    CodeConversion conversion;
    for (qsizetype index = 0; index < codes.size(); ++index) {
        if (!NonCodeClass::TriesCodeAt(codes, index))
            continue;
        const QString &code = codes[index];
        const std::vector<QByteArrayView> pieces =
            readsInPieces(code) && writesInPieces(targetCode) ? piecesOf(bytes) : std::vector<QByteArrayView>{bytes};
        QByteArray converted;
        qsizetype offset = 0;
        bool refused = false;
        PieceRun attempt(code, pieces, targetCode, lineEnd);
        const Piece ended = attempt.run([&](QByteArrayView piece) {
            refused = deliver && !deliver(piece, offset);
            if (!deliver)
                converted.append(piece);
            offset += piece.size();
            return !refused;
        });
        if (refused)
            return {};
        if (!ended.read)
            continue;
        conversion.code = code;
        conversion.encoded = ended.encoded;
        if (conversion.encoded)
            conversion.bytes = std::move(converted);
        return conversion;
    }
    return conversion;
}

QByteArray EncodeText(const QString &code, QStringView text, bool &clean)
{
    NonCodeClass codes;
    QByteArray bytes;
    if (code == u"SJIS") {
        bytes = codes.VbUnicode_To_SJIS(text);
    } else if (code == u"JIS") {
        bytes = codes.VbUnicode_To_JIS(text);
    } else if (code == u"EUC") {
        bytes = codes.VbUnicode_To_EUC(text);
    } else if (code == u"UNICODE") {
        bytes = codes.VbUnicode_To_UNICODE(text, false);
    } else if (code == u"UTF7") {
        codes.setFuncRogic(1);
        bytes = codes.VbUnicode_To_UTF7(text);
    } else {
        bytes = codes.VbUnicode_To_UTF8(text, false);
    }
    clean = codes.lastConversionClean();
    return bytes;
}

} // namespace common
