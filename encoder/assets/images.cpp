#include "assets/images.h"

#include <cstddef>

extern const std::uint8_t asset_loader[];
extern const std::size_t asset_loader_size;
extern const std::uint8_t asset_ramdos[];
extern const std::size_t asset_ramdos_size;
extern const std::uint8_t asset_bin_depacker[];
extern const std::size_t asset_bin_depacker_size;
extern const std::uint8_t asset_sfx_depacker[];
extern const std::size_t asset_sfx_depacker_size;

std::span<const std::uint8_t> loader_image() { return {asset_loader, asset_loader_size}; }
std::span<const std::uint8_t> ramdos_image() { return {asset_ramdos, asset_ramdos_size}; }
std::span<const std::uint8_t> bin_depacker_image() { return {asset_bin_depacker, asset_bin_depacker_size}; }
std::span<const std::uint8_t> sfx_depacker_image() { return {asset_sfx_depacker, asset_sfx_depacker_size}; }
