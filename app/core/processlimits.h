// What both programs settle about their own process before any work starts.
#pragma once

// Raises the open-file limit to its hard limit and ignores SIGXFSZ. A link check runs up to
// 999 transfers at once, each with a socket and the wake-up pair of its multi handle, which
// the usual soft limit of 1024 descriptors cannot hold; the library leaves its host process
// alone, so this is the program's part. Under a file-size limit a write past it must fail
// with EFBIG, which the atomic saves and the report writer see and undo, rather than kill the
// process and leave a temporary file behind. Call once, early in main().
void SetUpProcessLimits();
