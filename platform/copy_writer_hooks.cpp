#include "platform/copy_writer_hooks.h"

namespace platform {

namespace {

CopyWriterHooks &hooksInForce()
{
    static CopyWriterHooks hooks;
    return hooks;
}

} // namespace

const CopyWriterHooks &copyWriterHooks()
{
    return hooksInForce();
}

void setCopyWriterHooks(const CopyWriterHooks &hooks)
{
    hooksInForce() = hooks;
}

} // namespace platform
