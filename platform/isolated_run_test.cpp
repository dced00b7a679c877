#include "platform/isolated_run.h"

#include "platform/testing/print_to.h"

#include <gtest/gtest.h>

#include <list>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace platform {
namespace {

using Kind = IsolatedOutcome::Kind;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool AddressSanitizerBuild = true;
#else
constexpr bool AddressSanitizerBuild = false;
#endif
#else
constexpr bool AddressSanitizerBuild = false;
#endif

// Work that faults, runs away or hands back too much ends its child, told by its kind;
// this process goes on. Work that ends well hands back its bytes.
TEST(IsolatedRun, FaultsEndOnlyTheChild)
{
    const struct
    {
        const char *name;
        std::function<QByteArray()> work;
        Kind kind;
        qint64 outputBytes;
        QByteArray output; // for Kind::Done
    } cases[] = {
        {"a result", [] { return QByteArray(300000, 'x'); }, Kind::Done, 300000, QByteArray(300000, 'x')},
        {"a write to a page that may not be written",
         [] {
             void *page = ::mmap(nullptr, size_t(::getpagesize()), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             *static_cast<volatile char *>(page) = 1;
             return QByteArray("written");
         },
         Kind::Crashed, 300000, {}},
        {"memory without end",
         [] {
             std::list<std::vector<char>> blocks;
             for (;;)
                 blocks.emplace_back(size_t(1) << 20, 'm');
             return QByteArray();
         },
         Kind::OutOfMemory, 300000, {}},
        {"a loop without end",
         [] {
             volatile quint64 turns = 0;
             for (;;)
                 turns = turns + 1;
             return QByteArray();
         },
         Kind::OutOfTime, 300000, {}},
        {"too much to hand back", [] { return QByteArray(70000, 'y'); }, Kind::TooMuch, 65536, {}},
    };
    IsolationLimits limits;
    limits.memoryBytes = qint64(64) << 20;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Only the endless loop needs a short limit; the others end by themselves, also
        // on a machine so busy that starting the child takes more than a second.
        limits.seconds = c.kind == Kind::OutOfTime ? 1 : 30;
        limits.outputBytes = c.outputBytes;
        const IsolatedOutcome outcome = runIsolated(c.work, limits);
        if (AddressSanitizerBuild && c.kind == Kind::OutOfMemory) {
            // The sanitizer's allocator ends a child without memory by itself, and cannot
            // allocate its report either: the child crashes or stalls, never ends well.
            EXPECT_NE(int(outcome.kind), int(Kind::Done)) << outcome.text.toStdString();
            continue;
        }
        EXPECT_EQ(int(outcome.kind), int(c.kind)) << outcome.text.toStdString();
        if (c.kind == Kind::Done)
            EXPECT_EQ(outcome.output, c.output);
        else
            EXPECT_FALSE(outcome.text.isEmpty());
    }
}

} // namespace
} // namespace platform
