// The program that win32_interrupt_test.sh interrupts: it writes an index
// into the directory argv[1] until its temporary file is there, creates the
// file argv[2] (outside that directory, which must not change) to say so,
// and waits for the interrupt.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

int main(int argc, char** argv)
{
    using namespace quilldex::platform;
    if (argc != 3)
        return 2;
    removeTemporaryFilesOnInterrupt();
    const DirectoryHandle directory = DirectoryHandle::open(argv[1]);
    OutputStream stream;
    if (!directory.valid() || !stream.open(directory, "index.html")) {
        std::fprintf(stderr, "open(%s): %s\n", argv[1], stream.error().c_str());
        return 1;
    }
    // More than the stream's buffer: the temporary file is made and written.
    stream.write(std::string(256 * 1024, 'n'));
    std::FILE* ready = std::fopen(argv[2], "w");
    if (ready == nullptr)
        return 1;
    std::fclose(ready);
    for (;;)
        Sleep(60 * 1000);
}
