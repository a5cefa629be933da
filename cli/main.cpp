#include "CliSession.h"
#include "SystemLocale.h"

#include <QCoreApplication>

#include <cstdio>

#include <malloc.h>
#include <unistd.h>

int main(int argc, char** argv) {
    // A Discover of thousands of devices allocates and frees in bursts just before the process
    // ends: memory handed back to the kernel would return as fresh pages, each a page fault.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    // Into a pipe or file, 64 KiB writes rather than 4 KiB: a list of ten thousand devices is
    // half a megabyte. A terminal keeps its line buffering.
    if (!isatty(STDOUT_FILENO))
        std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrel");
    vrel::UseSystemLocaleFormats();
    return vrel::cli::RunCommandLine(QCoreApplication::arguments());
}
