#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.h"

int main(int argc, char** argv)
{
    // Progress appears as it is printed, also when read through a pipe.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return run_tapecast(std::vector<std::string>(argv + 1, argv + argc));
}
