#pragma once

#include <QString>

#include <curl/curl.h>

#include <cerrno>
#include <memory>
#include <mutex>

#include <unistd.h>

// Handles of the libcurl seam (FTP sessions, HTTP downloads), each freed with its owner,
// and the local file a transfer reads or writes.
namespace platform::curl {

// Initialises libcurl once for the process, before the first handle is made.
inline void initializeOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter
{
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct MultiDeleter
{
    void operator()(CURLM *handle) const { curl_multi_cleanup(handle); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

struct CommandListDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using CommandList = std::unique_ptr<curl_slist, CommandListDeleter>;

// A file descriptor closed when it goes out of scope.
class FileDescriptor
{
public:
    explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~FileDescriptor()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_descriptor; }
    // Closes now and returns 0, or the errno value of a failed close.
    int closeNow()
    {
        const int result = ::close(m_descriptor);
        m_descriptor = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_descriptor;
};

// The local file a transfer reads or writes, the errno value of its first failure, and
// for a download the bytes written so far and their bound (0 for none).
struct LocalFile
{
    int descriptor = -1;
    int error = 0;
    qint64 bytes = 0;
    qint64 maxBytes = 0;
    bool tooLarge = false;
};

// libcurl's write callback for a download into the LocalFile `user`: refuses the data
// that would take the file past its bound, and writes the rest whole.
size_t writeToLocalFile(char *data, size_t size, size_t count, void *user);

// The text for a download that went past `maxBytes` bytes.
QString tooLargeText(qint64 maxBytes);

} // namespace platform::curl
