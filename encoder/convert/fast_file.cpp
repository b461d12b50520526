#include "convert/fast_file.h"

#include "driver/errors.h"

void encode_fast_file(std::string_view, char, int, std::uint8_t, bool, int)
{
    fatal_error(err_unsupported_type);
}
