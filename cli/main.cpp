#include "CliSession.h"
#include "SystemLocale.h"

#include <QCoreApplication>

#include <cstdio>

#include <malloc.h>
#include <unistd.h>

int main(int argc, char** argv) {
    // A Discover of thousands of devices allocates and frees in bursts, and the process ends
    // soon after: memory handed back to the kernel only comes back as fresh pages, each a
    // page fault, which cost more than the answers themselves. Keep it.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    // Into a pipe or file, a list of ten thousand devices is over half a megabyte: written in
    // 64 KiB pieces rather than the default 4 KiB, it is a tenth of the system calls, and a
    // reader on the pipe is woken a tenth as often. A terminal keeps its line buffering.
    if (!isatty(STDOUT_FILENO))
        std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrel");
    QCoreApplication::setApplicationVersion(VREL_VERSION);
    vrel::UseSystemLocaleFormats();
    return vrel::cli::RunCommandLine(QCoreApplication::arguments());
}
