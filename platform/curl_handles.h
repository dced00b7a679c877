#pragma once

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

} // namespace platform::curl
