#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace platform::testing {

// A second local user of the machine, for files and folders that someone else owns: made
// with useradd (with a group of its own) the first time a test asks, and kept for the
// next runs. Only the superuser can make or become one; elsewhere there is none and the
// test skips what needs it.
struct OtherUser
{
    uid_t uid = 0;
    gid_t gid = 0;
    QString name;
};
std::optional<OtherUser> otherUser();

// Called at the end of a test whose cases of another user's files could not run (there is
// no other user): marks the test skipped rather than passed.
void skipWithoutOtherUser();

// What someone who may write to a folder can put at a name that a program uses.
enum class Planted {
    OthersFile,       // a regular file that another user owns (needs otherUser())
    Link,             // a symbolic link to a regular file of the user's own
    Fifo,             // a FIFO, whose reader waits for a writer
    WritableByOthers, // a regular file of the user's own, mode 0666
    SharedGroupFile,  // a regular file of the user's own, mode 0660, of another user's
                      // group (needs otherUser())
};

// Puts `kind` at `path` with `content` (for a link, in the file it leads to, beside it
// under the name with ".target" added). False when the kind needs another user and there
// is none.
bool plant(Planted kind, const QString &path, const QByteArray &content);

// What `path` is now, for telling that a planted entry was left as it was: its type,
// owner and mode, and for a regular file or a link's target its content.
QByteArray entryState(const QString &path);

// Watches a piece of work that must not wait for the FIFO `fifo`: when the work has not
// ended within a while, opens the FIFO for reading and writing at once, again and again,
// which lets every opener go on and ends its read, so that a fault fails the test
// instead of hanging it.
class FifoWatch
{
public:
    explicit FifoWatch(const QString &fifo);
    ~FifoWatch();
    FifoWatch(const FifoWatch &) = delete;
    FifoWatch &operator=(const FifoWatch &) = delete;

    // Ends the watch; true when the work was held up by the FIFO.
    bool heldUp();

private:
    QByteArray m_fifo;
    std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_done = false;
    bool m_heldUp = false;
    std::thread m_watcher;
};

} // namespace platform::testing
