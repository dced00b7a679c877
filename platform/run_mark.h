#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace platform {

// The run that made a temporary file, as the file's name tells it: the machine, the boot
// of that machine and the process. A leftover of a killed run is one of this machine
// whose run has ended: a run of an earlier boot has ended whatever process holds its
// number now, and a name made on another machine (copied in, or written there into a
// shared folder) is never taken for ours, since the machine goes into the name's check.
struct RunMark
{
    // Tells this machine from others: its machine id, else its host name.
    QByteArray machine;
    // Eight hexadecimal digits of the boot's id, which the kernel draws anew at each boot.
    QByteArray boot;
    qint64 process = 0;

    // This process, in this boot of this machine.
    static RunMark ofThisProcess();
    // The run of this machine that `numbers` ("<boot>-<process>-<counter>", as numbers()
    // writes them) names; nullopt for any other text.
    static std::optional<RunMark> fromNumbers(QByteArrayView numbers);

    // "<boot>-<process>-<counter>": the part of a temporary name that says whose it is.
    QByteArray numbers(quint64 counter) const;
    // The first `digits` hexadecimal digits of a SHA-256 digest of the machine and
    // `body`: the check that a temporary name made on this machine carries.
    QByteArray check(QByteArrayView body, qsizetype digits) const;
    // Whether the run has ended: it belongs to an earlier boot, or no process of its
    // number is left. A run of this boot whose number another process took since is
    // taken for running until that process ends.
    bool hasEnded() const;
    bool isThisProcess() const;
};

} // namespace platform
