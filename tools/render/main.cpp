#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "loading/batch.h"
#include "platform/imagelib/image_io_setup.h"
#include "tools/render/render_cli.h"

int main(int argc, char* argv[]) {
    lumivane::KeepMemoryBetweenPhotos();
    lumivane::PrepareImageIo();
    std::vector<std::string> args(argv + 1, argv + argc);
    return lumivane::RenderMain(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0, std::cin);
}
