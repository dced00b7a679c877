#include "platform/curl_handles.h"

namespace platform::curl {

size_t writeToLocalFile(char *data, size_t size, size_t count, void *user)
{
    auto *file = static_cast<LocalFile *>(user);
    const size_t total = size * count;
    if (file->maxBytes > 0 && file->bytes + qint64(total) > file->maxBytes) {
        file->tooLarge = true;
        return 0;
    }
    size_t written = 0;
    while (written < total) {
        const ssize_t result = ::write(file->descriptor, data + written, total - written);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            file->error = errno;
            return 0;
        }
        written += size_t(result);
    }
    file->bytes += qint64(total);
    return total;
}

QString tooLargeText(qint64 maxBytes)
{
    return QStringLiteral("ファイルが %1 バイトを超えました").arg(maxBytes);
}

} // namespace platform::curl
