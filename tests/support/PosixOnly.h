// The test cases that only a POSIX system can run, and why, in one place.
// Such a case begins with POSIX_ONLY(Reason): elsewhere (Windows, and Wine
// running the Windows build) it is skipped with the reason's text. Code that
// does not even compile there sits inside "#if MIGWIZ_POSIX".
#pragma once

#include <gtest/gtest.h>

enum class TPosixOnly {
    SymbolicLinks,    // links that the code must not follow
    OwnerGroupMode,   // owner, group and permission bits kept by a replacement
    FileSizeLimit,    // a real write failure through setrlimit(RLIMIT_FSIZE)
    DescriptorCalls,  // folders too deep for a path, made with mkdirat/openat
    Signals,          // SIGTERM sent to a running migwiz
    ForkedDeathTest,  // a crash in a copy of the test's process and folders
    LineBreakInName,  // a file whose name holds a line break
    SpecialFiles,     // FIFOs, links to devices, names that are not UTF-8, hard links made by the test
    FolderTimes,      // a folder aged by the test with utimensat
};

inline const char *PosixOnlyReason(TPosixOnly Reason)
{
    switch (Reason) {
    case TPosixOnly::SymbolicLinks:
        return "symbolic links: Windows makes them only with a privilege, and Wine not at all";
    case TPosixOnly::OwnerGroupMode:
        return "owner, group and permission bits: Windows files have an ACL and a read-only attribute instead";
    case TPosixOnly::FileSizeLimit:
        return "a file size limit per process (setrlimit, SIGXFSZ) exists on POSIX systems only";
    case TPosixOnly::DescriptorCalls:
        return "mkdirat/openat, which build paths longer than the system can name, are POSIX calls";
    case TPosixOnly::ForkedDeathTest:
        return "a death test on Windows starts the test anew in a new process, with folders of its own; the "
               "crashed run must have used this test's folders, which only fork gives";
    case TPosixOnly::LineBreakInName:
        return "a line break in a file name: Windows does not allow one";
    case TPosixOnly::SpecialFiles:
        return "FIFOs, links to /dev/zero and file names that are not valid UTF-8 exist on POSIX systems only";
    case TPosixOnly::FolderTimes:
        return "the test ages a folder with utimensat, a POSIX call";
    case TPosixOnly::Signals:
        return "SIGTERM: Windows has no signal that QProcess::terminate could send to a console program";
    }
    return "";
}

#ifdef _WIN32
#define MIGWIZ_POSIX 0
#define POSIX_ONLY(Reason) GTEST_SKIP() << "POSIX only: " << PosixOnlyReason(TPosixOnly::Reason)
#else
#define MIGWIZ_POSIX 1
#define POSIX_ONLY(Reason) static_cast<void>(TPosixOnly::Reason)
#endif
