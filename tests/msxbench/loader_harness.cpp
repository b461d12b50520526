#include "loader_harness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace loader_harness {

Workshop::Workshop()
{
    for (const char* name : {"hello.bin", "hello.bas"})
        std::filesystem::copy_file(std::string(EXAMPLES_DIR) + "/" + name, dir_.file(name));
}

void Workshop::put(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    test_support::write_file(dir_.file(name), bytes);
}

std::string Workshop::tapecast(std::vector<std::string> args, const std::string& name) const
{
    args.insert(args.begin() + 1, {"-o", name});
    const test_support::RunResult result = test_support::run_tapecast(args, dir_.path());
    EXPECT_EQ(result.status, 0) << result.output;
    return dir_.file(name);
}

}  // namespace loader_harness
