#include "assets/images.h"

#include <cstddef>

#include "asset_bin_depacker.h"
#include "asset_bin_depacker_symbols.h"
#include "asset_loader.h"
#include "asset_ramdos.h"
#include "asset_sfx_depacker.h"
#include "asset_turbo_boot.h"
#include "asset_turbo_boot_symbols.h"
#include "asset_turbo_loader.h"
#include "asset_turbo_loader_symbols.h"
#include "asset_turbo_depacker_basic.h"
#include "asset_turbo_depacker_com.h"
#include "asset_turbo_depacker_rom.h"
#include "asset_turbo_depacker_symbols.h"
#include "ramdos_command.h"
#include "ramdos_k7.h"
#include "ramdos_msxdos.h"

std::span<const std::uint8_t> loader_image() { return {asset_loader, asset_loader_size}; }
std::span<const std::uint8_t> ramdos_image() { return {asset_ramdos, asset_ramdos_size}; }
std::span<const std::uint8_t> bin_depacker_image() { return {asset_bin_depacker, asset_bin_depacker_size}; }
std::span<const std::uint8_t> turbo_depacker_image(std::uint8_t mode)
{
    switch (mode) {
    case 0x41: return {asset_turbo_depacker_rom, asset_turbo_depacker_rom_size};
    case 0xFF: return {asset_turbo_depacker_basic, asset_turbo_depacker_basic_size};
    default: return {asset_turbo_depacker_com, asset_turbo_depacker_com_size};
    }
}
std::uint16_t turbo_depacker_address() { return asset_turbo_depacker_bin_depack; }
std::span<const std::uint8_t> sfx_depacker_image() { return {asset_sfx_depacker, asset_sfx_depacker_size}; }

AddressRange bin_depacker_com_helper()
{
    return {asset_bin_depacker_PAGE0_HELPER,
            std::uint16_t(asset_bin_depacker_PAGE0_HELPER + asset_bin_depacker_page0_helper_end
                          - asset_bin_depacker_page0_helper)};
}

std::array<std::size_t, 3> ramdos_system_file_sizes()
{
    return {ramdos_command_size, ramdos_msxdos_size, ramdos_k7_size};
}

TurboBoot turbo_boot()
{
    return {{asset_turbo_boot, asset_turbo_boot_size},
            asset_turbo_boot_boot,
            std::size_t(asset_turbo_boot_boot_length - asset_turbo_boot_boot),
            std::size_t(asset_turbo_boot_boot_crc - asset_turbo_boot_boot)};
}

TurboLoader turbo_loader()
{
    return {{asset_turbo_loader, asset_turbo_loader_size},
            asset_turbo_loader_ml_start,
            asset_turbo_loader_ml_list_end,
            asset_turbo_loader_turbo_table,
            asset_turbo_loader_ml_busy_end,
            asset_turbo_loader_ml_hook_part,
            asset_turbo_loader_ml_list_at};
}
